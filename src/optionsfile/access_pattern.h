#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

// A pattern of the Access Like operator, compiled once and matched against many values:
//
//   #       one digit 0-9
//   ?       one character
//   *       any run of characters, also none
//   [abc]   one character of the list; [a-z] a range; [!...] one character not in the list
//   []      nothing (matches the empty run)
//
// Inside brackets *, ?, # and [ stand for themselves, a "-" first or last in the list is
// literal, and "!" negates only right after "[" ("[!]" is any one character). A "]" outside
// brackets is literal.
// Matching ignores the case of ASCII letters, as the reference database's "=" (NOCASE) does,
// so a Like test and an equality test agree. Text is UTF-8: "?" takes one code point. Bytes
// that are not valid UTF-8 (overlong forms, stray continuation bytes, surrogates) are decoded
// one byte at a time into values outside Unicode, so they never pass as a digit, a letter or
// a member of a range: an overlong encoding of "7" does not match "#" or "[0-9]".
class AccessPattern {
public:
    class Error : public std::invalid_argument {
    public:
        using std::invalid_argument::invalid_argument;
    };

    // Throws AccessPattern::Error for an open "[" or a descending range such as "[z-a]".
    // With an escape character, the character after it stands for itself.
    explicit AccessPattern(std::string_view pattern, std::optional<char32_t> escape = std::nullopt);

    bool matches(std::string_view value) const;

    const std::string& source() const { return source_; }
    std::optional<char32_t> escape() const { return escape_; }

private:
    enum class Kind { Literal, AnyChar, Digit, AnyRun, Set };
    struct Element {
        Kind kind = Kind::Literal;
        char32_t literal = 0;                              // Kind::Literal, case-folded
        bool negated = false;                              // Kind::Set
        std::vector<std::pair<char32_t, char32_t>> ranges; // Kind::Set, inclusive
    };

    bool matchesOne(const Element& element, char32_t c) const;

    std::string source_;
    std::optional<char32_t> escape_;
    std::vector<Element> elements_;
};

// Strict UTF-8 decoding: each valid sequence yields its code point; each byte of an invalid
// sequence yields 0x110000 + the byte.
std::vector<char32_t> decode_utf8_strict(std::string_view text);

} // namespace kv
