#include "optionsfile/sqlite_reference_db.h"
#include "optionsfile/sqlite_support.h"
#include "refdb_test_util.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace kv {
namespace {

// The program's queries, built as the reader and the dialogs build them.
JetQuery region_lookup(const std::string& code) {
    JetQuery q("SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS=");
    q.appendQuoted(code).append(");");
    return q;
}

JetQuery scc_lookup(const std::string& scc) {
    JetQuery q("SELECT DISTINCTROW  [Equipment Types].SCC, [Equipment Types].EQUIP,[Equipment "
               "Types].[Engine Type], [Equipment Types].Classification ");
    q.append("FROM [Equipment Types] WHERE (SCC=").appendQuoted(scc).append(");");
    return q;
}

JetQuery county_list(const std::string& state) {
    JetQuery q("SELECT DISTINCTROW Counties.COUNTY, Counties.FIPS FROM Counties");
    q.append(" WHERE((Counties.FIPS like ")
        .appendQuoted(state + "###")
        .append(") AND (Counties.COUNTY not like ")
        .appendQuoted("The State*")
        .append("));");
    return q;
}

JetQuery sources_query(const std::vector<std::string>& patterns) {
    JetQuery q("SELECT DISTINCTROW SCC,EQUIP,CLASSIFICATION,[Engine Type] from [EQUIPMENT TYPES] "
               "WHERE SCC LIKE ");
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        if (i > 0)
            q.append(" OR SCC LIKE ");
        q.appendQuoted(patterns[i]);
    }
    return q.append(";");
}

std::vector<std::string> column_values(const RecordSet& rs, const std::string& column) {
    std::vector<std::string> out;
    for (std::size_t r = 0; r < rs.size(); ++r)
        out.push_back(rs.value(r, column));
    return out;
}

class DemoQueries : public ::testing::Test {
protected:
    static void SetUpTestSuite() { db_ = test::demo_db(); }
    static void TearDownTestSuite() { db_.reset(); }
    static std::shared_ptr<SqliteReferenceDb> db_;
};
std::shared_ptr<SqliteReferenceDb> DemoQueries::db_;

TEST_F(DemoQueries, RegionLookupFindsCountiesAndStateRows) {
    const RecordSet county = db_->query(region_lookup("06037"));
    EXPECT_EQ(county.columns, std::vector<std::string>{"COUNTY"});
    ASSERT_EQ(county.size(), 1u);
    EXPECT_EQ(county.rows[0][0], "Los Angeles County");
    EXPECT_EQ(db_->query(region_lookup("06000")).rows.at(0).at(0), "The State of California");
    for (const char* missing : {"99999", "6037", "06037 ", "", "0603#"})
        EXPECT_TRUE(db_->query(region_lookup(missing)).empty()) << missing;
}

// The demo data read straight from CSV, from the SQLite file built from it, and from a copy
// of that file imported again under the Access name: every look-up must agree, and every
// county must be found with its name.
TEST_F(DemoQueries, EveryLookUpAgreesWhereverTheDataCameFrom) {
    const test::TempDir dir;
    const auto fromFile = load_reference_file(test::demo_sqlite(dir));
    import_reference_db(test::path_in(dir, "reports.sqlite"), test::path_in(dir, "reports.mdb"));
    const auto fromImport = make_reference_db_opener()->open(test::path_in(dir, "reports.mdb"));
    std::vector<JetQuery> queries;
    for (const auto& row : test::demo_table("Counties").rows) {
        queries.push_back(region_lookup(row[0]));
        EXPECT_EQ(db_->query(queries.back()).rows.at(0).at(0), row[1]);
    }
    for (const auto& row : test::demo_table("Equipment Types").rows)
        queries.push_back(scc_lookup(row[0]));
    for (const char* p : {"##[!8]##01000", "##7##01###", "##[!7-8]##01###", "22820#####"})
        queries.push_back(sources_query({p}));
    queries.push_back(county_list("72"));
    for (const auto& q : queries) {
        const RecordSet expected = db_->query(q);
        EXPECT_EQ(fromFile->query(q).rows, expected.rows) << q.text();
        EXPECT_EQ(fromImport->query(q).rows, expected.rows) << q.text();
    }
}

// Validation looks entries up in the index: it must answer every code as the query does,
// found or not, whatever the case of its letters.
TEST_F(DemoQueries, TheIndexAnswersAsTheLookUpQueries) {
    const ReferenceIndex* index = db_->index();
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(db_->index(), index); // made once
    std::vector<std::string> codes = {"99999", "6037", "06037 ", "", "0603#"};
    for (const auto& row : test::demo_table("Counties").rows)
        codes.push_back(row[0]);
    for (const std::string& code : codes) {
        const RecordSet rs = db_->query(region_lookup(code));
        const std::string* county = index->county(code);
        EXPECT_EQ(county ? std::vector<std::string>{*county} : std::vector<std::string>{},
                  rs.empty() ? std::vector<std::string>{} : rs.rows.at(0))
            << code;
    }
    std::vector<std::string> sccs = {"2270002001", "227000200", "2270002000 ", "22700a2000"};
    for (const auto& row : test::demo_table("Equipment Types").rows)
        sccs.push_back(row[0]);
    for (const std::string& scc : sccs) {
        const RecordSet rs = db_->query(scc_lookup(scc));
        const ReferenceIndex::Equipment* found = index->equipmentOf(scc);
        ASSERT_EQ(found != nullptr, !rs.empty()) << scc;
        if (found) {
            EXPECT_EQ((std::vector<std::string>{found->scc, found->equip, found->engineType,
                                                found->classification}),
                      rs.rows.at(0));
        }
    }
}

TEST_F(DemoQueries, SccLookupReturnsTheFourColumnsInQueryOrder) {
    const RecordSet rs = db_->query(scc_lookup("2270002000"));
    EXPECT_EQ(rs.columns,
              (std::vector<std::string>{"SCC", "EQUIP", "Engine Type", "CLASSIFICATION"}));
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(rs.rows[0], (std::vector<std::string>{"2270002000", "All Construction Equipment",
                                                    "Diesel", "Construction and Mining"}));
    EXPECT_EQ(rs.value(0, "Classification"), "Construction and Mining");
    EXPECT_TRUE(db_->query(scc_lookup("2270002001")).empty());
    EXPECT_TRUE(db_->query(scc_lookup("227000200")).empty());
}

TEST_F(DemoQueries, CountyListOfEveryStateLeavesOutTheStateRow) {
    std::map<std::string, std::set<std::string>> expected;
    for (const auto& row : test::demo_table("Counties").rows) {
        if (!row[1].starts_with("The State"))
            expected[row[0].substr(0, 2)].insert(row[0]);
    }
    ASSERT_EQ(expected.size(), 53u);
    for (const auto& [state, codes] : expected) {
        const RecordSet rs = db_->query(county_list(state));
        EXPECT_EQ(rs.columns, (std::vector<std::string>{"COUNTY", "FIPS"}));
        const auto fips = column_values(rs, "FIPS");
        EXPECT_EQ(std::set<std::string>(fips.begin(), fips.end()), codes) << state;
    }
    EXPECT_EQ(db_->query(county_list("06")).size(), 58u);
}

TEST_F(DemoQueries, SourcesPatternsSelectTheDocumentedRows) {
    const struct {
        std::vector<std::string> patterns;
        std::size_t rows;
    } cases[] = {
        {{"##[!8]##01000"}, 4},
        {{"##7##01000"}, 1},
        {{"##[!7-8]##01000"}, 3},
        {{"##[!8]##01###"}, 17},
        {{"##7##01###"}, 2},
        {{"##[!8]#######"}, 262},
        {{"22850#####"}, 4},
        {{"2285002015"}, 1},
        {{"228500[3-8]015"}, 2},
        {{"##[!8]##00000", "2285000000", "2282000000"}, 7},
        {{"##[!8]#######", "22850#####", "22820#####"}, 273},
    };
    for (const auto& c : cases)
        EXPECT_EQ(db_->query(sources_query(c.patterns)).size(), c.rows) << c.patterns.front();
}

TEST_F(DemoQueries, MarineQueriesSelectTheMarineRows) {
    const std::string head = "Select DISTINCTROW [Equipment Types].SCC,[Equipment Types].EQUIP,"
                             "[Equipment Types].CLASSIFICATION,[Equipment Types].[Engine Type] "
                             "FROM [Equipment Types] WHERE ";
    const std::string like = "(([Equipment Types].SCC Like \"2282######\" And [Equipment "
                             "Types].SCC <> \"2282000000\" And [Equipment Types].SCC <> "
                             "\"2282020000\"";
    const struct {
        std::string where;
        std::vector<std::string> sccs;
    } cases[] = {
        {"(([Equipment Types].SCC=\"2282000000\"));", {"2282000000"}},
        {"(([Equipment Types].SCC=\"2282020000\"));", {"2282020000"}},
        {like + " And [Equipment Types].[Engine Type] <> \"Diesel\"));",
         {"2282005010", "2282005015", "2282010005"}},
        {like + "));", {"2282005010", "2282005015", "2282010005", "2282020005", "2282020010"}},
        {like + " And [Equipment Types].[Engine Type] = \"Diesel\"));",
         {"2282020005", "2282020010"}},
    };
    for (const auto& c : cases) {
        const RecordSet rs = db_->query(JetQuery(head + c.where));
        EXPECT_EQ(rs.columns,
                  (std::vector<std::string>{"SCC", "EQUIP", "CLASSIFICATION", "Engine Type"}));
        EXPECT_EQ(column_values(rs, "SCC"), c.sccs) << c.where;
    }
}

TEST_F(DemoQueries, ComparisonsIgnoreCaseAsJetDoes) {
    const std::string head = "SELECT SCC FROM [Equipment Types] WHERE [Engine Type] = ";
    const auto diesel = db_->query(JetQuery(head + "\"Diesel\"")).size();
    EXPECT_EQ(diesel, 73u + 3u + 1u); // family 2270, three marine rows, one railway row
    EXPECT_EQ(db_->query(JetQuery(head + "\"DIESEL\"")).size(), diesel);
    EXPECT_EQ(db_->query(JetQuery("SELECT COUNTY FROM Counties WHERE COUNTY LIKE \"los "
                                  "angeles*\""))
                  .size(),
              1u);
}

TEST_F(DemoQueries, NullNeverMatchesLikeNorNotLike) {
    const std::string head = "SELECT COUNTY FROM Counties WHERE FIPS = \"06037\" AND ";
    EXPECT_TRUE(db_->query(JetQuery(head + "(NULL LIKE \"*\")")).empty());
    EXPECT_TRUE(db_->query(JetQuery(head + "(NULL NOT LIKE \"x\")")).empty());
    EXPECT_TRUE(db_->query(JetQuery(head + "(COUNTY NOT LIKE NULL)")).empty());
    const RecordSet rs = db_->query(JetQuery("SELECT NULL AS blank, COUNTY FROM Counties "
                                             "WHERE FIPS = \"06037\""));
    EXPECT_EQ(rs.rows.at(0), (std::vector<std::string>{"", "Los Angeles County"}));
}

TEST_F(DemoQueries, PatternTakenFromAColumnIsCompiledPerRow) {
    // The pattern changes with every row here; a compiled pattern kept from an earlier row
    // would match the wrong codes.
    const RecordSet rs =
        db_->query(JetQuery("SELECT FIPS FROM Counties WHERE \"06037\" LIKE FIPS"));
    EXPECT_EQ(column_values(rs, "FIPS"), std::vector<std::string>{"06037"});
}

TEST_F(DemoQueries, LikeWithEscapeUsesTheAccessMatcherToo) {
    const RecordSet rs = db_->query(
        JetQuery("SELECT SCC FROM [Equipment Types] WHERE SCC LIKE \"2285!#####\" ESCAPE \"!\""));
    EXPECT_TRUE(rs.empty()); // "!#" is a literal "#", which no code holds
    EXPECT_EQ(db_->query(JetQuery("SELECT SCC FROM [Equipment Types] WHERE SCC LIKE "
                                  "\"2285#!0####\" ESCAPE \"!\""))
                  .size(),
              4u);
}

TEST_F(DemoQueries, FailuresCarryJetStyleNumbers) {
    const struct {
        const char* jet;
        int number;
    } cases[] = {
        {"SELECT COUNTY FROM Countys", refdb_error::kMissingTable},
        {"SELECT CONTY FROM Counties", refdb_error::kUnknownName},
        {"SELECT COUNTY FROM Counties WHERE FIPS = ", refdb_error::kSyntax},
        {"SELECT COUNTY FROM Counties WHERE FIPS LIKE \"[0-\"", refdb_error::kSyntax},
        {"SELECT COUNTY FROM Counties WHERE FIPS LIKE \"[9-0]\"", refdb_error::kSyntax},
        {"SELECT COUNTY FROM Counties WHERE FIPS = \"open", refdb_error::kSyntax},
        {"SELECT COUNTY FROM Counties; SELECT FIPS FROM Counties", refdb_error::kSyntax},
        {"SELECT COUNTY FROM Counties WHERE FIPS LIKE \"0\" ESCAPE \"ab\"", refdb_error::kSyntax},
        {"PRAGMA case_sensitive_like = 1", refdb_error::kReadOnly},
        {"DELETE FROM Counties", refdb_error::kReadOnly},
        {"ATTACH DATABASE \":memory:\" AS other", refdb_error::kReadOnly},
        {"", refdb_error::kSyntax},
    };
    for (const auto& c : cases) {
        try {
            db_->query(JetQuery(c.jet));
            ADD_FAILURE() << "no error for: " << c.jet;
        } catch (const ReferenceDbError& e) {
            EXPECT_EQ(e.number(), c.number) << c.jet << ": " << e.what();
        }
    }
    // Nothing of that changed the data or left a statement in a bad state.
    EXPECT_EQ(db_->query(region_lookup("06037")).size(), 1u);
    EXPECT_EQ(db_->query(sources_query({"##7##01###"})).size(), 2u);
}

TEST_F(DemoQueries, CachedStatementsStayCorrectAcrossManyLookups) {
    // Thousands of look-ups share one prepared statement; each must see its own parameter,
    // also right after one that found nothing or failed.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(db_->query(region_lookup("01001")).rows.at(0).at(0), "Autauga County");
        EXPECT_TRUE(db_->query(region_lookup("01002")).empty());
        EXPECT_THROW(db_->query(JetQuery("SELECT x FROM Counties")), ReferenceDbError);
        EXPECT_EQ(db_->query(region_lookup("56045")).rows.at(0).at(0), "Weston County");
    }
    for (int i = 0; i < 200; ++i)
        db_->query(JetQuery("SELECT COUNTY FROM Counties WHERE FIPS = \"01001\" AND " +
                            std::to_string(i) + " = " + std::to_string(i)));
    EXPECT_EQ(db_->query(region_lookup("01001")).size(), 1u);
}

TEST(ReferenceConnection, DoubleQuotesNameColumnsOnly) {
    // Without the fallback switched off, "SCC" would quietly become the string 'SCC'.
    SqliteHandle db = open_sqlite(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    configure_reference_connection(db.get());
    EXPECT_THROW(exec_sql(db.get(), "SELECT \"no such column\""), ReferenceDbError);
    EXPECT_NO_THROW(exec_sql(db.get(), "SELECT 'a' LIKE 'A'"));
}

TEST(ReferenceSchema, RepeatedKeysKeepTheFirstRow) {
    const TableReader read = [](const std::string& table) {
        RecordSet rs;
        if (table == "Counties") {
            rs.columns = {"county", "fips", "extra"}; // any order, any case, more columns
            rs.rows = {{"First", "01001", "x"}, {"Second", "01001", "y"}, {"Third", "01003", "z"}};
        } else {
            rs.columns = {"SCC", "EQUIP", "CLASSIFICATION", "Engine Type"};
            rs.rows = {{"a1", "e", "c", "t"}, {"A1", "E", "C", "T"}};
        }
        return rs;
    };
    SqliteHandle db = open_sqlite(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    const auto copied = copy_reference_tables(db.get(), reference_schema(), read);
    ASSERT_EQ(copied.size(), 2u);
    EXPECT_EQ(copied[0].rows, 2u);
    EXPECT_EQ(copied[0].skipped, 1u);
    EXPECT_EQ(copied[1].skipped, 1u); // keys differ in case only
    SqliteReferenceDb refdb(std::move(db));
    EXPECT_EQ(refdb.query(region_lookup("01001")).rows.at(0).at(0), "First");
}

TEST(ReferenceSchema, MissingColumnIsNamed) {
    const TableReader read = [](const std::string&) {
        RecordSet rs;
        rs.columns = {"FIPS", "NAME"};
        return rs;
    };
    try {
        load_reference_db(reference_schema(), read);
        ADD_FAILURE() << "no error";
    } catch (const ReferenceDbError& e) {
        EXPECT_EQ(e.number(), refdb_error::kMissingColumn);
        EXPECT_STREQ(e.what(), "Column [COUNTY] of table [Counties] not found in ");
    }
}

} // namespace
} // namespace kv
