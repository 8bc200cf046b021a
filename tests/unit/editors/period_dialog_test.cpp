#include "editors/period_dialog.h"
#include "optionsfile/writer.h"
#include "support/options_text.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>
#include <sstream>
#include <tuple>

namespace kv::test {
namespace {

using P = PeriodDialog;

class PeriodDialogTest : public SessionTest {
protected:
    PeriodDialogTest() {
        sc().periodindex = 1;
        sc().ptypeindex = 0;
        sc().seasonindex = 3;
        sc().monthindex = 6;
        sc().weekindex = 1;
        sc().yearstr = "2026";
    }
    PeriodDialog dialog{*session};
};

TEST_F(PeriodDialogTest, YearsAreCheckedAgainstTheRangeAfterRounding) {
    const std::string numeric = "Tech year must be numeric and in the range 1970-2050.";
    const auto outside = [](const std::string& number) {
        return "Tech year " + number + " is outside allowed range 1970-2050.";
    };
    const std::tuple<std::string, bool, std::string> cases[] = {
        {"  ", false, numeric},
        {"  ", true, ""},
        {"1970", false, ""},
        {" 2050 ", false, ""},
        {"1969", false, outside("1969")},
        {"2051", true, outside("2051")},
        {"2000.4", false, ""},
        {"2050.5", false, ""}, // a half goes to the even neighbour
        {"2051.5", false, outside("2052")},
        {"20x6", false, numeric},
        {"2,000", false, numeric},
        // Beyond 16 bits the number is named as typed.
        {" 99999 ", false, outside("99999")},
        {"32767.5", false, outside("32767.5")},
    };
    for (const auto& [text, allowBlank, message] : cases) {
        ui.messages.clear();
        EXPECT_EQ(dialog.yearok(text, "Tech", allowBlank), message.empty()) << text;
        EXPECT_EQ(
            ui.messages,
            (message.empty()
                 ? std::vector<ScriptedUserInterface::Message>{}
                 : std::vector<ScriptedUserInterface::Message>{{message, "", MessageIcon::None}}))
            << text;
    }
}

TEST_F(PeriodDialogTest, OkChecksTheYearsInOrderAndStoresThemAsTyped) {
    const std::pair<std::array<std::string, 3>, std::string> cases[] = {
        {{"", "", ""}, "Episode year must be numeric and in the range 1970-2050."},
        {{"1990", "1969", "abc"}, "Growth year 1969 is outside allowed range 1970-2050."},
        {{" 2000.4 ", "", ""}, ""},
    };
    for (const auto& [years, message] : cases) {
        ui.messages.clear();
        dialog.load();
        for (std::size_t i = 0; i < 3; ++i)
            dialog.setYear(static_cast<P::YearField>(i), years[i]);
        EXPECT_EQ(dialog.ok(), message.empty());
        EXPECT_EQ(ui.messageTexts(),
                  message.empty() ? std::vector<std::string>{} : std::vector<std::string>{message});
        // A refused OK copies nothing; the field keeps its text.
        EXPECT_EQ(sc().yearstr, message.empty() ? " 2000.4 " : "2026");
        EXPECT_EQ(dialog.year(P::Year), years[0]);
    }
}

TEST_F(PeriodDialogTest, ThePeriodAndTypeEnableTheButtonsTheyUse) {
    struct Case {
        int period, type;
        bool seasons, months, days;
    };
    const Case cases[] = {
        {0, 0, false, false, true},  {1, 0, false, true, true},  {2, 0, true, false, true},
        {0, 1, false, false, false}, {1, 1, false, true, false}, {2, 1, true, false, false},
    };
    dialog.load();
    for (const Case& c : cases) {
        dialog.click(P::thePeriod, c.period);
        dialog.click(P::ptype, c.type);
        EXPECT_EQ(dialog.enabled(P::aseason), c.seasons) << c.period << c.type;
        EXPECT_EQ(dialog.enabled(P::amonth), c.months) << c.period << c.type;
        EXPECT_EQ(dialog.enabled(P::aweek), c.days) << c.period << c.type;
    }
    // The hidden choices keep their selection.
    EXPECT_EQ(dialog.selected(P::amonth), 6);
    EXPECT_EQ(dialog.selected(P::aseason), 3);
    EXPECT_EQ(dialog.selected(P::aweek), 1);

    // An unknown period changes nothing, the day buttons included.
    sc().periodindex = 7;
    sc().ptypeindex = 1;
    dialog.load();
    EXPECT_TRUE(dialog.enabled(P::aseason) && dialog.enabled(P::amonth) &&
                dialog.enabled(P::aweek));
}

TEST_F(PeriodDialogTest, CancelAndEscapeKeepTheValuesButTheFlagStaysSet) {
    dialog.load();
    dialog.click(P::thePeriod, 2);
    dialog.setYear(P::Year, "1999");
    dialog.cancel();
    dialog.unload();
    EXPECT_EQ(sc().periodindex, 1);
    EXPECT_EQ(sc().yearstr, "2026");
    EXPECT_TRUE(sc().changed_period);

    // Opening again clears `cancelled`; the close button runs the year checks quietly and
    // asks about the first year refused: No keeps the dialog open, Yes stores nothing.
    dialog.load();
    dialog.setYear(P::growthYear, "not a year ");
    dialog.setYear(P::Year, "1900");
    ui.answerYesNo(false);
    EXPECT_FALSE(dialog.mayClose());
    ui.answerYesNo(true);
    EXPECT_TRUE(dialog.mayClose());
    dialog.unload();
    EXPECT_EQ(ui.questions, std::vector<std::string>(2, "Episode year 1900 is outside allowed "
                                                        "range 1970-2050.\n\nClose without "
                                                        "keeping the changes?"));
    EXPECT_EQ(sc().yearstr, "2026");
    EXPECT_EQ(sc().growthyearstr, "");
    EXPECT_TRUE(ui.messages.empty());

    // Years OK accepts are stored without a question; a pasted line break is dropped.
    dialog.load();
    dialog.setYear(P::Year, "2030\r\n");
    EXPECT_TRUE(dialog.mayClose());
    dialog.unload();
    EXPECT_EQ(sc().yearstr, "2030");
    EXPECT_EQ(ui.questions.size(), 2u);
}

TEST_F(PeriodDialogTest, AMonthWithoutAButtonOpensWithNoneSelectedAndOneLoggedError) {
    sc().monthindex = 12;
    dialog.load();
    EXPECT_EQ(dialog.selected(P::amonth), std::nullopt);
    EXPECT_EQ(dialog.selected(P::aweek), 1);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"Entering Period form load",
                                                    "*****************Period Error 340 "}));
}

TEST_F(PeriodDialogTest, SavingAfterTheDialogRegeneratesOnlyThePeriodPacket) {
    const std::string templ = complete_options_file();
    ASSERT_EQ(readText(templ), ReadOutcome::Loaded);
    ASSERT_FALSE(sc().changed_period);
    dialog.load();
    dialog.click(P::thePeriod, 1);
    dialog.click(P::amonth, 10);
    dialog.click(P::ptype, 1);
    dialog.setYear(P::techYear, "2030");
    ASSERT_TRUE(dialog.ok());
    dialog.unload();

    std::istringstream in(templ);
    std::ostringstream out;
    ASSERT_TRUE(write_options_stream(sc(), in, out, PathRules::posix(), "1/2/2026 3:04:05 AM").ok);
    EXPECT_EQ(out.str(), "Written by Kelvaro interface at 1/2/2026 3:04:05 AM\r\n" +
                             with_packet_body(templ, "/PERIOD/",
                                              "Period type        : Monthly\r\n"
                                              "Summation type     : Period total\r\n"
                                              "Year of episode    : 2026\r\n"
                                              "Season of year     : \r\n"
                                              "Month of year      : November\r\n"
                                              "Weekday or weekend : Weekday\r\n"
                                              "Year of growth calc: 2025\r\n"
                                              "Year of tech sel   : 2030\r\n"));
}

} // namespace
} // namespace kv::test
