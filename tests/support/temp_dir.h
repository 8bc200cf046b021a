#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kv::test {

// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of a file in the directory (not created).
    std::string file(std::string_view name) const;
    // Writes bytes to a file in the directory, creating its folders; returns its path.
    std::string write(std::string_view name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

// The whole content of a file; empty when it cannot be read.
std::string read_file(const std::filesystem::path& path);

} // namespace kv::test
