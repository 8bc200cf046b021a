#pragma once

#include "optionsfile/reference_db.h"
#include "optionsfile/reference_schema.h"

#include <memory>
#include <string>
#include <vector>

namespace kv {

// The kind of a database file, told by its first bytes whatever its name: a reports.mdb
// that is really a SQLite database opens as one.
enum class DatabaseKind { Access, Sqlite };

// Throws ReferenceDbError with the path: 3024 missing, 3051 a directory or not readable,
// 3343 empty or neither kind.
DatabaseKind detect_database_kind(const std::string& path);

// Reads whole tables of a database file of either kind. Errors carry the path.
class DatabaseFile {
public:
    explicit DatabaseFile(const std::string& path);
    ~DatabaseFile();
    DatabaseFile(const DatabaseFile&) = delete;
    DatabaseFile& operator=(const DatabaseFile&) = delete;

    DatabaseKind kind() const;
    std::vector<std::string> tableNames() const;
    // Any table, found by name without regard to case; 3078 when it is missing.
    RecordSet readTable(const std::string& table) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Loads the reference tables of a file of either kind into memory, without caching. Every
// error names what is wrong and carries the path (see ReferenceDbError).
std::shared_ptr<ReferenceDb> load_reference_file(const std::string& path);

// Writes the reference tables read through `read` to a new SQLite file: into a temporary
// file beside `out` that replaces `out` only once it is complete, so a failure never leaves
// a half-written database behind.
std::vector<CopiedTable>
write_reference_sqlite(const std::string& out, const TableReader& read,
                       const std::vector<TableSpec>& schema = reference_schema());

// Copies the reference tables of a file of either kind into a SQLite file.
std::vector<CopiedTable> import_reference_db(const std::string& in, const std::string& out);

// Builds a SQLite reference file from the two CSV files (header row naming the columns,
// in any order and case). Unlike a database that is read as it is, these files are the
// source of truth, so a malformed file or an empty or repeated key is refused with the file
// and line ("counties.csv, line 7: repeated FIPS 01001", std::runtime_error).
std::vector<CopiedTable> reference_db_from_csv(const std::string& countiesCsv,
                                               const std::string& equipmentCsv,
                                               const std::string& out);

} // namespace kv
