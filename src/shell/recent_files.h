#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// The options files opened or saved last, newest first, for File > Recent Files. The list
// lives in a small file of its own (one full path a line), so kv-gui.ini keeps its six lines.
// Until it is given its file, the list is kept in memory only (kvopt, tests).
class RecentFiles {
public:
    static constexpr std::size_t kCapacity = 8;
    static constexpr std::string_view kFileName = "kv-gui-recent.txt";

    // Keeps the list in `file` from now on and loads what it holds.
    void keepIn(std::filesystem::path file);
    const std::filesystem::path& file() const { return file_; }

    // Newest first, at most kCapacity.
    const std::vector<std::string>& paths() const { return paths_; }

    // Puts the path at the top (moving it there when it is listed already) and stores the list.
    void add(const std::string& path);
    // Takes the path off the list and stores it.
    void remove(const std::string& path);

private:
    void load();
    void store() const;

    std::filesystem::path file_;
    std::vector<std::string> paths_;
};

} // namespace kv
