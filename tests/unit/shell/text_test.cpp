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

} // namespace
} // namespace kv
