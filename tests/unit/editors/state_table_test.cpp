#include "editors/state_table.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(StateTable, HoldsFiftyThreeRowsInNameOrder) {
    StateList states;
    build_state_table(states);
    ASSERT_EQ(states.size(), 53u);
    EXPECT_EQ(states.at(0)->statename, "Alabama");
    EXPECT_EQ(states.at(52)->statename, "Wyoming");
    // Puerto Rico stands between Pennsylvania and Rhode Island, the Virgin Islands between
    // Texas and Utah, Washington DC between Washington and West Virginia.
    EXPECT_EQ(states.at(38)->code, "72");
    EXPECT_EQ(states.at(44)->code, "78");
    EXPECT_EQ(states.at(49)->code, "11");
}

TEST(StateTable, LooksUpByCode) {
    StateList states;
    build_state_table(states);
    struct Row {
        const char* code;
        const char* name;
        const char* abbr;
    };
    const Row rows[] = {{"72", "Puerto Rico", "PR"},
                        {"11", "Washington DC", "DC"},
                        {"78", "U.S. Virgin Islands", "VI"},
                        {"06", "California", "CA"},
                        {"56", "Wyoming", "WY"}};
    for (const auto& row : rows) {
        const auto state = states.find(row.code);
        ASSERT_TRUE(state) << row.code;
        EXPECT_EQ(state->statename, row.name);
        EXPECT_EQ(state->abbr, row.abbr);
    }
    EXPECT_FALSE(states.find("99"));
    EXPECT_FALSE(states.find("60")); // American Samoa is not in the table
}

TEST(CopyRegions, LeavesExactlyTheSourceEntriesSharedInOrder) {
    RegionCollection source, target;
    for (const char* code : {"06000", "48000", "06037"}) {
        auto r = std::make_shared<RegionCls>();
        r->code = code;
        source.add(r, code);
    }
    auto stale = std::make_shared<RegionCls>();
    stale->code = "01000";
    target.add(stale, "01000");

    copy_regions(source, target);
    ASSERT_EQ(target.size(), 3u);
    EXPECT_EQ(target.at(0)->code, "06000");
    EXPECT_EQ(target.at(2)->code, "06037");
    EXPECT_FALSE(target.contains("01000"));

    source.at(1)->county = "changed";
    EXPECT_EQ(target.at(1)->county, "changed");
}

} // namespace
} // namespace kv
