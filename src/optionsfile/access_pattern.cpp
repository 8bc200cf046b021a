#include "optionsfile/access_pattern.h"

namespace kv {

namespace {

constexpr char32_t kInvalidByteBase = 0x110000;

char32_t fold(char32_t c) {
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

char32_t other_case(char32_t c) {
    if (c >= 'A' && c <= 'Z')
        return c + ('a' - 'A');
    if (c >= 'a' && c <= 'z')
        return c - ('a' - 'A');
    return c;
}

bool is_continuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

} // namespace

std::vector<char32_t> decode_utf8_strict(std::string_view text) {
    std::vector<char32_t> out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
            cp = b0 & 0x1F;
            minimum = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            cp = b0 & 0x0F;
            minimum = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            cp = b0 & 0x07;
            minimum = 0x10000;
        }
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            valid = is_continuation(b);
            cp = (cp << 6) | (b & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if (valid && cp >= minimum && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(cp);
            i += length;
        } else {
            out.push_back(kInvalidByteBase + b0);
            ++i;
        }
    }
    return out;
}

AccessPattern::AccessPattern(std::string_view pattern, std::optional<char32_t> escape)
    : source_(pattern), escape_(escape) {
    const std::vector<char32_t> cps = decode_utf8_strict(pattern);
    std::size_t i = 0;
    while (i < cps.size()) {
        const char32_t c = cps[i];
        Element e;
        if (escape_ && c == *escape_) {
            if (i + 1 >= cps.size())
                throw Error("Invalid pattern string: escape character at the end");
            e.literal = fold(cps[i + 1]);
            elements_.push_back(std::move(e));
            i += 2;
            continue;
        }
        switch (c) {
        case '#':
            e.kind = Kind::Digit;
            break;
        case '?':
            e.kind = Kind::AnyChar;
            break;
        case '*':
            // A run of stars is one star; keeping one keeps the matcher's backtracking short.
            if (!elements_.empty() && elements_.back().kind == Kind::AnyRun) {
                ++i;
                continue;
            }
            e.kind = Kind::AnyRun;
            break;
        case '[': {
            std::size_t j = i + 1;
            e.kind = Kind::Set;
            if (j < cps.size() && cps[j] == '!') {
                e.negated = true;
                ++j;
            }
            const std::size_t first = j;
            while (j < cps.size() && cps[j] != ']')
                ++j;
            if (j >= cps.size())
                throw Error("Invalid pattern string: \"[\" without \"]\"");
            const std::size_t last = j; // position of "]"
            if (first == last && !e.negated) {
                i = last + 1; // "[]" matches nothing, so it adds no element
                continue;
            }
            for (std::size_t k = first; k < last; ++k) {
                const char32_t low = cps[k];
                // "-" between two characters makes a range; first or last it is literal.
                if (k + 2 < last && cps[k + 1] == '-') {
                    const char32_t high = cps[k + 2];
                    if (high < low)
                        throw Error("Invalid pattern string: descending range");
                    e.ranges.emplace_back(low, high);
                    k += 2;
                } else {
                    e.ranges.emplace_back(low, low);
                }
            }
            i = last;
            break;
        }
        default:
            e.literal = fold(c);
            break;
        }
        elements_.push_back(std::move(e));
        ++i;
    }
}

bool AccessPattern::matchesOne(const Element& element, char32_t c) const {
    switch (element.kind) {
    case Kind::Literal:
        return fold(c) == element.literal;
    case Kind::AnyChar:
        return true;
    case Kind::Digit:
        return c >= '0' && c <= '9';
    case Kind::AnyRun:
        return false;
    case Kind::Set: {
        const char32_t alt = other_case(c);
        bool in = false;
        for (const auto& [low, high] : element.ranges) {
            if ((c >= low && c <= high) || (alt >= low && alt <= high)) {
                in = true;
                break;
            }
        }
        return in != element.negated;
    }
    }
    return false;
}

bool AccessPattern::matches(std::string_view text) const {
    const std::vector<char32_t> value = decode_utf8_strict(text);
    // Single-character elements and "*": the classic two-pointer match that returns to the
    // last star on a mismatch. Worst case is pattern length times value length.
    const std::size_t n = value.size();
    const std::size_t m = elements_.size();
    std::size_t p = 0;
    std::size_t v = 0;
    std::size_t starP = m; // none yet
    std::size_t starV = 0;
    while (v < n) {
        if (p < m && elements_[p].kind == Kind::AnyRun) {
            starP = p++;
            starV = v;
        } else if (p < m && matchesOne(elements_[p], value[v])) {
            ++p;
            ++v;
        } else if (starP != m) {
            p = starP + 1;
            v = ++starV;
        } else {
            return false;
        }
    }
    while (p < m && elements_[p].kind == Kind::AnyRun)
        ++p;
    return p == m;
}

} // namespace kv
