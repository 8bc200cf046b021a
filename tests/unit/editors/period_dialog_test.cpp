#include "editors/period_dialog.h"
#include "optionsfile/writer.h"
#include "support/options_text.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>
#include <sstream>

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
        sc().growthyearstr = "2025";
        sc().techyearstr = "";
    }
    PeriodDialog dialog{*session};
};

TEST_F(PeriodDialogTest, YearsAreCheckedAgainstTheRangeAfterRounding) {
    struct Case {
        std::string text;
        bool allowBlank;
        std::string message; // empty: accepted
    };
    const std::string numeric = "Tech year must be numeric and in the range 1970-2050.";
    const auto outside = [](const std::string& number) {
        return "Tech year " + number + " is outside allowed range 1970-2050.";
    };
    const Case cases[] = {
        {"", false, numeric},
        {"   ", false, numeric},
        {"", true, ""},
        {"  ", true, ""},
        {"1970", false, ""},
        {" 2050 ", false, ""},
        {"1969", false, outside("1969")},
        {"2051", true, outside("2051")},
        {"2000.4", false, ""},
        // A half goes to the even neighbour.
        {"1969.5", false, ""},
        {"2050.5", false, ""},
        {"2051.5", false, outside("2052")},
        {"1e3", false, outside("1000")},
        {"20x6", false, numeric},
        {"abc", true, numeric},
        {"2,000", false, numeric},
        // Beyond 16 bits the number is named as typed.
        {" 99999 ", false, outside("99999")},
        {"-40000", false, outside("-40000")},
        {"32767.5", false, outside("32767.5")},
        {"32767.4", false, outside("32767")},
    };
    for (const Case& c : cases) {
        ui.messages.clear();
        EXPECT_EQ(dialog.yearok(c.text, "Tech", c.allowBlank), c.message.empty()) << c.text;
        const std::vector<ScriptedUserInterface::Message> expected =
            c.message.empty()
                ? std::vector<ScriptedUserInterface::Message>{}
                : std::vector<ScriptedUserInterface::Message>{{c.message, "", MessageIcon::None}};
        EXPECT_EQ(ui.messages, expected) << c.text;
    }
}

TEST_F(PeriodDialogTest, OkChecksTheYearsInOrderAndStoresThemAsTyped) {
    struct Case {
        std::array<std::string, 3> years;
        std::string message; // empty: stored
    };
    const Case cases[] = {
        {{"", "", ""}, "Episode year must be numeric and in the range 1970-2050."},
        {{"1990", "1969", "abc"}, "Growth year 1969 is outside allowed range 1970-2050."},
        {{"1990", " ", "2051"}, "Tech year 2051 is outside allowed range 1970-2050."},
        {{" 2000.4 ", "", ""}, ""},
    };
    for (const Case& c : cases) {
        ui.messages.clear();
        dialog.load();
        for (std::size_t i = 0; i < 3; ++i)
            dialog.setYear(static_cast<P::YearField>(i), c.years[i]);
        EXPECT_EQ(dialog.ok(), c.message.empty());
        if (c.message.empty()) {
            EXPECT_TRUE(ui.messages.empty());
            EXPECT_EQ(sc().yearstr, " 2000.4 ");
            EXPECT_EQ(sc().growthyearstr, "");
        } else {
            EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{c.message});
            // A refused OK copies nothing and the field keeps its text.
            EXPECT_EQ(sc().yearstr, "2026");
            EXPECT_EQ(dialog.year(P::Year), c.years[0]);
        }
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
        EXPECT_TRUE(dialog.enabled(P::thePeriod) && dialog.enabled(P::ptype));
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
    const Scenario before = sc();
    dialog.load();
    EXPECT_TRUE(sc().changed_period);
    EXPECT_FALSE(dialog.cancelled());
    dialog.click(P::thePeriod, 2);
    dialog.click(P::aseason, 0);
    dialog.setYear(P::Year, "1999");
    dialog.cancel();
    dialog.unload();
    EXPECT_EQ(sc().periodindex, before.periodindex);
    EXPECT_EQ(sc().seasonindex, before.seasonindex);
    EXPECT_EQ(sc().yearstr, before.yearstr);
    EXPECT_TRUE(sc().changed_period);

    // Opening again clears `cancelled`; the close button stores without the year checks.
    dialog.load();
    EXPECT_FALSE(dialog.cancelled());
    dialog.click(P::ptype, 1);
    dialog.setYear(P::growthYear, "not a year ");
    dialog.unload();
    EXPECT_EQ(sc().ptypeindex, 1);
    EXPECT_EQ(sc().growthyearstr, "not a year ");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(PeriodDialogTest, AMonthWithoutAButtonOpensWithNoneSelectedAndOneLoggedError) {
    sc().monthindex = 12;
    dialog.load();
    EXPECT_EQ(dialog.selected(P::amonth), std::nullopt);
    EXPECT_EQ(dialog.selected(P::aweek), 1);
    EXPECT_EQ(dialog.year(P::growthYear), "2025");
    EXPECT_EQ(logLines(), (std::vector<std::string>{"Entering Period form load",
                                                    "*****************Period Error 340 "}));
    // Choosing a month afterwards selects it.
    dialog.click(P::amonth, 0);
    EXPECT_EQ(dialog.selected(P::amonth), 0);
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
