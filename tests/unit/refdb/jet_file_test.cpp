#include "optionsfile/jet_file.h"
#include "optionsfile/sqlite_support.h"
#include "refdb_test_util.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>

namespace kv {
namespace {

std::string shell_quote(const std::string& text) {
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// mdb-export's view of a table, as an independent reader: binary values in hexadecimal and
// dates in the reader's format, so the two can be compared value by value.
std::optional<RecordSet> mdb_export([[maybe_unused]] const std::string& file,
                                    [[maybe_unused]] const std::string& table) {
#ifdef KV_MDB_EXPORT
    const std::string command = std::string(KV_MDB_EXPORT) +
                                " -b hex -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' " +
                                shell_quote(file) + " " + shell_quote(table) + " 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string text;
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
        text.append(buf, n);
    if (pclose(pipe) != 0)
        return std::nullopt;
    auto records = parse_csv(text);
    RecordSet rs;
    if (records.empty())
        return rs;
    rs.columns = records.front().fields;
    for (std::size_t i = 1; i < records.size(); ++i)
        rs.rows.push_back(records[i].fields);
    return rs;
#else
    return std::nullopt;
#endif
}

// libmdb's date text cannot show years before 1900 or 9999; it prints this instead.
bool libmdb_out_of_range_date(const std::string& value) {
    return value.starts_with("1900-01-00");
}

struct FixtureTables {
    const char* file;
    std::vector<std::string> tables;
};

const FixtureTables kFixtures[] = {
    {"nwind.mdb",
     {"Order Details", "Orders", "Products", "Shippers", "Categories", "Customers", "Employees",
      "Suppliers", "Ums\xC3\xA4tze"}},
    {"datetest.mdb", {"DateTest"}},
};

TEST(JetFile, ListsTheUserTablesInCatalogOrder) {
    KV_SKIP_WITHOUT_MDB_FIXTURES();
    for (const auto& f : kFixtures)
        EXPECT_EQ(JetFile(test::mdb_fixture(f.file)).tableNames(), f.tables) << f.file;
}

TEST(JetFile, EveryFixtureTableMatchesMdbExport) {
    KV_SKIP_WITHOUT_MDB_FIXTURES();
#ifndef KV_MDB_EXPORT
    GTEST_SKIP() << "mdb-export is not installed";
#endif
    for (const auto& f : kFixtures) {
        const JetFile file(test::mdb_fixture(f.file));
        for (const auto& table : f.tables) {
            SCOPED_TRACE(std::string(f.file) + " / " + table);
            const RecordSet ours = file.readTable(table);
            const auto oracle = mdb_export(test::mdb_fixture(f.file), table);
            ASSERT_TRUE(oracle);
            EXPECT_EQ(ours.columns, oracle->columns);
            ASSERT_EQ(ours.rows.size(), oracle->rows.size());
            std::size_t compared = 0;
            for (std::size_t r = 0; r < ours.rows.size(); ++r) {
                ASSERT_EQ(ours.rows[r].size(), oracle->rows[r].size()) << "row " << r;
                for (std::size_t c = 0; c < ours.rows[r].size(); ++c) {
                    if (libmdb_out_of_range_date(oracle->rows[r][c]))
                        continue; // checked against known values below
                    EXPECT_EQ(ours.rows[r][c], oracle->rows[r][c])
                        << "row " << r << " column " << ours.columns[c];
                    ++compared;
                }
            }
            EXPECT_GT(compared, 0u);
        }
    }
}

TEST(JetFile, DatesOutsideLibmdbsRangeAreConvertedFromTheStoredDays) {
    KV_SKIP_WITHOUT_MDB_FIXTURES();
    const RecordSet rs = JetFile(test::mdb_fixture("datetest.mdb")).readTable("DateTest");
    const std::vector<std::vector<std::string>> dates = {
        {"2021-12-02 00:00:00", "2021-12-02 00:00:00", "2021-12-02 00:00:00"},
        {"9999-01-01 00:00:00", "9999-01-01 00:00:00", "9999-01-01 00:00:00"},
        {"1898-01-01 00:00:00", "1899-01-01 00:00:00", "1900-01-01 00:00:00"},
        {"0632-01-01 00:00:00", "0633-01-01 00:00:00", "0634-01-01 00:00:00"},
    };
    for (std::size_t r = 0; r < dates.size(); ++r) {
        EXPECT_EQ(std::vector<std::string>(rs.rows.at(r).begin() + 1, rs.rows.at(r).begin() + 4),
                  dates[r])
            << "row " << r;
    }
    EXPECT_EQ(rs.value(5, "LongTextCol"), "New line\r\nin field");
}

TEST(JetDate, ConvertsDayCountsBothSidesOfTheEpoch) {
    const struct {
        double days;
        const char* text;
    } cases[] = {
        {0.0, "1899-12-30 00:00:00"},        {1.5, "1899-12-31 12:00:00"},
        {-1.25, "1899-12-29 06:00:00"},      {60.0, "1900-02-28 00:00:00"},
        {61.0, "1900-03-01 00:00:00"},       {36526.0, "2000-01-01 00:00:00"},
        {36585.0, "2000-02-29 00:00:00"},    {2958465.999994, "9999-12-31 23:59:59"},
        {0.99999999, "1899-12-31 00:00:00"}, {-657434.0, "0100-01-01 00:00:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(jet_date_text(c.days), c.text) << c.days;
}

TEST(JetFile, FindsTablesWithoutRegardToCaseAndNamesAMissingOne) {
    KV_SKIP_WITHOUT_MDB_FIXTURES();
    const std::string path = test::mdb_fixture("nwind.mdb");
    const JetFile file(path);
    EXPECT_EQ(file.readTable("ums\xC3\xA4tze").rows.size(), 830u);
    EXPECT_EQ(file.readTable("ORDER DETAILS").rows.size(), 2155u);
    try {
        file.readTable("Counties");
        ADD_FAILURE() << "no error";
    } catch (const ReferenceDbError& e) {
        EXPECT_EQ(e.number(), refdb_error::kMissingTable);
        EXPECT_EQ(e.describe(), "Table [Counties] not found in " + path);
    }
}

// There is no way to write an Access file here, so the Access and SQLite paths are compared
// on fixture tables: a schema naming nwind's tables takes the place of the reference schema,
// and the same queries must give the same rows whether the tables came straight from the
// Access file, from a SQLite file written from it, or from a CSV export of it.
TEST(BackEnds, AccessAndSqliteCopiesAnswerQueriesAlike) {
    KV_SKIP_WITHOUT_MDB_FIXTURES();
    const std::vector<TableSpec> schema = {
        {"Customers", {"CustomerID", "CompanyName", "City", "Country", "Region"}},
        {"Products", {"ProductName", "UnitPrice", "Discontinued", "QuantityPerUnit"}},
    };
    const JetFile jet(test::mdb_fixture("nwind.mdb"));
    const TableReader fromJet = [&](const std::string& t) { return jet.readTable(t); };
    const auto viaJet = load_reference_db(schema, fromJet);

    const test::TempDir dir;
    write_reference_sqlite(test::path_in(dir, "copy.sqlite"), fromJet, schema);
    const DatabaseFile sqliteFile(test::path_in(dir, "copy.sqlite"));
    ASSERT_EQ(sqliteFile.kind(), DatabaseKind::Sqlite);
    const auto viaSqlite =
        load_reference_db(schema, [&](const std::string& t) { return sqliteFile.readTable(t); });

    const auto viaCsv = load_reference_db(schema, [&](const std::string& t) {
        std::ostringstream csv;
        write_csv(csv, jet.readTable(t));
        const std::string path = dir.write(t + ".csv", csv.str());
        return read_csv_file(path).data;
    });

    const char* queries[] = {
        "SELECT DISTINCTROW CustomerID, CompanyName FROM Customers WHERE Country LIKE \"[!U]*\" "
        "ORDER BY CustomerID",
        "SELECT CompanyName, City FROM Customers WHERE CompanyName LIKE \"*[\xC3\xA0-\xC3\xBF]*\" "
        "ORDER BY 1",
        "SELECT CustomerID FROM Customers WHERE Region NOT LIKE \"?A\" ORDER BY 1",
        "SELECT CustomerID FROM Customers WHERE Region = \"\" ORDER BY 1",
        "SELECT CustomerID FROM Customers WHERE CustomerID = \"alfki\"",
        "SELECT ProductName, UnitPrice FROM Products WHERE UnitPrice LIKE \"1#.#*\" ORDER BY 1",
        "SELECT ProductName FROM Products WHERE Discontinued = \"1\" AND ProductName LIKE "
        "\"*[gG]*\" ORDER BY 1",
        "SELECT QuantityPerUnit FROM Products WHERE QuantityPerUnit LIKE \"## - ## oz *\" "
        "ORDER BY 1",
    };
    for (const char* q : queries) {
        const RecordSet a = viaJet->query(JetQuery(q));
        EXPECT_FALSE(a.empty()) << q;
        const RecordSet b = viaSqlite->query(JetQuery(q));
        const RecordSet c = viaCsv->query(JetQuery(q));
        EXPECT_EQ(a.columns, b.columns) << q;
        EXPECT_EQ(a.rows, b.rows) << q;
        EXPECT_EQ(a.rows, c.rows) << q;
    }
}

} // namespace
} // namespace kv
