#include "optionsfile/reference_schema.h"

#include "optionsfile/sqlite_support.h"

namespace kv {

const std::vector<TableSpec>& reference_schema() {
    static const std::vector<TableSpec> schema = {
        {"Counties", {"FIPS", "COUNTY"}},
        {"Equipment Types", {"SCC", "EQUIP", "CLASSIFICATION", "Engine Type"}},
    };
    return schema;
}

namespace {

std::string create_statement(const TableSpec& spec) {
    std::string sql = "CREATE TABLE " + quote_identifier(spec.name) + " (";
    for (std::size_t i = 0; i < spec.columns.size(); ++i) {
        if (i > 0)
            sql += ", ";
        sql += quote_identifier(spec.columns[i]) + " TEXT NOT NULL COLLATE NOCASE";
        if (i == 0)
            sql += " PRIMARY KEY";
    }
    return sql + ")";
}

std::string insert_statement(const TableSpec& spec) {
    std::string sql = "INSERT OR IGNORE INTO " + quote_identifier(spec.name) + " VALUES (";
    for (std::size_t i = 0; i < spec.columns.size(); ++i)
        sql += i == 0 ? "?" : ", ?";
    return sql + ")";
}

CopiedTable copy_table(sqlite3* db, const TableSpec& spec, const RecordSet& source) {
    std::vector<std::size_t> positions;
    for (const auto& name : spec.columns) {
        const auto pos = source.column(name);
        if (!pos)
            throw ReferenceDbError("Column [" + name + "] of table [" + spec.name +
                                       "] not found in ",
                                   refdb_error::kMissingColumn);
        positions.push_back(*pos);
    }
    exec_sql(db, create_statement(spec));
    SqliteStatement insert = prepare_sql(db, insert_statement(spec));
    CopiedTable copied{spec.name, 0, 0};
    for (const auto& row : source.rows) {
        for (std::size_t i = 0; i < positions.size(); ++i) {
            const std::string& value = row.at(positions[i]);
            sqlite3_bind_text(insert.get(), static_cast<int>(i + 1), value.data(),
                              static_cast<int>(value.size()), SQLITE_STATIC);
        }
        const int rc = sqlite3_step(insert.get());
        if (rc != SQLITE_DONE)
            throw ReferenceDbError(sqlite3_errmsg(db), refdb_error_number(db, rc));
        if (sqlite3_changes(db) == 1)
            ++copied.rows;
        else
            ++copied.skipped;
        sqlite3_reset(insert.get());
    }
    return copied;
}

} // namespace

std::vector<CopiedTable> copy_reference_tables(sqlite3* db, const std::vector<TableSpec>& schema,
                                               const TableReader& read) {
    exec_sql(db, "BEGIN");
    try {
        std::vector<CopiedTable> copied;
        for (const auto& spec : schema)
            copied.push_back(copy_table(db, spec, read(spec.name)));
        exec_sql(db, "COMMIT");
        return copied;
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

RecordSet read_sqlite_table(sqlite3* db, const std::string& table) {
    SqliteStatement stmt;
    try {
        stmt = prepare_sql(db, "SELECT * FROM " + quote_identifier(table));
    } catch (const ReferenceDbError& e) {
        if (e.number() != refdb_error::kMissingTable)
            throw;
        throw ReferenceDbError("Table [" + table + "] not found in ", refdb_error::kMissingTable);
    }
    RecordSet rs;
    const int ncols = sqlite3_column_count(stmt.get());
    for (int i = 0; i < ncols; ++i)
        rs.columns.emplace_back(sqlite3_column_name(stmt.get(), i));
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        std::vector<std::string> row;
        row.reserve(static_cast<std::size_t>(ncols));
        for (int i = 0; i < ncols; ++i) {
            if (sqlite3_column_type(stmt.get(), i) == SQLITE_BLOB) {
                // As the Access reader gives binary values: upper-case hexadecimal.
                static constexpr char digits[] = "0123456789ABCDEF";
                const auto* data =
                    static_cast<const unsigned char*>(sqlite3_column_blob(stmt.get(), i));
                const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt.get(), i));
                std::string hex;
                for (std::size_t k = 0; k < size; ++k) {
                    hex += digits[data[k] >> 4];
                    hex += digits[data[k] & 0x0F];
                }
                row.push_back(std::move(hex));
                continue;
            }
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), i));
            row.emplace_back(text ? text : "",
                             static_cast<std::size_t>(sqlite3_column_bytes(stmt.get(), i)));
        }
        rs.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        throw ReferenceDbError(sqlite3_errmsg(db), refdb_error_number(db, rc));
    return rs;
}

} // namespace kv
