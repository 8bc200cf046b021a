#include "advanced/file_search.h"

#include "shell/dialog_helpers.h"
#include "shell/path_rules.h"

#include <system_error>

namespace kv {

namespace fs = std::filesystem;

bool directory_search_finds(std::string_view text, const fs::path& programDir) {
    if (text.empty())
        return true;
    // A name ending in a separator names a folder, never a file.
    if (PathRules::isSeparator(text.back()))
        return false;
    // The file system's own rules decide what is absolute: an absolute name replaces the
    // program's directory, a relative one is appended to it.
    const fs::path spelled{PathRules::native().nativeSeparators(text)};
    const std::string found = resolve_existing_path((programDir / spelled).string());
    if (found.empty())
        return false;
    std::error_code ec;
    const fs::file_status status = fs::status(found, ec);
    return fs::exists(status) && !fs::is_directory(status);
}

} // namespace kv
