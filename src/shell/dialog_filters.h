#pragma once

#include "shell/path_rules.h"

#include <string>
#include <string_view>
#include <vector>

namespace kv {

// One entry of a file dialog's list of file types.
struct FilterEntry {
    std::string description; // without the patterns in parentheses
    std::vector<std::string> patterns;
};

// The entries of a filter in the classic form "description|pattern|description|pattern"
// (patterns of one entry separated by ";"), as a dialog of this platform should offer them.
// On a case-sensitive file system "*.*" becomes "*" (names without a dot are files too), each
// "*.ext" also matches "*.EXT", and a list that asks for programs ("*.exe") also offers
// "All files" ("*"), since programs there have no extension.
std::vector<FilterEntry> dialog_filters(std::string_view filter, const PathRules& rules);

} // namespace kv
