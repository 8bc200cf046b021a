#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "optionsfile/jet_query.h"

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

// A failure of the reference database: the engine's text and its error number.
class ReferenceDbError : public std::runtime_error {
public:
    ReferenceDbError(std::string text, int number)
        : std::runtime_error(std::move(text)), number_(number) {}
    int number() const { return number_; }

private:
    int number_;
};

// The reference database: tables `Counties` and `Equipment Types`, read-only.
class ReferenceDb {
public:
    virtual ~ReferenceDb() = default;
    // Runs one query; throws ReferenceDbError.
    virtual RecordSet query(const JetQuery& query) = 0;
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
