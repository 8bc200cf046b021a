#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace kv {

class UserInterface;

// The text after the last path separator ("\" or "/"), or the whole text.
std::string file_name_part(std::string_view path);
// The text before the last path separator, or the empty text.
std::string dir_part(std::string_view path);

// True when the part of the file name before its first "." has at most 8 characters (UTF-8;
// a byte that is not part of a valid sequence counts as one);
// otherwise shows "<part>\nFilename too long: Must be 8 characters max before period" and
// answers false.
bool check_83_name(std::string_view path, UserInterface& ui);

// Whether a dialog may close when the close would store values for which the check of its
// OK gives `failure` (nullopt: they pass, and it may). A failure asks "<failure>\n\nClose
// without keeping the changes?": Yes runs `discard`, after which the close stores nothing,
// and answers true; No answers false, and the dialog stays open.
bool may_close_storing(UserInterface& ui, const std::optional<std::string>& failure,
                       const std::function<void()>& discard);
inline constexpr std::string_view kCloseWithoutKeeping = "\n\nClose without keeping the changes?";

// Attribute masks of file_exists.
inline constexpr int kFilesOnly = 0;
inline constexpr int kDirectoriesToo = 16;

// True when the path names an existing file (or, with kDirectoriesToo, a directory). A path
// not found as spelled is looked up once more without regard to case, component by component.
bool file_exists(std::string_view path, int attributes = kFilesOnly);

// The path as it exists on disk: as spelled when it exists, else the first case-insensitive
// match of each component; empty when there is none.
std::string resolve_existing_path(std::string_view path);

// Directory and file name of a file-dialog choice: the file name is the dialog's title of
// the file, the directory the full path before that title, less the separator before it.
struct DirAndFile {
    std::string dir;
    std::string file;
};
DirAndFile split_dialog_path(std::string_view fullPath, std::string_view fileTitle);

// A fresh name "KVxxxx.TMP" that is unique in the temporary directory.
std::string temp_file_name();

} // namespace kv
