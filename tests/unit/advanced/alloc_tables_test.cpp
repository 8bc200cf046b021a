#include "advanced/alloc_tables.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(AllocTables, EveryEntryAsListed) {
    struct Row {
        int n;
        const char* code;
        const char* label;
    };
    const Row rows[] = {
        {0, " ", " "},
        {1, "_airtr.alo", "Air trans. empl.   :"},
        {2, "_const.alo", "Construction cost  :"},
        {3, "_farms.alo", "Harvested acres    :"},
        {4, "_golf.alo", "Golf course estab. :"},
        {5, "_holsl.alo", "Wholesale estab.   :"},
        {6, "_house.alo", "Family housing     :"},
        {7, "_loggn.alo", "Logging employees  :"},
        {8, "_lscap.alo", "Landscaping empl.  :"},
        {9, "_coal.alo", "Undergrnd coal prod:"},
        {10, "_mnfg.alo", "Manufacturing empl.:"},
        {11, "_oil.alo", "Oil & gas employees:"},
        {12, "_pop.alo", "Census population  :"},
        {13, "_rvprk.alo", "RV Park establish. :"},
        {14, "_snowm.alo", "Snowmobiles        :"},
        {15, "_sbr.alo", "Snowblowers res.   :"},
        {16, "_sbc.alo", "Snowblowers comm.  :"},
        {17, "_wib.alo", "Rec marine inboard :"},
        {18, "_wob.alo", "Rec marine outboard:"},
        {19, " ", "Locomotive NOx     :"},
        {20, "_rail.alo ", " "},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(alloc_code(row.n), row.code) << row.n;
        EXPECT_EQ(alloc_label(row.n), row.label) << row.n;
    }
    for (int n = 1; n <= 19; ++n)
        EXPECT_EQ(alloc_label(n).size(), 20u) << n;
}

TEST(AllocTables, OutsideTheTableIsEmpty) {
    EXPECT_EQ(alloc_code(-1), "");
    EXPECT_EQ(alloc_code(21), "");
    EXPECT_EQ(alloc_label(21), "");
}

} // namespace
} // namespace kv
