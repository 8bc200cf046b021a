#pragma once

#include <string>
#include <string_view>

namespace kv {

// The one place where the platforms differ. Windows joins with "\" and ignores case, so
// path values are upper-cased when read and lower-cased when written, as the options file
// has always had them. On a case-sensitive file system the same rule would corrupt paths,
// so there they keep their case both ways; every other value is still upper-cased.
struct PathRules {
    char separator = '/';
    bool caseSensitive = true;

    static PathRules windows() { return {'\\', false}; }
    static PathRules posix() { return {'/', true}; }
    static PathRules native();

    // Either separator is accepted in text that names a path.
    static bool isSeparator(char c) { return c == '/' || c == '\\'; }

    // Windows: a drive letter (a colon) or a UNC prefix; POSIX: a leading "/".
    bool isAbsolute(std::string_view path) const;
    // A letter and a colon at the start: a Windows path, whatever the platform.
    static bool hasDriveLetter(std::string_view path) {
        return path.size() >= 2 && path[1] == ':' &&
               ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    }

    // dir + separator + name, without doubling a separator that dir already ends in.
    std::string join(std::string_view dir, std::string_view name) const;

    // The case a path value takes when read from an options file.
    std::string readPath(std::string_view value) const;
    // The case a path value takes when written into an options file.
    std::string writePath(std::string_view value) const;

    // Turns any separator into this platform's one.
    std::string nativeSeparators(std::string_view path) const;
};

} // namespace kv
