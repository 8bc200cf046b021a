#include "optionsfile/access_pattern.h"
#include "optionsfile/csv.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace kv {
namespace {

struct MatchCase {
    const char* pattern;
    const char* value;
    bool matches;
};

void expect_cases(const std::vector<MatchCase>& cases) {
    for (const auto& c : cases) {
        EXPECT_EQ(AccessPattern(c.pattern).matches(c.value), c.matches)
            << "pattern <" << c.pattern << "> value <" << c.value << ">";
    }
}

TEST(AccessPattern, WildcardsTakeOneCharacterOrAnyRun) {
    expect_cases({
        {"#", "7", true},
        {"#", "a", false},
        {"#", "", false},
        {"#", "77", false},
        {"##7##", "22701", true},
        {"?", "x", true},
        {"?", "", false},
        {"?", "\xC3\xA9", true}, // é is one character
        {"??", "\xC3\xA9", false},
        {"?", "\xF0\x9F\x98\x80", true}, // so is a character outside the BMP
        {"*", "", true},
        {"*", "anything", true},
        {"a*", "a", true},
        {"*b", "aab", true},
        {"a*b*c", "axxbyyc", true},
        {"a*b*c", "axxbyy", false},
        {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
        {"**x", "x", true},
        {"The State*", "The State of Ohio", true},
        {"The State*", "Autauga County", false},
        {"a]", "a]", true}, // "]" outside brackets is an ordinary character
    });
}

TEST(AccessPattern, BracketsListRangesAndNegations) {
    expect_cases({
        {"[abc]", "b", true},
        {"[abc]", "d", false},
        {"[a-c]", "c", true},
        {"[a-c]", "d", false},
        {"[0-1][0-5]0##", "15012", true},
        {"[0-1][0-5]0##", "16012", false},
        {"[!8]", "7", true},
        {"[!8]", "8", false},
        {"[!8]", "", false},
        {"[!7-8]", "6", true},
        {"[!7-8]", "7", false},
        {"[!7-8]", "8", false},
        {"[!7-8]", "9", true},
        {"[!]", "x", true}, // an empty negated list: any one character
        {"[]", "", true},   // an empty list matches nothing at all
        {"a[]b", "ab", true},
        {"[-a]", "-", true},
        {"[a-]", "-", true},
        {"[a-]", "b", false},
        {"[*]", "*", true},
        {"[*]", "a", false},
        {"[?]", "?", true},
        {"[?]", "a", false},
        {"[#]", "#", true},
        {"[#]", "1", false},
        {"[[]", "[", true},
        {"[!!]", "!", false},
        {"[a!]", "!", true},                       // "!" negates only right after "["
        {"[\xC3\xA0-\xC3\xBF]", "\xC3\xA9", true}, // ranges compare code points
    });
}

TEST(AccessPattern, IgnoresTheCaseOfAsciiLetters) {
    expect_cases({
        {"ABC", "abc", true},
        {"abc", "ABC", true},
        {"[a-c]", "B", true},
        {"[A-C]", "b", true},
        {"[!x]", "X", false},
        {"[!a-b]", "B", false},
        {"the state*", "The State of Ohio", true},
        {"\xC3\x89", "\xC3\xA9", false}, // É and é: only ASCII folds, as "=" does
    });
}

TEST(AccessPattern, InvalidUtf8NeverPassesForADigitOrARangeMember) {
    expect_cases({
        {"#", "\xC0\xB0", false},     // overlong "0"
        {"#", "\xE0\x80\xB5", false}, // overlong "5"
        {"[0-9]", "\xC0\xB5", false},
        {"[!a]", "\xC0\xB5", false}, // two bytes are two characters
        {"??", "\xC0\xB0", true},
        {"???", "\xED\xA0\x80", true}, // an encoded surrogate: three invalid bytes
        {"?", "\x80", true},           // a stray continuation byte
        {"?", "\xF5\x80\x80\x80", false},
        {"a\xFF", "a\xFF", true}, // the same byte in pattern and value
        {"a\xFF", "a\xFE", false},
        {"#", "\xEF\xBC\x91", false}, // a full-width digit is not a digit
    });
}

TEST(AccessPattern, RejectsMalformedPatterns) {
    for (const char* bad : {"[abc", "a[", "[z-a]", "[9-0]", "[!"})
        EXPECT_THROW(AccessPattern{bad}, AccessPattern::Error) << bad;
}

TEST(AccessPattern, EscapeCharacterMakesTheNextCharacterLiteral) {
    const AccessPattern p("a\\*b\\\\", U'\\');
    EXPECT_TRUE(p.matches("a*b\\"));
    EXPECT_FALSE(p.matches("axb\\"));
    EXPECT_THROW(AccessPattern("ab\\", U'\\'), AccessPattern::Error);
}

// The row counts of the Sources dialog's patterns over the demo's equipment types.
TEST(AccessPattern, DemoEquipmentPatternCounts) {
    const CsvTable csv = read_csv_file(KV_SOURCE_DIR "/demo/equipment_types.csv");
    const auto scc = csv.data.column("SCC");
    ASSERT_TRUE(scc);
    ASSERT_EQ(csv.data.rows.size(), 273u);
    const struct {
        const char* pattern;
        std::size_t rows;
    } expected[] = {
        {"##[!8]##01000", 4}, {"##7##01000", 1},      {"##[!7-8]##01000", 3}, {"##[!8]##01###", 17},
        {"##7##01###", 2},    {"##[!8]#######", 262}, {"22850#####", 4},      {"22820#####", 7},
        {"2285002015", 1},    {"228500[3-8]015", 2},  {"##[!8]##00000", 5},   {"2282######", 7},
    };
    for (const auto& e : expected) {
        const AccessPattern p(e.pattern);
        const auto n = std::count_if(csv.data.rows.begin(), csv.data.rows.end(),
                                     [&](const auto& row) { return p.matches(row[*scc]); });
        EXPECT_EQ(static_cast<std::size_t>(n), e.rows) << e.pattern;
    }
}

} // namespace
} // namespace kv
