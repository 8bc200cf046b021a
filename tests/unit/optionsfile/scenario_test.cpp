#include "optionsfile/scenario.h"
#include "optionsfile/scenario_values.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

std::vector<std::string> keys(const AllocCollection& c) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < c.size(); ++i)
        out.push_back(c.keyAt(i));
    return out;
}

std::shared_ptr<AllocCls> entry(const char* path) {
    return std::make_shared<AllocCls>(AllocCls{"Allocation File    : ", path});
}

TEST(KeyedCollection, KeepsOrderAndRefusesDuplicateKeysWhateverTheirCase) {
    AllocCollection c;
    EXPECT_TRUE(c.add(entry("/a.alo"), "/a.alo"));
    EXPECT_TRUE(c.add(entry("/b.alo"), "/b.alo"));
    EXPECT_FALSE(c.add(entry("/A.ALO"), "/A.ALO"));
    EXPECT_TRUE(c.insert(1, entry("/c.alo"), "/c.alo"));
    EXPECT_EQ(keys(c), (std::vector<std::string>{"/a.alo", "/c.alo", "/b.alo"}));
    EXPECT_EQ(c.find("/C.ALO")->allocfile, "/c.alo");

    c.removeAt(0);
    EXPECT_FALSE(c.contains("/a.alo"));
    EXPECT_TRUE(c.add(entry("/a.alo"), "/a.alo")); // the key is free again
    c.retain([](const AllocCls& a) { return a.allocfile != "/c.alo"; });
    EXPECT_EQ(keys(c), (std::vector<std::string>{"/b.alo", "/a.alo"}));
    EXPECT_FALSE(c.find("/c.alo"));
}

// A copy shares its list with the original until one of them changes: every change, made on
// either side, leaves the other as it was.
TEST(KeyedCollection, ACopyKeepsItsEntriesWhenEitherSideChanges) {
    using Change = void (*)(AllocCollection&);
    const std::vector<std::pair<const char*, Change>> changes = {
        {"add", [](AllocCollection& c) { c.add(entry("/c.alo"), "/c.alo"); }},
        {"insert", [](AllocCollection& c) { c.insert(0, entry("/c.alo"), "/c.alo"); }},
        {"removeAt", [](AllocCollection& c) { c.removeAt(1); }},
        {"retain", [](AllocCollection& c) { c.retain([](const AllocCls&) { return false; }); }},
        {"clear", [](AllocCollection& c) { c.clear(); }},
    };
    for (const auto& [name, change] : changes) {
        for (const bool changeTheCopy : {false, true}) {
            SCOPED_TRACE(std::string(name) + (changeTheCopy ? " on the copy" : " on the original"));
            AllocCollection original;
            original.add(entry("/a.alo"), "/a.alo");
            original.add(entry("/b.alo"), "/b.alo");
            AllocCollection copy = original;
            change(changeTheCopy ? copy : original);
            const AllocCollection& kept = changeTheCopy ? original : copy;
            EXPECT_EQ(keys(kept), (std::vector<std::string>{"/a.alo", "/b.alo"}));
            EXPECT_TRUE(kept.contains("/B.ALO"));
            EXPECT_FALSE(kept.contains("/c.alo"));
        }
    }
}

TEST(CopyFileCollection, SharesTheEntriesInOrder) {
    AllocCollection source, target;
    source.add(entry("/a.alo"), "/a.alo");
    source.add(entry("/b.alo"), "/b.alo");
    target.add(entry("/old.alo"), "/old.alo");
    copy_file_collection(source, target);
    EXPECT_EQ(keys(target), (std::vector<std::string>{"/a.alo", "/b.alo"}));
    EXPECT_EQ(target.at(0), source.at(0));
    clear_collection(target);
    EXPECT_TRUE(target.empty());
}

TEST(SpareSlotLists, HoldOneEmptySlotAfterTheEntries) {
    Scenario sc;
    EXPECT_EQ(sc.sourceCount(), 0u);
    EXPECT_EQ(sc.sources.size(), 1u);
    sc.appendSource({SourceEntry::fixedScc("2265"), "short code"});
    sc.appendSource({SourceEntry::fixedScc("22650040101234"), "long code"});
    ASSERT_EQ(sc.sources.size(), 3u);
    EXPECT_EQ(sc.sources[0].scc, "2265      ");
    EXPECT_EQ(sc.sources[1].scc, "2265004010");
    EXPECT_EQ(sc.sources[2].scc, "");
    sc.appendGrowthFile("/g/a.grw");
    EXPECT_EQ(sc.growthfiles, (std::vector<std::string>{"/g/a.grw", ""}));
    sc.resetSources();
    EXPECT_EQ(sc.sources.size(), 1u);
}

TEST(SetScenarioValue, SetsTheItemAndItsPacketsEditFlag) {
    Scenario sc;
    EXPECT_EQ(set_scenario_value(sc, "title1str", "New title"), "");
    EXPECT_EQ(sc.title1str, "New title");
    EXPECT_TRUE(sc.changed_options);
    EXPECT_EQ(set_scenario_value(sc, "stage2str", "0.3"), "");
    EXPECT_TRUE(sc.stage2_known);
    EXPECT_EQ(set_scenario_value(sc, "monthindex", "11"), "");
    EXPECT_EQ(sc.monthindex, 11);
    EXPECT_TRUE(sc.changed_period);
    EXPECT_EQ(set_scenario_value(sc, "regionlevel", "2"), "");
    EXPECT_TRUE(sc.changed_region);
    EXPECT_EQ(set_scenario_value(sc, "runfiles.6", "/out/run.msg"), "");
    EXPECT_EQ(sc.msgdir, "/out");
    EXPECT_EQ(sc.msgfile, "run.msg");

    EXPECT_EQ(set_scenario_value(sc, "monthindex", "12"),
              "monthindex takes a whole number from 0 to 11");
    EXPECT_EQ(set_scenario_value(sc, "weekindex", "x"),
              "weekindex takes a whole number from 0 to 1");
    EXPECT_EQ(set_scenario_value(sc, "runfiles.15", "x"), "runfiles takes a slot from 0 to 14");
    EXPECT_EQ(set_scenario_value(sc, "bmy_on", "maybe"), "bmy_on takes true or false");
    EXPECT_EQ(set_scenario_value(sc, "optfile", "x"), "unknown scenario item: optfile");
}

} // namespace
} // namespace kv
