#include "shell/text.h"

#include <algorithm>
#include <cstdio>
#include <glib.h>

namespace kv {

namespace {

bool is_blank(char c) {
    return c == ' ';
}

char to_upper_ascii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
char to_lower_ascii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

} // namespace

std::string upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), to_upper_ascii);
    return out;
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), to_lower_ascii);
    return out;
}

namespace {

std::string_view without_leading_blanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i]))
        ++i;
    return text.substr(i);
}

std::string_view without_trailing_blanks(std::string_view text) {
    std::size_t n = text.size();
    while (n > 0 && is_blank(text[n - 1]))
        --n;
    return text.substr(0, n);
}

} // namespace

std::string trim_left(std::string_view text) {
    return std::string(without_leading_blanks(text));
}

std::string trim_right(std::string_view text) {
    return std::string(without_trailing_blanks(text));
}

std::string trim(std::string_view text) {
    return std::string(without_trailing_blanks(without_leading_blanks(text)));
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (to_upper_ascii(a[i]) != to_upper_ascii(b[i]))
            return false;
    }
    return true;
}

std::string mid(std::string_view text, std::size_t start1, std::size_t count) {
    if (start1 == 0 || start1 > text.size())
        return {};
    return std::string(text.substr(start1 - 1, count));
}

std::string escape_control_characters(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto escape = [&out](const char* format, unsigned value) {
        char buf[8];
        std::snprintf(buf, sizeof buf, format, value);
        out += buf;
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            out += text[i++];
            continue;
        }
        if (byte < 0x80) {
            const char* named = byte == '\n'   ? "\\n"
                                : byte == '\r' ? "\\r"
                                : byte == '\t' ? "\\t"
                                               : nullptr;
            if (named != nullptr)
                out += named;
            else
                escape("\\x%02x", byte);
            ++i;
            continue;
        }
        const gunichar c =
            g_utf8_get_char_validated(text.data() + i, static_cast<gssize>(text.size() - i));
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            escape("\\x%02x", byte);
            ++i;
            continue;
        }
        const auto length = static_cast<std::size_t>(g_unichar_to_utf8(c, nullptr));
        if (c < 0xA0)
            escape("\\u%04x", c); // a C1 control: some terminals obey it
        else
            out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

std::string colon_value_keep_case(std::string_view line) {
    const auto colon = line.find(':');
    if (colon == std::string_view::npos)
        return trim(line);
    return trim(line.substr(colon + 1));
}

std::string colon_value(std::string_view line) {
    // One string made, not three: the reader asks this of every line of a region list.
    const auto colon = line.find(':');
    const std::string_view value = colon == std::string_view::npos ? line : line.substr(colon + 1);
    return upper(without_trailing_blanks(without_leading_blanks(value)));
}

bool holds_line_break(std::string_view text) {
    return find_line_break(text) != std::string_view::npos;
}

std::size_t find_line_break(std::string_view text, std::size_t from) {
    // A plain scan: find_first_of looks each character up in the set, and the reader and
    // writer ask this of every line.
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n')
            return i;
    }
    return std::string_view::npos;
}

std::string without_line_breaks(std::string text) {
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
    return text;
}

std::string quoted_showing_line_breaks(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out + "\"";
}

} // namespace kv
