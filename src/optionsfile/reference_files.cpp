#include "optionsfile/reference_files.h"

#include "optionsfile/csv.h"
#include "optionsfile/jet_file.h"
#include "optionsfile/sqlite_reference_db.h"
#include "optionsfile/sqlite_support.h"
#include "shell/text.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>

namespace kv {

namespace fs = std::filesystem;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// An error raised while reading a file, given the file's path. Texts meant to be followed
// by a path end in a blank or ": "; an engine's own text is put in parentheses after a
// phrase that says what kind of trouble it is.
ReferenceDbError with_path(const ReferenceDbError& e, const std::string& path) {
    if (!e.path().empty())
        return e;
    std::string text = e.what();
    if (!text.ends_with(' ')) {
        switch (e.number()) {
        case refdb_error::kDamaged:
            text = "Damaged or truncated database (" + text + "): ";
            break;
        case refdb_error::kCannotOpen:
            text = "Cannot open the database (" + text + "): ";
            break;
        default:
            text = "Cannot read the database (" + text + "): ";
            break;
        }
    }
    return ReferenceDbError(text, e.number(), path);
}

template <typename Fn> auto attach_path(const std::string& path, Fn fn) -> decltype(fn()) {
    try {
        return fn();
    } catch (const ReferenceDbError& e) {
        throw with_path(e, path);
    }
}

} // namespace

DatabaseKind detect_database_kind(const std::string& path) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (!fs::exists(status))
        throw ReferenceDbError("Could not find file ", refdb_error::kNotFound, path);
    if (fs::is_directory(status))
        throw ReferenceDbError("Cannot open a directory as a database: ", refdb_error::kCannotOpen,
                               path);
    errno = 0;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        if (errno == EACCES || errno == EPERM)
            throw ReferenceDbError("No permission to read ", refdb_error::kCannotOpen, path);
        throw ReferenceDbError("Cannot open ", refdb_error::kCannotOpen, path);
    }
    std::string header(32, '\0');
    header.resize(std::fread(header.data(), 1, header.size(), file.get()));
    if (header.empty())
        throw ReferenceDbError("Empty file, not a database: ", refdb_error::kNotADatabase, path);
    if (header.starts_with(std::string_view("SQLite format 3\0", 16)))
        return DatabaseKind::Sqlite;
    if (has_jet_signature(header))
        return DatabaseKind::Access;
    throw ReferenceDbError("Not an Access or SQLite database: ", refdb_error::kNotADatabase, path);
}

struct DatabaseFile::Impl {
    std::string path;
    DatabaseKind kind = DatabaseKind::Sqlite;
    std::optional<JetFile> jet;
    SqliteHandle sqlite;
};

DatabaseFile::DatabaseFile(const std::string& path) : impl_(std::make_unique<Impl>()) {
    impl_->path = path;
    impl_->kind = detect_database_kind(path);
    attach_path(path, [&] {
        if (impl_->kind == DatabaseKind::Access) {
            impl_->jet.emplace(path);
        } else {
            impl_->sqlite = open_sqlite(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
            // SQLite reads the header only when asked something; ask now so a damaged file
            // is reported as such rather than as a missing table.
            exec_sql(impl_->sqlite.get(), "SELECT count(*) FROM sqlite_schema");
        }
        return 0;
    });
}

DatabaseFile::~DatabaseFile() = default;

DatabaseKind DatabaseFile::kind() const {
    return impl_->kind;
}

std::vector<std::string> DatabaseFile::tableNames() const {
    return attach_path(impl_->path, [&] {
        if (impl_->jet)
            return impl_->jet->tableNames();
        std::vector<std::string> names;
        SqliteStatement stmt =
            prepare_sql(impl_->sqlite.get(), "SELECT name FROM sqlite_schema WHERE type = "
                                             "'table' AND name NOT LIKE 'sqlite_%' ORDER BY rowid");
        while (sqlite3_step(stmt.get()) == SQLITE_ROW)
            names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0)));
        return names;
    });
}

RecordSet DatabaseFile::readTable(const std::string& table) const {
    return attach_path(impl_->path, [&] {
        return impl_->jet ? impl_->jet->readTable(table)
                          : read_sqlite_table(impl_->sqlite.get(), table);
    });
}

std::shared_ptr<ReferenceDb> load_reference_file(const std::string& path) {
    const DatabaseFile file(path);
    return attach_path(path, [&] {
        return load_reference_db(reference_schema(),
                                 [&](const std::string& table) { return file.readTable(table); });
    });
}

std::vector<CopiedTable> write_reference_sqlite(const std::string& out, const TableReader& read,
                                                const std::vector<TableSpec>& schema) {
    std::random_device entropy;
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".tmp-%08x", entropy());
    const std::string temp = out + suffix;
    try {
        std::vector<CopiedTable> copied;
        {
            SqliteHandle db =
                open_sqlite(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
            // A fresh file that is renamed into place only when complete needs no journal.
            exec_sql(db.get(), "PRAGMA journal_mode = OFF");
            copied = copy_reference_tables(db.get(), schema, read);
        } // closed (and synced by the commit) before it is renamed
        fs::rename(temp, out);
        return copied;
    } catch (...) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw;
    }
}

std::vector<CopiedTable> import_reference_db(const std::string& in, const std::string& out) {
    const DatabaseFile file(in);
    return attach_path(in, [&] {
        return write_reference_sqlite(
            out, [&](const std::string& table) { return file.readTable(table); });
    });
}

std::vector<CopiedTable> reference_db_from_csv(const std::string& countiesCsv,
                                               const std::string& equipmentCsv,
                                               const std::string& out) {
    const auto& schema = reference_schema();
    const auto read = [&](const std::string& table) {
        const bool counties = table == schema[0].name;
        const std::string& path = counties ? countiesCsv : equipmentCsv;
        const std::string& keyName = (counties ? schema[0] : schema[1]).columns.front();
        CsvTable csv;
        try {
            csv = read_csv_file(path);
        } catch (const CsvError& e) {
            throw std::runtime_error(path + ", " + e.what());
        }
        const auto key = csv.data.column(keyName);
        if (!key)
            throw std::runtime_error(path + ", line 1: no column " + keyName + " in the header");
        std::set<std::string> seen;
        for (std::size_t r = 0; r < csv.data.rows.size(); ++r) {
            const std::string& value = csv.data.rows[r][*key];
            const std::string where = path + ", line " + std::to_string(csv.lines[r]) + ": ";
            if (value.empty())
                throw std::runtime_error(where + "empty " + keyName);
            if (!seen.insert(upper(value)).second)
                throw std::runtime_error(where + "repeated " + keyName + " " + value);
        }
        return std::move(csv.data);
    };
    return write_reference_sqlite(out, read);
}

} // namespace kv
