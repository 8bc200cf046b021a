#include "optionsfile/sqlite_support.h"

#include "optionsfile/access_pattern.h"
#include "optionsfile/reference_db.h"

#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

namespace kv {

namespace {

std::string_view text_of(sqlite3_value* v) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return {text ? text : "", static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

// like(PATTERN, VALUE [, ESCAPE]): SQLite passes the pattern first. NULL in, NULL out, so
// "x NOT LIKE p" leaves out rows whose x is NULL, as Jet does. No exception may leave this
// function: SQLite calls it from C.
void access_like(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
    }
    try {
        std::optional<char32_t> escape;
        if (argc == 3) {
            const auto cps = decode_utf8_strict(text_of(argv[2]));
            if (cps.size() != 1) {
                sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
                return;
            }
            escape = cps.front();
        }
        const std::string_view pattern = text_of(argv[0]);
        const std::string_view value = text_of(argv[1]);

        // The compiled pattern lives as the pattern argument's auxiliary data, so a statement
        // compiles its pattern once rather than once per row.
        const auto* cached = static_cast<const AccessPattern*>(sqlite3_get_auxdata(ctx, 0));
        if (cached && cached->escape() == escape && cached->source() == pattern) {
            sqlite3_result_int(ctx, cached->matches(value) ? 1 : 0);
            return;
        }
        auto compiled = std::make_unique<AccessPattern>(pattern, escape);
        sqlite3_result_int(ctx, compiled->matches(value) ? 1 : 0);
        // SQLite may run the destructor before set_auxdata returns: hand it over last.
        sqlite3_set_auxdata(ctx, 0, compiled.release(),
                            [](void* p) { delete static_cast<AccessPattern*>(p); });
    } catch (const AccessPattern::Error& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (...) {
        sqlite3_result_error(ctx, "like() failed", -1);
    }
}

bool starts_with(const char* text, std::string_view prefix) {
    return text && std::string_view(text).starts_with(prefix);
}

} // namespace

int refdb_error_number(sqlite3* db, int rc) {
    const char* msg = db ? sqlite3_errmsg(db) : nullptr;
    if (starts_with(msg, "no such table"))
        return refdb_error::kMissingTable;
    if (starts_with(msg, "no such column"))
        return refdb_error::kUnknownName;
    if (starts_with(msg, "not authorized"))
        return refdb_error::kReadOnly;
    switch (rc & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return refdb_error::kDamaged;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return refdb_error::kCannotOpen;
    case SQLITE_READONLY:
        return refdb_error::kReadOnly;
    case SQLITE_ERROR:
        return refdb_error::kSyntax;
    default:
        return refdb_error::kEngine;
    }
}

SqliteHandle open_sqlite(const std::string& path, int flags) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    SqliteHandle db(raw);
    if (rc != SQLITE_OK) {
        const std::string text = db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc);
        throw ReferenceDbError(
            "Cannot open the database (" + text + "): ", refdb_error_number(db.get(), rc), path);
    }
    sqlite3_extended_result_codes(db.get(), 1);
    return db;
}

void exec_sql(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        std::string text = error ? error : sqlite3_errstr(rc);
        sqlite3_free(error);
        throw ReferenceDbError(text, refdb_error_number(db, rc));
    }
}

SqliteStatement prepare_sql(sqlite3* db, std::string_view sql) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, &tail);
    SqliteStatement stmt(raw);
    if (rc != SQLITE_OK)
        throw ReferenceDbError(sqlite3_errmsg(db), refdb_error_number(db, rc));
    if (!stmt)
        throw ReferenceDbError("The query is empty", refdb_error::kSyntax);
    // A second statement after the first would be dropped without a word.
    for (const char* p = tail; p && p < sql.data() + sql.size(); ++p) {
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n' && *p != ';')
            throw ReferenceDbError("Characters found after end of SQL statement",
                                   refdb_error::kSyntax);
    }
    return stmt;
}

void configure_reference_connection(sqlite3* db) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    for (const int nargs : {2, 3}) {
        const int rc = sqlite3_create_function(db, "like", nargs, flags, nullptr, access_like,
                                               nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw ReferenceDbError(sqlite3_errmsg(db), refdb_error_number(db, rc));
    }
}

std::string quote_identifier(std::string_view name) {
    std::string out = "\"";
    for (const char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
    return out;
}

} // namespace kv
