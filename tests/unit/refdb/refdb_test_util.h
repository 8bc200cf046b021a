#pragma once

#include "optionsfile/csv.h"
#include "optionsfile/reference_files.h"
#include "optionsfile/sqlite_reference_db.h"
#include "support/temp_dir.h"

#include <memory>
#include <string>
#include <string_view>

namespace kv::test {

inline std::string demo_csv(const std::string& name) {
    return std::string(KV_SOURCE_DIR) + "/demo/" + name;
}

// The demo's CSV files as the tables of a reference database.
inline RecordSet demo_table(const std::string& table) {
    return read_csv_file(demo_csv(table == "Counties" ? "counties.csv" : "equipment_types.csv"))
        .data;
}

// The demo data loaded straight into memory, without a file in between.
inline std::shared_ptr<SqliteReferenceDb> demo_db() {
    return load_reference_db(reference_schema(), demo_table);
}

// The path of a file in a temporary directory (not created).
inline std::string path_in(const TempDir& dir, std::string_view name) {
    return (dir.path() / name).string();
}

// The demo data as a SQLite reference file in `dir`.
inline std::string demo_sqlite(const TempDir& dir, const std::string& name = "reports.sqlite") {
    const std::string path = path_in(dir, name);
    reference_db_from_csv(demo_csv("counties.csv"), demo_csv("equipment_types.csv"), path);
    return path;
}

// An Access fixture file, or empty when this checkout has none.
inline std::string mdb_fixture([[maybe_unused]] const std::string& name) {
#ifdef KV_MDB_FIXTURES
    return std::string(KV_MDB_FIXTURES) + "/" + name;
#else
    return {};
#endif
}

} // namespace kv::test

#define KV_SKIP_WITHOUT_MDB_FIXTURES()                                                             \
    do {                                                                                           \
        if (::kv::test::mdb_fixture("nwind.mdb").empty())                                          \
            GTEST_SKIP() << "no Access fixture files in this checkout";                            \
    } while (false)
