#include "editors/region_dialog.h"
#include "editors/region_files.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>

namespace kv::test {
namespace {

using R = RegionDialog;

class RegionDialogTest : public SessionTest {
protected:
    RegionDialogTest() {
        session->settings.datadir = dir.str() + "/data";
        // A data tree copied from Windows: folders and names in mixed case.
        for (const char* name :
             {"Allocate/CA_POP.ALO", "Allocate/ca_house.alo", "Allocate/Ca_Golf.alo",
              "Allocate/caxyz.alo", "Allocate/ca_pop.txt", "Allocate/TX_const.alo",
              "Allocate/US_farms.ALO", "Allocate/us_pop.alo", "Allocate/ak_pop.alo",
              "Allocate/nv_house.alo", "Allocate/cab.alo/readme", "Pop/CA.POP", "Pop/tx.pop",
              "Pop/us.pop", "Pop/ca.pop.bak", "Pop/nv.pop"})
            dir.write(std::string("data/") + name, "demo");
        sc().regionlevel = R::StateLevel;
        for (const char* code : {"06000", "48000"})
            sc().regions.add(state(code), code);
        copy_regions(sc().regions, sc().regions_saved);
    }

    // The whole-state entry of a state code, as the region check completes it.
    RegionCollection::Ptr state(const std::string& code) const {
        const auto row = session->statelist.find(code.substr(0, 2));
        return std::make_shared<RegionCls>(
            RegionCls{code, "*****", row->statename, row->abbr, true});
    }
    static RegionCollection::Ptr county(const std::string& code, const std::string& name,
                                        const std::string& abbr) {
        return std::make_shared<RegionCls>(RegionCls{code, name, "", abbr, false});
    }
    static std::vector<std::string> codes(const RegionCollection& regions) {
        std::vector<std::string> out;
        for (const auto& r : regions)
            out.push_back(r->code);
        return out;
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const auto& line : dialog.selectionLines())
            out.push_back(line.text);
        return out;
    }
    int stateLine(const std::string& name) const {
        const auto& names = dialog.stateLines();
        return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
    }
    // Descriptor and file name of each entry of a file list.
    std::vector<std::pair<std::string, std::string>> files(const AllocCollection& list) const {
        std::vector<std::pair<std::string, std::string>> out;
        for (const auto& f : list)
            out.emplace_back(f->descriptor, f->allocfile.substr(f->allocfile.rfind('/') + 1));
        return out;
    }

    RegionDialog dialog{*session};
};

TEST_F(RegionDialogTest, LevelChangesKeepOrDropEntriesAndShowTheirLines) {
    sc().regions.add(county("06037", "Los Angeles County", "CA"), "06037");
    const std::vector<std::string> all{"06000", "48000", "06037"};
    struct Case {
        std::int16_t opened;
        std::vector<int> clicks;
        std::vector<std::string> lines;
        std::vector<std::string> saved;
        bool addEnabled;
    };
    const Case cases[] = {
        {R::CountyLevel,
         {},
         {"All of California", "All of Texas", "Los Angeles County CA"},
         all,
         true},
        {R::CountyLevel, {R::StateLevel}, {"California", "Texas"}, {"06000", "48000"}, true},
        {R::StateLevel,
         {R::CountyLevel},
         {"All of California", "All of Texas", "Los Angeles County CA"},
         all,
         true},
        // Leaving the county level for any other drops the counties.
        {R::CountyLevel, {R::UsTotal}, {}, {"06000", "48000"}, false},
        {R::CountyLevel, {R::Option1}, {}, {"06000", "48000"}, true},
        {R::CountyLevel,
         {R::UsTotal, R::StateLevel},
         {"California", "Texas"},
         {"06000", "48000"},
         true},
        {R::CountyLevel, {R::FiftyStates}, {}, {}, false},
        {R::FiftyStates, {}, {}, {}, false},
    };
    for (const Case& c : cases) {
        sc().regionlevel = c.opened;
        dialog.load();
        for (int level : c.clicks)
            dialog.levelClicked(level);
        EXPECT_EQ(lines(), c.lines) << c.opened << " " << c.clicks.size();
        EXPECT_EQ(codes(sc().regions_saved), c.saved) << c.opened << " " << c.clicks.size();
        EXPECT_EQ(dialog.addEnabled(), c.addEnabled);
        EXPECT_EQ(dialog.curlevel(), c.clicks.empty() ? c.opened : c.clicks.back());
        if (!c.saved.empty()) {
            EXPECT_EQ(dialog.regionabbrs(), (std::vector<std::string>{"CA", "TX"}));
        }
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RegionDialogTest, AStateClickAtTheCountyLevelListsItsCounties) {
    dialog.load();
    dialog.stateClicked(stateLine("Alabama"));
    EXPECT_TRUE(dialog.countyLines().empty()) << "no query at the state level";
    EXPECT_TRUE(refdbs.db->queries.empty());
    EXPECT_TRUE(dialog.statesclicked());

    // Choosing County with Alabama selected runs the click again.
    dialog.levelClicked(R::CountyLevel);
    ASSERT_EQ(refdbs.db->queries.size(), 1u);
    EXPECT_EQ(
        refdbs.db->queries[0],
        "SELECT DISTINCTROW Counties.COUNTY, Counties.FIPS FROM Counties WHERE((Counties.FIPS "
        "like \"01###\") AND (Counties.COUNTY not like \"The State*\"));");
    ASSERT_EQ(dialog.countyLines().size(), 67u);
    EXPECT_EQ(dialog.countyLines()[0], "Autauga County");
    const RegionCls& first = *dialog.countylist().at(0);
    EXPECT_EQ(first.code, "01001");
    EXPECT_EQ(first.abbr, "AL");
    EXPECT_FALSE(first.isState);

    dialog.countyClicked(0);
    EXPECT_FALSE(dialog.statesclicked());
    dialog.add();
    EXPECT_EQ(lines().back(), "Autauga County AL");
    EXPECT_TRUE(ui.messages.empty());

    // A failed query is shown and logged with its text; a state without counties fails the
    // moves to the last and to the first row.
    refdbs.db->failOnParameter = "01###";
    std::erase_if(refdbs.db->counties, [](const auto& c) { return c.first.starts_with("02"); });
    dialog.stateClicked(stateLine("Alabama"));
    dialog.stateClicked(stateLine("Alaska"));
    EXPECT_EQ(ui.messageTexts(), (std::vector<std::string>{"Error 3000: Scripted failure",
                                                           "Error 3021: No current record.",
                                                           "Error 3021: No current record."}));
    EXPECT_EQ(ui.messages[0].title, kAppTitle);
    EXPECT_TRUE(dialog.countyLines().empty());
    EXPECT_EQ(logLines().at(0), "County list error 3000 Scripted failure");
    EXPECT_EQ(logLines().at(1), refdbs.db->queries[0]);

    // Leaving the county level empties the county list.
    dialog.stateClicked(stateLine("Texas"));
    EXPECT_EQ(dialog.countyLines().size(), 254u);
    dialog.levelClicked(R::StateLevel);
    EXPECT_TRUE(dialog.countyLines().empty());
}

TEST_F(RegionDialogTest, AddRefusesDuplicatesAndDelRemovesTheEntriesOfTheSelectedLines) {
    dialog.load();
    dialog.add();
    dialog.stateClicked(stateLine("California"));
    dialog.add();
    dialog.levelClicked(R::CountyLevel);
    dialog.countyClicked(18); // Los Angeles County
    dialog.add();
    dialog.add();
    const std::string title(kAppTitle);
    EXPECT_EQ(ui.messages,
              (std::vector<ScriptedUserInterface::Message>{
                  {"No State/County selected", "", MessageIcon::None},
                  {"California already selected", title, MessageIcon::None},
                  {"Los Angeles County CA already selected", title, MessageIcon::None}}));
    EXPECT_EQ(codes(sc().regions_saved), (std::vector<std::string>{"06000", "48000", "06037"}));

    // The county's line removes the county only.
    ASSERT_EQ(lines().back(), "Los Angeles County CA");
    dialog.selectLines({2});
    dialog.del();
    EXPECT_EQ(codes(sc().regions_saved), (std::vector<std::string>{"06000", "48000"}));

    // Two selected lines remove both entries; at 50 States Add does nothing.
    dialog.levelClicked(R::StateLevel);
    dialog.selectLines({1, 0});
    dialog.del();
    EXPECT_TRUE(sc().regions_saved.empty());
    EXPECT_TRUE(lines().empty());
    dialog.levelClicked(R::FiftyStates);
    dialog.stateClicked(stateLine("Texas"));
    dialog.add();
    EXPECT_TRUE(sc().regions_saved.empty());
    EXPECT_EQ(ui.messages.size(), 3u);
}

TEST_F(RegionDialogTest, PopAllocScansTheDataTreeWhateverTheCase) {
    using Files = std::vector<std::pair<std::string, std::string>>;
    const std::string pop = "Population File    : ";
    struct Case {
        std::int16_t level;
        std::vector<std::string> abbrs;
        Files alloc;
        Files pops;
    };
    const Case cases[] = {
        {R::StateLevel,
         {"ca", "TX"},
         {{"Allocation File    :", "caxyz.alo"},
          {"Golf course estab. :", "Ca_Golf.alo"},
          {"Family housing     :", "ca_house.alo"},
          {"Census population  :", "CA_POP.ALO"},
          {"Construction cost  :", "TX_const.alo"}},
         {{pop, "CA.POP"}, {pop, "tx.pop"}}},
        {R::FiftyStates,
         {"CA"},
         {{"Harvested acres    :", "US_farms.ALO"}, {"Census population  :", "us_pop.alo"}},
         {{pop, "us.pop"}}},
        {R::UsTotal,
         {},
         {{"Harvested acres    :", "US_farms.ALO"}, {"Census population  :", "us_pop.alo"}},
         {{pop, "us.pop"}}},
        {R::StateLevel, {}, {}, {}},
    };
    for (const Case& c : cases) {
        sc().changed_alloc = sc().changed_pop = false;
        ASSERT_TRUE(pop_alloc(*session, c.level, c.abbrs));
        EXPECT_EQ(files(sc().allocfiles), c.alloc) << c.level;
        EXPECT_EQ(files(sc().popfiles), c.pops) << c.level;
        EXPECT_EQ(files(sc().allocfiles_saved), c.alloc);
        EXPECT_TRUE(sc().changed_alloc && sc().changed_pop);
    }
    // The paths name the folders as they are on disk.
    pop_alloc(*session, R::StateLevel, {"TX"});
    EXPECT_EQ(sc().allocfiles.at(0)->allocfile, dir.str() + "/data/Allocate/TX_const.alo");
    EXPECT_EQ(sc().popfiles.at(0)->allocfile, dir.str() + "/data/Pop/tx.pop");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RegionDialogTest, OpeningCancelAndEscapeLeaveTheScenarioAsItWas) {
    auto own = std::make_shared<AllocCls>(AllocCls{"Census population  :", "/elsewhere/x.alo"});
    for (AllocCollection* list : {&sc().allocfiles, &sc().allocfiles_saved, &sc().popfiles})
        list->add(own, own->allocfile);
    for (bool escape : {false, true}) {
        for (bool changedBefore : {false, true}) {
            sc().changed_region = changedBefore;
            const auto regions = codes(sc().regions);
            const auto first = sc().regions.at(0);
            dialog.load();
            EXPECT_TRUE(sc().changed_region);
            dialog.levelClicked(R::CountyLevel);
            dialog.stateClicked(stateLine("Nevada"));
            dialog.add();
            dialog.levelClicked(R::FiftyStates);
            if (escape)
                dialog.escape();
            else
                dialog.cancel();
            dialog.unload();
            EXPECT_EQ(codes(sc().regions), regions);
            EXPECT_EQ(sc().regions.at(0), first);
            EXPECT_EQ(codes(sc().regions_saved), regions);
            EXPECT_EQ(sc().regionlevel, R::StateLevel);
            EXPECT_EQ(files(sc().allocfiles), (std::vector<std::pair<std::string, std::string>>{
                                                  {"Census population  :", "x.alo"}}));
            EXPECT_EQ(sc().popfiles.size(), 1u);
            EXPECT_EQ(sc().allocfiles_saved.size(), 1u);
            EXPECT_FALSE(sc().changed_alloc || sc().changed_pop);
            // Cancel keeps the mark opening set; Escape takes it back, but never drops the
            // mark of a region committed earlier.
            EXPECT_EQ(sc().changed_region, escape ? changedBefore : true);
        }
    }
}

TEST_F(RegionDialogTest, ClosingCommitsAndRebuildsTheListsFromTheCommittedEntries) {
    dialog.load();
    dialog.stateClicked(stateLine("Nevada"));
    dialog.add();
    dialog.ok();
    dialog.unload();
    EXPECT_EQ(codes(sc().regions), (std::vector<std::string>{"06000", "48000", "32000"}));
    EXPECT_EQ(files(sc().allocfiles).back().second, "nv_house.alo");
    EXPECT_EQ(files(sc().popfiles).back().second, "nv.pop");
    EXPECT_TRUE(sc().changed_region && sc().changed_alloc && sc().changed_pop);

    // The close button commits too; the lists follow what is committed, not what was shown.
    sc().regions.clear();
    sc().regions.add(state("48000"), "48000");
    sc().regionlevel = R::CountyLevel;
    dialog.load();
    dialog.unload();
    EXPECT_EQ(codes(sc().regions), std::vector<std::string>{"48000"});
    EXPECT_EQ(files(sc().allocfiles), (std::vector<std::pair<std::string, std::string>>{
                                          {"Construction cost  :", "TX_const.alo"}}));
    EXPECT_EQ(sc().regionlevel, R::CountyLevel);
}

} // namespace
} // namespace kv::test
