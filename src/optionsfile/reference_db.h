#pragma once

#include "optionsfile/jet_query.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kv {

// The rows a query returned. Every value is text; NULL arrives as an empty text.
struct RecordSet {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;

    bool empty() const { return rows.empty(); }
    std::size_t size() const { return rows.size(); }
    // Position of a column, compared without regard to case.
    std::optional<std::size_t> column(std::string_view name) const;
    // The value of a named column in a row; throws ReferenceDbError (3265, "Item not found
    // in this collection.") for an unknown column.
    const std::string& value(std::size_t row, std::string_view column) const;
};

// A failure of the reference database: the engine's text and its error number (Jet's numbers
// where Jet has one: 3024 file not found, 3049 damaged or truncated file, 3051 cannot open
// (permission, a directory), 3343 not a database, 3078 missing table, 3265 missing column,
// 3061 unknown name in a query, 3075 query syntax or Like pattern, 3027 a query that would
// write, 3000 anything else). Errors about a file carry its path separately; their text is
// written to read well with the path right after it ("Could not find file " + path), which
// is how the open failure message is built.
class ReferenceDbError : public std::runtime_error {
public:
    ReferenceDbError(std::string text, int number)
        : std::runtime_error(std::move(text)), number_(number) {}
    ReferenceDbError(std::string text, int number, std::string path)
        : std::runtime_error(std::move(text)), number_(number), path_(std::move(path)) {}
    int number() const { return number_; }
    // The file the error is about; empty for a query error.
    const std::string& path() const { return path_; }
    // The text followed by the path, for a log line or a command-line message.
    std::string describe() const { return what() + path_; }

private:
    int number_;
    std::string path_;
};

// The two tables as validation looks entries up in them: by FIPS code and by SCC, each key
// in ASCII lower case (the tables compare without regard to it), the first row of a key kept,
// as a query's first row would be.
struct ReferenceIndex {
    struct Equipment {
        std::string scc, equip, engineType, classification;
    };
    std::unordered_map<std::string, std::string> counties; // the COUNTY of each FIPS
    std::unordered_map<std::string, Equipment> equipment;

    const std::string* county(std::string_view fips) const;
    const Equipment* equipmentOf(std::string_view scc) const;
};

// The reference database: tables `Counties` and `Equipment Types`, read-only.
class ReferenceDb {
public:
    virtual ~ReferenceDb() = default;
    // Runs one query; throws ReferenceDbError.
    virtual RecordSet query(const JetQuery& query) = 0;
    // The index of the two tables, made at the first call and kept with the database (so once
    // per process while the file is unchanged); nullptr when this database has none, and
    // validation then looks each entry up with a query.
    virtual const ReferenceIndex* index() { return nullptr; }
};

// Opens the reference database of a model directory. An implementation may keep what it
// loaded for the life of the process, as long as a changed file is loaded again.
class ReferenceDbOpener {
public:
    virtual ~ReferenceDbOpener() = default;
    // Throws ReferenceDbError when the file cannot be opened.
    virtual std::shared_ptr<ReferenceDb> open(const std::string& path) = 0;
};

// The file the program tries for a model directory: reports/reports.mdb when it exists,
// else reports/reports.sqlite when that exists, else reports/reports.mdb.
std::string reference_db_path(const std::string& modeldir, char separator);

// Opens Access (.mdb, through mdbtools) and SQLite files, caching by path, size and time.
std::unique_ptr<ReferenceDbOpener> make_reference_db_opener();

} // namespace kv
