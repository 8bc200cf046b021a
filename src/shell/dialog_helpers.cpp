#include "shell/dialog_helpers.h"

#include "optionsfile/access_pattern.h"
#include "shell/path_rules.h"
#include "shell/ports.h"
#include "shell/session.h"
#include "shell/text.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kv {

namespace fs = std::filesystem;

namespace {

std::size_t last_separator(std::string_view path) {
    return path.find_last_of("\\/");
}

} // namespace

std::string file_name_part(std::string_view path) {
    const auto pos = last_separator(path);
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string dir_part(std::string_view path) {
    const auto pos = last_separator(path);
    return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos));
}

bool check_83_name(std::string_view path, UserInterface& ui) {
    const std::string name = file_name_part(path);
    const std::string base = name.substr(0, name.find('.'));
    // Names are UTF-8: the limit is on characters. A byte that does not decode as part of
    // a character counts as one.
    if (decode_utf8_strict(base).size() <= 8)
        return true;
    ui.showMessage(base + "\nFilename too long: Must be 8 characters max before period",
                   std::string(kAppTitle), MessageIcon::Exclamation);
    return false;
}

bool may_close_storing(UserInterface& ui, const std::optional<std::string>& failure,
                       const std::function<void()>& discard) {
    if (!failure)
        return true;
    if (!ui.askYesNo(*failure + std::string(kCloseWithoutKeeping), std::string(kAppTitle)))
        return false;
    discard();
    return true;
}

std::string resolve_existing_path(std::string_view path) {
    if (path.empty())
        return {};
    std::error_code ec;
    const fs::path spelled{std::string(path)};
    if (fs::exists(spelled, ec))
        return spelled.string();
#ifdef _WIN32
    return {};
#else
    // Match each component without regard to case where the exact spelling is missing, so a
    // data tree copied from Windows keeps working. The part that exists as spelled is found
    // from the end (usually only the last name is missing): a part exists only when every
    // part before it does.
    std::string text(path);
    for (char& c : text) {
        if (c == '\\')
            c = '/';
    }
    std::vector<fs::path> parts;
    for (const auto& part : fs::path(text).relative_path()) {
        if (!part.empty() && part != ".")
            parts.push_back(part);
    }
    const fs::path base = text.front() == '/' ? fs::path("/") : fs::path(".");
    const auto prefix = [&](std::size_t count) {
        fs::path p = base;
        for (std::size_t i = 0; i < count; ++i)
            p /= parts[i];
        return p;
    };
    // The whole path as spelled is known to be missing unless a "\\" was read as a separator.
    std::size_t exact = parts.size();
    if (exact > 0 && text == path)
        --exact;
    while (exact > 0 && !fs::exists(prefix(exact), ec))
        --exact;
    fs::path current = prefix(exact);
    for (std::size_t i = exact; i < parts.size(); ++i) {
        const std::string name = parts[i].string();
        fs::path candidate = current / parts[i];
        if (i > exact && fs::exists(candidate, ec)) {
            current = candidate;
            continue;
        }
        bool found = false;
        for (const auto& entry : fs::directory_iterator(current, ec)) {
            if (iequals(entry.path().filename().string(), name)) {
                current = entry.path();
                found = true;
                break;
            }
        }
        if (!found)
            return {};
    }
    if (text.front() != '/' && current.string().starts_with("./"))
        return current.string().substr(2);
    return current.string();
#endif
}

bool file_exists(std::string_view path, int attributes) {
    const std::string found = resolve_existing_path(path);
    if (found.empty())
        return false;
    std::error_code ec;
    if (fs::is_directory(found, ec))
        return (attributes & kDirectoriesToo) != 0;
    return true;
}

DirAndFile split_dialog_path(std::string_view fullPath, std::string_view fileTitle) {
    DirAndFile out;
    out.file = std::string(fileTitle);
    // The title ends the full path; taking its first occurrence instead would cut the path
    // short at a directory that happens to carry the same name as the file.
    auto pos = std::string_view::npos;
    if (!fileTitle.empty() && fullPath.size() > fileTitle.size() && fullPath.ends_with(fileTitle))
        pos = fullPath.size() - fileTitle.size();
    else if (!fileTitle.empty())
        pos = fullPath.find(fileTitle);
    if (pos == std::string_view::npos || pos == 0) {
        out.dir = dir_part(fullPath);
        return out;
    }
    out.dir = std::string(fullPath.substr(0, pos - 1));
    return out;
}

std::string temp_file_name() {
    std::error_code ec;
    fs::path dir = fs::temp_directory_path(ec);
    if (ec)
        dir = ".";
    std::random_device seed;
    std::mt19937 gen(seed());
    std::uniform_int_distribution<unsigned> pick(0, 0xFFFF);
    char name[16];
    for (int attempt = 0; attempt < 0x10000; ++attempt) {
        std::snprintf(name, sizeof name, "KV%04X.TMP", pick(gen));
        const fs::path candidate = dir / name;
#ifndef _WIN32
        // Claim the name in the temporary directory so that it is unique there, then give
        // the file back: the name is used in another directory.
        const int fd = ::open(candidate.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
        if (fd >= 0) {
            ::close(fd);
            fs::remove(candidate, ec);
            return name;
        }
        if (errno != EEXIST)
            return name;
#else
        if (!fs::exists(candidate, ec))
            return name;
#endif
    }
    return name;
}

} // namespace kv
