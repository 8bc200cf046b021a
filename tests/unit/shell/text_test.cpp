#include "shell/text.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(ColonValue, TakesTrimmedUpperCasedTextAfterFirstColon) {
    struct Case {
        const char* line;
        const char* value;
    };
    const Case cases[] = {
        {"Title 1            : My run", "MY RUN"},
        {"MESSAGE            : c:\\out\\a.msg", "C:\\OUT\\A.MSG"},
        {"no colon here  ", "NO COLON HERE"},
        {"Label:   ", ""},
        {"", ""},
        {"a:b:c", "B:C"},
        {"Caf\xC3\xA9 : na\xC3\xAFve", "NA\xC3\xAFVE"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(colon_value(c.line), c.value) << c.line;
}

TEST(EscapeControlCharacters, KeepsPrintableTextAndEscapesTheRest) {
    struct Case {
        std::string text;
        const char* shown;
    };
    const Case cases[] = {
        {"/runs/Caf\xC3\xA9 2.opt", "/runs/Caf\xC3\xA9 2.opt"},
        {"a\nb\rc\td", "a\\nb\\rc\\td"},
        {"\x1b[31mred\x7f", "\\x1b[31mred\\x7f"},
        {std::string("nul\0", 4), "nul\\x00"},
        {"csi\xC2\x9B"
         "2J",
         "csi\\u009b2J"},                       // U+009B, a C1 control
        {"caf\xE9.opt", "caf\\xe9.opt"},        // Latin-1, not UTF-8
        {"cut\xE2\x82", "cut\\xe2\\x82"},       // a sequence cut short
        {"C:\\runs\\a.opt", "C:\\runs\\a.opt"}, // a backslash stays
    };
    for (const auto& c : cases)
        EXPECT_EQ(escape_control_characters(c.text), c.shown) << c.shown;
}

} // namespace
} // namespace kv
