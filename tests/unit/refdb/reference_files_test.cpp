#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "optionsfile/sqlite_support.h"
#include "refdb_test_util.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

JetQuery region_lookup(const std::string& code) {
    JetQuery q("SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS=");
    q.appendQuoted(code).append(");");
    return q;
}

std::string county_of(ReferenceDb& db, const std::string& code) {
    const RecordSet rs = db.query(region_lookup(code));
    return rs.empty() ? std::string() : rs.rows[0][0];
}

// A reference file with one county of the given name, and nothing else.
std::string tiny_sqlite(const TempDir& dir, const std::string& name, const std::string& county) {
    const std::string path = test::path_in(dir, name);
    write_reference_sqlite(path, [&](const std::string& table) {
        RecordSet rs;
        rs.columns = reference_schema()[table == "Counties" ? 0 : 1].columns;
        if (table == "Counties")
            rs.rows = {{"01001", county}};
        return rs;
    });
    return path;
}

TEST(ReferenceDbPath, PrefersTheAccessFileThenTheSqliteFile) {
    const TempDir dir;
    const std::string model = dir.path().string();
    EXPECT_EQ(reference_db_path(model, '/'), model + "/reports/reports.mdb"); // neither exists
    dir.write("reports/reports.sqlite", "x");
    EXPECT_EQ(reference_db_path(model, '/'), model + "/reports/reports.sqlite");
    dir.write("reports/reports.mdb", "x");
    EXPECT_EQ(reference_db_path(model, '/'), model + "/reports/reports.mdb");
}

TEST(ReferenceDbPath, FindsAFileWhoseCaseDiffers) {
    const TempDir dir;
    const std::string model = dir.path().string();
    dir.write("REPORTS/REPORTS.MDB", "x");
    EXPECT_EQ(reference_db_path(model, '/'), model + "/REPORTS/REPORTS.MDB");
}

TEST(ReferenceDbPath, SkipsADirectoryNamedLikeTheFile) {
    const TempDir dir;
    const std::string model = dir.path().string();
    fs::create_directories(dir.path() / "reports" / "reports.mdb");
    dir.write("reports/reports.sqlite", "x");
    EXPECT_EQ(reference_db_path(model, '/'), model + "/reports/reports.sqlite");
}

TEST(ReferenceFile, KindIsToldByContentNotByName) {
    const TempDir dir;
    const std::string sqlite = test::demo_sqlite(dir, "reports.mdb");
    EXPECT_EQ(detect_database_kind(sqlite), DatabaseKind::Sqlite);
    EXPECT_EQ(county_of(*load_reference_file(sqlite), "06037"), "Los Angeles County");
    if (const std::string nwind = test::mdb_fixture("nwind.mdb"); !nwind.empty()) {
        const std::string renamed = test::path_in(dir, "reports.sqlite");
        fs::copy_file(nwind, renamed);
        EXPECT_EQ(detect_database_kind(renamed), DatabaseKind::Access);
        try {
            load_reference_file(renamed); // an Access file, but without the reference tables
            ADD_FAILURE() << "no error";
        } catch (const ReferenceDbError& e) {
            EXPECT_EQ(e.number(), refdb_error::kMissingTable);
            EXPECT_EQ(e.describe(), "Table [Counties] not found in " + renamed);
        }
    }
}

struct BrokenFile {
    std::string name;
    std::string content;
    int number;
    std::string text; // what the message says before the path
};

void expect_open_error(ReferenceDbOpener& opener, const std::string& path, int number,
                       const std::string& text) {
    try {
        opener.open(path);
        ADD_FAILURE() << "no error for " << path;
    } catch (const ReferenceDbError& e) {
        EXPECT_EQ(e.number(), number) << path << ": " << e.describe();
        EXPECT_EQ(e.path(), path);
        EXPECT_EQ(e.what(), text) << path;
    }
}

TEST(ReferenceFile, BrokenFilesAreReportedNotCrashedOn) {
    const TempDir dir;
    // A valid SQLite file to take apart.
    const std::string good = test::demo_sqlite(dir, "good.sqlite");
    const std::string goodBytes = test::read_file(good);
    SqliteHandle noTables = open_sqlite(test::path_in(dir, "no_tables.sqlite"),
                                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    exec_sql(noTables.get(), "CREATE TABLE Other (x TEXT)");
    noTables.reset();
    SqliteHandle noColumn = open_sqlite(test::path_in(dir, "no_column.sqlite"),
                                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    exec_sql(noColumn.get(), "CREATE TABLE Counties (FIPS TEXT, NAME TEXT)");
    noColumn.reset();

    std::vector<BrokenFile> cases = {
        {"empty.mdb", "", refdb_error::kNotADatabase, "Empty file, not a database: "},
        {"random.mdb", std::string("\x13\x37\xBE\xEF garbage that is no database at all"),
         refdb_error::kNotADatabase, "Not an Access or SQLite database: "},
        {"text.sqlite", "FIPS,COUNTY\r\n01001,Autauga County\r\n", refdb_error::kNotADatabase,
         "Not an Access or SQLite database: "},
        {"header_only.sqlite", goodBytes.substr(0, 100), refdb_error::kDamaged, ""},
        {"cut.sqlite", goodBytes.substr(0, goodBytes.size() / 2), refdb_error::kDamaged, ""},
        {"garbage_after_magic.sqlite",
         std::string("SQLite format 3\0", 16) + std::string(4096, '\x5A'), refdb_error::kDamaged,
         ""},
    };
    if (const std::string nwind = test::mdb_fixture("nwind.mdb"); !nwind.empty()) {
        const std::string bytes = test::read_file(nwind);
        // Cut inside a page, cut at a page boundary (the catalog then looks short), and a
        // file that holds the signature and nothing more.
        cases.push_back({"cut_in_page.mdb", bytes.substr(0, 40000), refdb_error::kDamaged,
                         "Damaged or truncated Access database (not a whole number of pages): "});
        cases.push_back({"cut_at_page.mdb", bytes.substr(0, 20 * 2048), refdb_error::kDamaged,
                         "Damaged or truncated Access database (catalog cut short): "});
        cases.push_back({"cut_late.mdb", bytes.substr(0, 200 * 2048), refdb_error::kDamaged,
                         "Damaged or truncated Access database (catalog cut short): "});
        cases.push_back({"signature_only.mdb", bytes.substr(0, 64), refdb_error::kDamaged,
                         "Damaged or truncated Access database (not a whole number of pages): "});
        std::string scrambled = bytes.substr(0, 3 * 2048);
        for (std::size_t i = 64; i < scrambled.size(); ++i)
            scrambled[i] = static_cast<char>(i * 7);
        cases.push_back({"scrambled.mdb", scrambled, refdb_error::kDamaged, ""});
    }

    auto opener = make_reference_db_opener();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write(c.name, c.content);
        try {
            opener->open(path);
            ADD_FAILURE() << "no error";
        } catch (const ReferenceDbError& e) {
            EXPECT_EQ(e.number(), c.number) << e.describe();
            EXPECT_EQ(e.path(), path);
            if (!c.text.empty()) {
                EXPECT_EQ(e.what(), c.text);
            }
            // Followed by the path, the text must read as a sentence about the file.
            const std::string text = e.what();
            EXPECT_TRUE(text.ends_with(" ") || text.ends_with(": ")) << text;
        }
    }
    expect_open_error(*opener, test::path_in(dir, "missing.mdb"), refdb_error::kNotFound,
                      "Could not find file ");
    expect_open_error(*opener, test::path_in(dir, "no_tables.sqlite"), refdb_error::kMissingTable,
                      "Table [Counties] not found in ");
    expect_open_error(*opener, test::path_in(dir, "no_column.sqlite"), refdb_error::kMissingColumn,
                      "Column [COUNTY] of table [Counties] not found in ");
    fs::create_directory(dir.path() / "folder.mdb");
    expect_open_error(*opener, test::path_in(dir, "folder.mdb"), refdb_error::kCannotOpen,
                      "Cannot open a directory as a database: ");
}

TEST(ReferenceFile, UnreadableFileIsAPermissionError) {
#ifdef _WIN32
    GTEST_SKIP() << "permissions are not POSIX modes here";
#else
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root, which reads any file";
    const TempDir dir;
    const std::string path = test::demo_sqlite(dir);
    fs::permissions(path, fs::perms::none);
    auto opener = make_reference_db_opener();
    expect_open_error(*opener, path, refdb_error::kCannotOpen, "No permission to read ");
#endif
}

TEST(ReferenceOpener, KeepsWhatItLoadedUntilTheFileChanges) {
    const TempDir dir;
    const std::string path = tiny_sqlite(dir, "reports.sqlite", "Old County");
    auto opener = make_reference_db_opener();
    const auto first = opener->open(path);
    EXPECT_EQ(opener->open(path), first); // cached

    // Same size, new content, later time: loaded again.
    tiny_sqlite(dir, "next.sqlite", "New County");
    fs::rename(test::path_in(dir, "next.sqlite"), path);
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(2));
    const auto second = opener->open(path);
    EXPECT_NE(second, first);
    EXPECT_EQ(county_of(*second, "01001"), "New County");
    EXPECT_EQ(county_of(*first, "01001"), "Old County"); // a holder keeps its copy

    // Only the time changes (touch): loaded again.
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(2));
    EXPECT_NE(opener->open(path), second);

    // Gone: an error, not the copy in memory.
    fs::remove(path);
    expect_open_error(*opener, path, refdb_error::kNotFound, "Could not find file ");
}

TEST(ReferenceOpener, AFailedLoadIsTriedAgain) {
    const TempDir dir;
    const std::string path = dir.write("reports.mdb", "not yet");
    auto opener = make_reference_db_opener();
    EXPECT_THROW(opener->open(path), ReferenceDbError);
    test::demo_sqlite(dir, "reports.mdb");
    EXPECT_EQ(county_of(*opener->open(path), "06037"), "Los Angeles County");
}

TEST(ReferenceOpener, OpensThroughAPathWhoseCaseDiffers) {
    const TempDir dir;
    test::demo_sqlite(dir, "REPORTS.SQLITE");
    auto opener = make_reference_db_opener();
    EXPECT_EQ(county_of(*opener->open(test::path_in(dir, "reports.sqlite")), "06037"),
              "Los Angeles County");
}

TEST(ReferenceTools, CsvToSqliteAndBackGivesTheSameFiles) {
    const TempDir dir;
    const std::string built = test::demo_sqlite(dir, "built.sqlite");
    import_reference_db(built, test::path_in(dir, "imported.sqlite"));
    const DatabaseFile imported(test::path_in(dir, "imported.sqlite"));
    EXPECT_EQ(imported.tableNames(), (std::vector<std::string>{"Counties", "Equipment Types"}));
    for (const auto& [table, csv] : {std::pair{"Counties", "counties.csv"},
                                     std::pair{"Equipment Types", "equipment_types.csv"}}) {
        std::ostringstream out;
        write_csv(out, imported.readTable(table));
        EXPECT_EQ(out.str(), test::read_file(test::demo_csv(csv))) << table;
    }
}

TEST(ReferenceTools, FromCsvKeepsQuotedFieldsAndRefusesBadKeys) {
    const TempDir dir;
    const std::string equipment = test::demo_csv("equipment_types.csv");
    const std::string counties =
        dir.write("c.csv", "COUNTY,FIPS\n\"Comma, County\",01001\n\"Say \"\"Hi\"\"\",01003\n"
                           "\"Two\r\nLines\",01005\n");
    const std::string out = test::path_in(dir, "out.sqlite");
    reference_db_from_csv(counties, equipment, out);
    const RecordSet rs = DatabaseFile(out).readTable("counties");
    EXPECT_EQ(rs.rows,
              (std::vector<std::vector<std::string>>{
                  {"01001", "Comma, County"}, {"01003", "Say \"Hi\""}, {"01005", "Two\r\nLines"}}));
    std::ostringstream csv;
    write_csv(csv, rs);
    EXPECT_EQ(csv.str(), "FIPS,COUNTY\r\n01001,\"Comma, County\"\r\n01003,\"Say \"\"Hi\"\"\"\r\n"
                         "01005,\"Two\r\nLines\"\r\n");

    const struct {
        const char* content;
        const char* message; // the end of the message, after the file name
    } bad[] = {
        {"FIPS,COUNTY\r\n01001,A\r\n01001,B\r\n", ", line 3: repeated FIPS 01001"},
        {"FIPS,COUNTY\r\n01001,A\r\n,B\r\n", ", line 3: empty FIPS"},
        {"CODE,COUNTY\r\n01001,A\r\n", ", line 1: no column FIPS in the header"},
        {"FIPS,COUNTY\r\n01001,A,extra\r\n", ", line 2: 3 fields where the header has 2"},
        {"FIPS,COUNTY\r\n01001,\"open\r\n", ", line 2: a quoted field is still open at the end "
                                            "of the file"},
        {"FIPS,COUNTY\r\n01001,A \"B\"\r\n", ", line 2: a quote inside a field that does not "
                                             "begin with one"},
    };
    for (const auto& b : bad) {
        const std::string path = dir.write("bad.csv", b.content);
        try {
            reference_db_from_csv(path, equipment, out);
            ADD_FAILURE() << "no error for " << b.content;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), path + b.message);
        }
    }
    // None of the refused files touched the database written before.
    EXPECT_EQ(DatabaseFile(out).readTable("Counties").rows.size(), 3u);
}

TEST(ReferenceTools, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    const TempDir dir;
    const std::string out = test::demo_sqlite(dir);
    const std::string before = test::read_file(out);
    const TableReader failsLate = [](const std::string& table) -> RecordSet {
        if (table == "Counties")
            return test::demo_table(table);
        throw ReferenceDbError("Table [Equipment Types] not found in ", refdb_error::kMissingTable);
    };
    EXPECT_THROW(write_reference_sqlite(out, failsLate), ReferenceDbError);
    EXPECT_EQ(test::read_file(out), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_THROW(
        write_reference_sqlite(test::path_in(dir, "no/such/dir/x.sqlite"), test::demo_table),
        ReferenceDbError);
}

TEST(ReferenceTools, TheBuildMakesTheDemoDatabase) {
    const std::string built = std::string(KV_DEMO_DIR) + "/model/reports/reports.sqlite";
    if (!fs::exists(built))
        GTEST_SKIP() << "the demo database has not been built";
    const std::string model = std::string(KV_DEMO_DIR) + "/model";
    EXPECT_EQ(reference_db_path(model, '/'), built);
    EXPECT_EQ(county_of(*load_reference_file(built), "78030"), "St. Thomas Island");
}

TEST(Csv, ParsesRfc4180WithAnyLineEnd) {
    const struct {
        const char* text;
        std::vector<std::vector<std::string>> records;
    } cases[] = {
        {"a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
        {"a,b\nc,d", {{"a", "b"}, {"c", "d"}}},
        {"a,b\rc,d\r", {{"a", "b"}, {"c", "d"}}},
        {"\xEF\xBB\xBF"
         "a\r\n\r\n\r\nb\r\n",
         {{"a"}, {"b"}}},
        {"\"a,b\",\"c\"\"d\",\"\"\r\n", {{"a,b", "c\"d", ""}}},
        {"\"line\nbreak\",x\n", {{"line\nbreak", "x"}}},
        {",\n", {{"", ""}}},
        {"a,\n", {{"a", ""}}},
        {"\"\"\n", {{""}}},
        {"", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::vector<std::string>> got;
        for (auto& r : parse_csv(c.text))
            got.push_back(r.fields);
        EXPECT_EQ(got, c.records) << c.text;
    }
    const auto records = parse_csv("h\n\"x\ny\"\nlast\n");
    EXPECT_EQ(records.at(2).line, 4u); // the quoted line break counts as a line
    EXPECT_THROW(parse_csv("\"a\"b\n"), CsvError);
}

// What the writer writes, the reader reads back the same, also where an unquoted field
// would be lost: the empty only field of a row, a leading byte-order mark.
TEST(Csv, WhatIsWrittenReadsBackTheSame) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::vector<std::vector<std::vector<std::string>>> tables = {
        {{"NAME"}, {""}, {"x"}, {""}},
        {{""}},
        {{bom + "FIPS", "COUNTY"}, {bom, ""}, {bom + "01001", "A"}},
        {{bom}, {bom + bom}},
        {{"", ""}, {"", ""}},
    };
    for (const auto& table : tables) {
        RecordSet rs;
        rs.columns = table.front();
        rs.rows.assign(table.begin() + 1, table.end());
        std::ostringstream csv;
        write_csv(csv, rs);
        std::vector<std::vector<std::string>> back;
        for (auto& r : parse_csv(csv.str()))
            back.push_back(r.fields);
        EXPECT_EQ(back, table) << csv.str();
    }
}

} // namespace
} // namespace kv
