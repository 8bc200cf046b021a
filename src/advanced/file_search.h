#pragma once

#include <filesystem>
#include <string_view>

namespace kv {

// The existence test of the advanced dialogs' OK: true when a directory search for the text
// as typed finds a file. A relative name is taken from `programDir` (the directory the
// dialogs leave current); either separator is accepted; a name not found as spelled is
// looked up once more without regard to case, component by component; a directory does not
// count, nor does a link that leads nowhere. An empty text counts as existing: a search for
// an empty pattern finds the first file of the current directory.
bool directory_search_finds(std::string_view text, const std::filesystem::path& programDir);

} // namespace kv
