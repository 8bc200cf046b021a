#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

// A fresh directory removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // Writes a file (binary, creating directories) and answers its full path.
    std::string write(std::string_view relative, std::string_view content) const;

private:
    std::filesystem::path path_;
};

std::string read_file(const std::filesystem::path& path);

// The lines of a text, without their CR LF or LF ends.
std::vector<std::string> text_lines(const std::string& text);

} // namespace kv::test
