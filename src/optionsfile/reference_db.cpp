#include "optionsfile/reference_db.h"

#include "optionsfile/reference_files.h"
#include "shell/dialog_helpers.h"
#include "shell/text.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>

namespace kv {

namespace fs = std::filesystem;

std::optional<std::size_t> RecordSet::column(std::string_view name) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (iequals(columns[i], name))
            return i;
    }
    return std::nullopt;
}

const std::string& RecordSet::value(std::size_t row, std::string_view name) const {
    const auto col = column(name);
    if (!col)
        throw ReferenceDbError("Item not found in this collection.", 3265);
    return rows.at(row).at(*col);
}

const std::string* ReferenceIndex::county(std::string_view fips) const {
    const auto it = counties.find(lower(fips));
    return it == counties.end() ? nullptr : &it->second;
}

const ReferenceIndex::Equipment* ReferenceIndex::equipmentOf(std::string_view scc) const {
    const auto it = equipment.find(lower(scc));
    return it == equipment.end() ? nullptr : &it->second;
}

namespace {

// The path as it exists on disk when it names a file, also when its case differs (a
// REPORTS\REPORTS.MDB copied from Windows); empty otherwise.
std::string existing_file(const std::string& path) {
    const std::string found = resolve_existing_path(path);
    std::error_code ec;
    if (found.empty() || fs::is_directory(found, ec))
        return {};
    return found;
}

// What tells that a file changed: size and modification time, read before the file is
// loaded, so a change during the load is still seen at the next open.
struct FileStamp {
    std::uintmax_t size = 0;
    fs::file_time_type modified;
    bool operator==(const FileStamp&) const = default;
};

// Keeps each loaded file for the life of the opener and loads it again only when its size
// or modification time changed. A failed load is not kept: the next open tries again.
class CachingReferenceDbOpener : public ReferenceDbOpener {
public:
    std::shared_ptr<ReferenceDb> open(const std::string& path) override {
        std::string actual = existing_file(path);
        if (actual.empty())
            actual = path; // the loader reports what is wrong with it, under the given name
        std::error_code sizeError;
        std::error_code timeError;
        const FileStamp stamp{fs::file_size(actual, sizeError),
                              fs::last_write_time(actual, timeError)};

        const std::lock_guard lock(mutex_);
        if (sizeError || timeError) {
            cache_.erase(actual);
            return load_reference_file(actual); // throws: missing, a directory, ...
        }
        if (const auto it = cache_.find(actual); it != cache_.end() && it->second.stamp == stamp)
            return it->second.db;
        cache_.erase(actual);
        auto db = load_reference_file(actual);
        cache_[actual] = Entry{stamp, db};
        return db;
    }

private:
    struct Entry {
        FileStamp stamp;
        std::shared_ptr<ReferenceDb> db;
    };
    std::mutex mutex_;
    std::map<std::string, Entry> cache_;
};

} // namespace

std::string reference_db_path(const std::string& modeldir, char separator) {
    std::string dir = modeldir;
    if (dir.empty() || (dir.back() != '/' && dir.back() != '\\'))
        dir += separator;
    dir += "reports";
    dir += separator;
    for (const char* name : {"reports.mdb", "reports.sqlite"}) {
        if (std::string found = existing_file(dir + name); !found.empty())
            return found;
    }
    return dir + "reports.mdb";
}

std::unique_ptr<ReferenceDbOpener> make_reference_db_opener() {
    return std::make_unique<CachingReferenceDbOpener>();
}

} // namespace kv
