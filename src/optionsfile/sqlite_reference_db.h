#pragma once

#include "optionsfile/reference_db.h"
#include "optionsfile/reference_schema.h"
#include "optionsfile/sqlite_support.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace kv {

// The reference database as one SQLite connection that answers the program's Jet queries.
// Both kinds of file end up here: their tables are copied into an in-memory database
// (reference_schema's layout), so an Access file and a SQLite file give the same rows.
//
// Prepared statements are kept by their SQL text: validation runs the same look-up once per
// region entry with a different parameter, thousands of times for a nationwide file.
class SqliteReferenceDb : public ReferenceDb {
public:
    // Takes a connection that holds the tables. Installs the Access Like and makes the
    // connection answer queries only: nothing a query asks can change or attach anything.
    explicit SqliteReferenceDb(SqliteHandle db);

    // Column names as SQLite reports them ("COUNTY", "Engine Type"), every value as text,
    // NULL as empty text. Throws ReferenceDbError (3078 missing table, 3061 unknown column,
    // 3075 syntax or bad Like pattern, 3027 a query that would write).
    RecordSet query(const JetQuery& query) override;
    // Both tables read once, at the first call.
    const ReferenceIndex* index() override;

    // Prepared statements kept at most; more distinct texts than this start the cache anew.
    static constexpr std::size_t kStatementCacheSize = 64;

private:
    sqlite3_stmt* statement(const std::string& sql);

    std::mutex mutex_;
    SqliteHandle db_; // declared before the statements, so it is closed after them
    std::unordered_map<std::string, SqliteStatement> statements_;
    std::once_flag indexOnce_;
    std::unique_ptr<ReferenceIndex> index_; // null when the tables could not be read whole
};

// An in-memory reference database holding the tables of `schema`, read through `read`.
std::shared_ptr<SqliteReferenceDb> load_reference_db(const std::vector<TableSpec>& schema,
                                                     const TableReader& read);

} // namespace kv
