#include "shell/path_rules.h"

#include "shell/text.h"

namespace kv {

PathRules PathRules::native() {
#ifdef _WIN32
    return windows();
#else
    return posix();
#endif
}

bool PathRules::isAbsolute(std::string_view path) const {
    if (caseSensitive)
        return !path.empty() && path.front() == '/';
    return contains(path, ":") ||
           (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]));
}

std::string PathRules::join(std::string_view dir, std::string_view name) const {
    std::string out(dir);
    if (!out.empty() && isSeparator(out.back()))
        out.pop_back();
    out += separator;
    out += name;
    return out;
}

std::string PathRules::readPath(std::string_view value) const {
    return caseSensitive ? std::string(value) : upper(value);
}

std::string PathRules::writePath(std::string_view value) const {
    return caseSensitive ? std::string(value) : lower(value);
}

std::string PathRules::nativeSeparators(std::string_view path) const {
    std::string out(path);
    for (char& c : out) {
        if (isSeparator(c))
            c = separator;
    }
    return out;
}

} // namespace kv
