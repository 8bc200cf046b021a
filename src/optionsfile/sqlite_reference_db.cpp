#include "optionsfile/sqlite_reference_db.h"

#include "shell/text.h"

namespace kv {

namespace {

// Queries may read tables and call functions; everything else (PRAGMA, which could bring
// back the built-in like(), ATTACH, any write) is refused when the statement is prepared.
int query_authorizer(void*, int action, const char*, const char*, const char*, const char*) {
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    default:
        return SQLITE_DENY;
    }
}

// Leaves a statement ready for the next use however the query ends.
struct ResetOnExit {
    sqlite3_stmt* stmt;
    ~ResetOnExit() {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
};

} // namespace

SqliteReferenceDb::SqliteReferenceDb(SqliteHandle db) : db_(std::move(db)) {
    configure_reference_connection(db_.get());
    exec_sql(db_.get(), "PRAGMA query_only = 1");
    sqlite3_set_authorizer(db_.get(), query_authorizer, nullptr);
}

sqlite3_stmt* SqliteReferenceDb::statement(const std::string& sql) {
    if (const auto it = statements_.find(sql); it != statements_.end())
        return it->second.get();
    SqliteStatement stmt = prepare_sql(db_.get(), sql);
    if (statements_.size() >= kStatementCacheSize)
        statements_.clear();
    return statements_.emplace(sql, std::move(stmt)).first->second.get();
}

RecordSet SqliteReferenceDb::query(const JetQuery& query) {
    const std::lock_guard lock(mutex_);
    sqlite3_stmt* stmt = statement(query.sql());
    const ResetOnExit reset{stmt};

    const auto& params = query.parameters();
    if (sqlite3_bind_parameter_count(stmt) != static_cast<int>(params.size()))
        throw ReferenceDbError("The query's parameters do not match its text",
                               refdb_error::kSyntax);
    for (std::size_t i = 0; i < params.size(); ++i) {
        sqlite3_bind_text(stmt, static_cast<int>(i + 1), params[i].data(),
                          static_cast<int>(params[i].size()), SQLITE_STATIC);
    }

    RecordSet rs;
    const int ncols = sqlite3_column_count(stmt);
    for (int i = 0; i < ncols; ++i)
        rs.columns.emplace_back(sqlite3_column_name(stmt, i));
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        std::vector<std::string> row;
        row.reserve(static_cast<std::size_t>(ncols));
        for (int i = 0; i < ncols; ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            row.emplace_back(text ? text : "",
                             static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
        }
        rs.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        throw ReferenceDbError(sqlite3_errmsg(db_.get()), refdb_error_number(db_.get(), rc));
    return rs;
}

const ReferenceIndex* SqliteReferenceDb::index() {
    std::call_once(indexOnce_, [this] {
        try {
            auto index = std::make_unique<ReferenceIndex>();
            const RecordSet counties =
                query(JetQuery("SELECT Counties.FIPS, Counties.COUNTY FROM Counties;"));
            for (const auto& row : counties.rows)
                index->counties.try_emplace(lower(row.at(0)), row.at(1));
            const RecordSet equipment =
                query(JetQuery("SELECT [Equipment Types].SCC, [Equipment Types].EQUIP, "
                               "[Equipment Types].[Engine Type], "
                               "[Equipment Types].Classification FROM [Equipment Types];"));
            for (const auto& row : equipment.rows)
                index->equipment.try_emplace(
                    lower(row.at(0)),
                    ReferenceIndex::Equipment{row.at(0), row.at(1), row.at(2), row.at(3)});
            index_ = std::move(index);
        } catch (const ReferenceDbError&) {
            // Validation asks entry by entry, and reports what is wrong with the tables.
            index_.reset();
        }
    });
    return index_.get();
}

std::shared_ptr<SqliteReferenceDb> load_reference_db(const std::vector<TableSpec>& schema,
                                                     const TableReader& read) {
    SqliteHandle db =
        open_sqlite(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
    copy_reference_tables(db.get(), schema, read);
    return std::make_shared<SqliteReferenceDb>(std::move(db));
}

} // namespace kv
