#include "shell/dialog_filters.h"

#include "shell/text.h"

#include <algorithm>

namespace kv {

namespace {

std::vector<std::string> split(std::string_view text, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto pos = text.find(sep, start);
        parts.emplace_back(text.substr(start, pos - start));
        if (pos == std::string_view::npos)
            return parts;
        start = pos + 1;
    }
}

// The description without a trailing "(...)" that merely repeats the patterns.
std::string bare_description(const std::string& description) {
    std::string d = trim(description);
    if (!d.empty() && d.back() == ')') {
        const auto open = d.rfind('(');
        if (open != std::string::npos)
            d = trim(d.substr(0, open));
    }
    return d;
}

} // namespace

std::vector<FilterEntry> dialog_filters(std::string_view filter, const PathRules& rules) {
    std::vector<FilterEntry> out;
    const auto parts = split(filter, '|');
    bool asksForPrograms = false;
    bool hasAll = false;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        FilterEntry entry;
        entry.description = bare_description(parts[i]);
        for (const auto& raw : split(parts[i + 1], ';')) {
            const std::string p = trim(raw);
            if (p.empty())
                continue;
            if (iequals(p, "*.exe"))
                asksForPrograms = true;
            if (rules.caseSensitive && p == "*.*") {
                entry.patterns.push_back("*");
                continue;
            }
            entry.patterns.push_back(p);
            if (rules.caseSensitive && p.starts_with("*.") && upper(p) != p)
                entry.patterns.push_back(upper(p));
        }
        if (std::find(entry.patterns.begin(), entry.patterns.end(), "*") != entry.patterns.end())
            hasAll = true;
        out.push_back(std::move(entry));
    }
    if (rules.caseSensitive && asksForPrograms && !hasAll)
        out.push_back({"All files", {"*"}});
    return out;
}

} // namespace kv
