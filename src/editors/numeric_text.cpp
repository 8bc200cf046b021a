#include "editors/numeric_text.h"

#include <charconv>
#include <cstdlib>

namespace kv {

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The length of the number at the start of `text` (no blanks inside), 0 when there is none.
std::size_t number_length(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && is_digit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && is_digit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    // An exponent counts only when digits follow it.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < text.size() && is_digit(text[j])) {
            while (j < text.size() && is_digit(text[j]))
                ++j;
            i = j;
        }
    }
    return i;
}

double parse(std::string text) {
    for (char& c : text) {
        if (c == 'd' || c == 'D')
            c = 'e';
    }
    return std::strtod(text.c_str(), nullptr);
}

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

double leading_number(std::string_view text) {
    std::string packed;
    packed.reserve(text.size());
    for (char c : text) {
        if (!is_blank(c))
            packed += c;
    }
    const std::size_t length = number_length(packed);
    return length == 0 ? 0.0 : parse(packed.substr(0, length));
}

std::optional<double> whole_number(std::string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    const std::size_t length = number_length(text);
    if (length == 0 || length != text.size())
        return std::nullopt;
    return parse(std::string(text));
}

std::string shortest_decimal(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace kv
