#include "shell/recent_files.h"

#include "optionsfile/reader.h"
#include "shell/file_locations.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace kv {

namespace fs = std::filesystem;

void RecentFiles::keepIn(fs::path file) {
    file_ = std::move(file);
    load();
}

void RecentFiles::load() {
    paths_.clear();
    std::ifstream in(file_, std::ios::binary);
    std::string line;
    while (paths_.size() < kCapacity && read_line(in, line)) {
        if (!line.empty() && std::find(paths_.begin(), paths_.end(), line) == paths_.end())
            paths_.push_back(line);
    }
}

void RecentFiles::add(const std::string& path) {
    // A name with a line break cannot be kept in a list of lines.
    if (path.empty() || path.find_first_of("\r\n") != std::string::npos)
        return;
    // Another copy of the program may have changed the list meanwhile.
    if (!file_.empty())
        load();
    std::erase(paths_, path);
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > kCapacity)
        paths_.resize(kCapacity);
    store();
}

void RecentFiles::remove(const std::string& path) {
    if (!file_.empty())
        load();
    std::erase(paths_, path);
    store();
}

void RecentFiles::store() const {
    if (file_.empty())
        return;
    // Written beside the list and renamed over it, so a reader never sees half a list. The
    // list is a convenience: a failure to keep it is not reported.
    std::error_code ec;
    make_private_directories(file_.parent_path());
    const fs::path temporary = file_.string() + ".new";
    create_private_file(temporary);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        for (const auto& path : paths_)
            out << path << '\n';
        out.close();
        if (!out) {
            fs::remove(temporary, ec);
            return;
        }
    }
    fs::rename(temporary, file_, ec);
    if (ec)
        fs::remove(temporary, ec);
}

} // namespace kv
