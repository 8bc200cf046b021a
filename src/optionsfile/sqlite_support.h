#pragma once

#include <memory>
#include <sqlite3.h>
#include <string>
#include <string_view>

namespace kv {

struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct SqliteFinalizer {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// Jet-style error numbers of the reference database, shared by both back-ends. The texts
// that go with the file errors are written to be followed directly by the file's path.
namespace refdb_error {
inline constexpr int kEngine = 3000;        // any other engine failure
inline constexpr int kNotFound = 3024;      // "Could not find file "
inline constexpr int kReadOnly = 3027;      // a query that would change the database
inline constexpr int kDamaged = 3049;       // truncated or corrupt file
inline constexpr int kCannotOpen = 3051;    // permission denied, a directory, locked
inline constexpr int kUnknownName = 3061;   // a query names a column that does not exist
inline constexpr int kSyntax = 3075;        // query syntax, invalid Like pattern
inline constexpr int kMissingTable = 3078;  // table not in the database
inline constexpr int kMissingColumn = 3265; // column not in a table
inline constexpr int kNotADatabase = 3343;  // neither an Access nor a SQLite file
} // namespace refdb_error

// Opens a connection; throws ReferenceDbError (with the path) when SQLite cannot.
SqliteHandle open_sqlite(const std::string& path, int flags);

// Runs statements that return no rows; throws ReferenceDbError with SQLite's text.
void exec_sql(sqlite3* db, const std::string& sql);

// Prepares one statement; throws ReferenceDbError with a number chosen from SQLite's
// error (a missing table, an unknown column, a syntax error).
SqliteStatement prepare_sql(sqlite3* db, std::string_view sql);

// The Jet-style number for the last error of a connection.
int refdb_error_number(sqlite3* db, int rc);

// Replaces like() (2 and 3 arguments) by the Access pattern matcher. Switches off the
// fallback that reads "..." as a string when no column has that name: a literal that
// happens to equal a column name would otherwise compare against the column.
void configure_reference_connection(sqlite3* db);

// Quotes a name for SQLite: "name" with inner quotes doubled.
std::string quote_identifier(std::string_view name);

} // namespace kv
