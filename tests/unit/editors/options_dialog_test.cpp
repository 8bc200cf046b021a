#include "editors/numeric_text.h"
#include "editors/options_dialog.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>

namespace kv::test {
namespace {

using F = OptionsDialog::Field;

class OptionsDialogTest : public SessionTest {
protected:
    OptionsDialogTest() {
        sc().title1str = "RUN";
        sc().fulrvpstr = "9.0";
        sc().pcoxygenstr = "2.0";
        sc().so2gasstr = "0.03";
        sc().so2dieselstr = "0.05";
        sc().so2marinedieselstr = "0.4";
        sc().so2cngstr = "0.003";
        sc().mintempstr = "60";
        sc().maxtempstr = "84";
        sc().avgtempstr = "72";
        sc().altitudestr = "LOW";
    }
    OptionsDialog dialog{*session};
};

TEST(NumericText, ReadsTheLeadingNumberAndTheShortestForm) {
    EXPECT_EQ(leading_number(""), 0);
    EXPECT_EQ(leading_number("abc"), 0);
    EXPECT_EQ(leading_number(" 1 2.5x"), 12.5);
    EXPECT_EQ(leading_number("-40"), -40);
    EXPECT_EQ(leading_number("1e2"), 100);
    EXPECT_EQ(leading_number("1e"), 1);
    EXPECT_EQ(leading_number("****"), 0);
    EXPECT_EQ(whole_number(" 2000.4 "), 2000.4);
    EXPECT_FALSE(whole_number("20x"));
    EXPECT_FALSE(whole_number(""));
    EXPECT_EQ(shortest_decimal(0.5), "0.5");
    EXPECT_EQ(shortest_decimal(-40), "-40");
}

TEST_F(OptionsDialogTest, LoadingFillsTheFieldsAndMarksTheOptionsTouched) {
    dialog.load();
    EXPECT_EQ(dialog.text(F::Titleone), "RUN");
    EXPECT_EQ(dialog.text(F::Titletwo), "");
    EXPECT_EQ(dialog.text(F::Stage2), "0");
    EXPECT_EQ(dialog.altitude(), OptionsDialog::Low);
    EXPECT_TRUE(sc().changed_options);
    EXPECT_FALSE(sc().changed_stage2);
    EXPECT_EQ(dialog.focus(), F::Maxtemp);

    // OK without touching Stage II leaves it unknown; any altitude but low becomes HIGH.
    sc().altitudestr = "somewhere";
    dialog.load();
    ASSERT_TRUE(dialog.recheck());
    dialog.unload();
    EXPECT_FALSE(sc().stage2_known);
    EXPECT_EQ(sc().altitudestr, "HIGH");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(OptionsDialogTest, RangeChecksAtOkReportTheFirstFailureOnly) {
    struct Case {
        std::vector<std::pair<F, std::string>> texts;
        std::vector<std::string> messages;
        std::optional<F> errobj;
    };
    const std::string inverted(OptionsDialog::kInvertedMessage);
    const std::string average(OptionsDialog::kAverageMessage);
    const Case cases[] = {
        {{{F::fulrvp, ""}}, {"Invalid 6 to 16"}, F::fulrvp},
        {{{F::fulrvp, "6"}, {F::so2gas, ""}, {F::Mintemp, ""}, {F::Stage2, ""}}, {}, std::nullopt},
        {{{F::fulrvp, "16"},
          {F::so2gas, "0.5"},
          {F::Mintemp, "-40"},
          {F::Maxtemp, "120"},
          {F::Stage2, "100"}},
         {},
         std::nullopt},
        {{{F::so2diesel, "0.51"}, {F::Stage2, "101"}}, {"Invalid 0 to 0.5"}, F::so2diesel},
        {{{F::Mintemp, "70"}, {F::Maxtemp, "60"}, {F::Avgtemp, "65"}},
         {inverted, average},
         F::Avgtemp},
        {{{F::Mintemp, "70"}, {F::Maxtemp, "70"}, {F::Avgtemp, "70"}}, {}, std::nullopt},
        {{{F::Avgtemp, "121"}}, {"Invalid -40 to 120"}, F::Avgtemp},
    };
    for (const Case& c : cases) {
        ui.messages.clear();
        dialog.load();
        for (const auto& [field, text] : c.texts)
            dialog.setText(field, text);
        EXPECT_EQ(dialog.recheck(), !c.errobj);
        EXPECT_EQ(ui.messageTexts(), c.messages);
        EXPECT_EQ(dialog.errobj(), c.errobj);
        for (const auto& m : ui.messages)
            EXPECT_EQ(m.title, "");
    }
}

TEST_F(OptionsDialogTest, AFailedFieldShowsTheMarkerWhichIsNeverStored) {
    dialog.load();
    dialog.gotFocus(F::pcoxygen);
    dialog.setText(F::pcoxygen, "7");
    dialog.lostFocus(F::pcoxygen);
    EXPECT_EQ(dialog.text(F::pcoxygen), "****");
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Invalid 0 to 5"});

    // The marker reads as 0, inside the range, yet OK refuses it again.
    EXPECT_FALSE(dialog.recheck());
    EXPECT_EQ(ui.messageTexts().back(), "Invalid 0 to 5");

    // The close button asks about the marker too, and Yes stores nothing.
    dialog.setText(F::Maxtemp, "500");
    EXPECT_TRUE(dialog.mayClose());
    dialog.unload();
    EXPECT_EQ(ui.questions,
              std::vector<std::string>{"Invalid 0 to 5\n\nClose without keeping the changes?"});
    EXPECT_EQ(sc().pcoxygenstr, "2.0");
    EXPECT_EQ(sc().maxtempstr, "84");
}

// The close button runs OK's check without a message: values it refuses are kept only when
// the user says No and goes on in the dialog; Yes closes as Cancel does.
TEST_F(OptionsDialogTest, TheCloseButtonNeverStoresAValueOkRefuses) {
    struct Case {
        std::vector<std::pair<F, std::string>> typed;
        std::string refusal; // empty: OK accepts, and the close stores without asking
    };
    const Case cases[] = {
        {{{F::Mintemp, "70"}, {F::Maxtemp, "60"}, {F::Avgtemp, "65"}},
         std::string(OptionsDialog::kInvertedMessage)},
        {{{F::Mintemp, "70"}, {F::Avgtemp, "90"}}, std::string(OptionsDialog::kAverageMessage)},
        {{{F::Stage2, "101"}}, "Invalid 0 to 100"},
        // A line break typed or pasted never reaches the scenario.
        {{{F::Titleone, "Closed\r\n/END/"}, {F::Maxtemp, "90\n"}}, ""},
    };
    for (const Case& c : cases) {
        ui.questions.clear();
        dialog.load();
        for (const auto& [field, text] : c.typed)
            dialog.setText(field, text);
        if (!c.refusal.empty()) {
            ui.answerYesNo(false);
            EXPECT_FALSE(dialog.mayClose());
            ui.answerYesNo(true);
        }
        EXPECT_TRUE(dialog.mayClose());
        dialog.unload();
        EXPECT_EQ(ui.questions.size(), c.refusal.empty() ? 0u : 2u);
        if (c.refusal.empty()) {
            EXPECT_EQ(sc().title1str, "Closed/END/");
            EXPECT_EQ(sc().maxtempstr, "90");
            continue;
        }
        EXPECT_EQ(ui.questions.back(), c.refusal + "\n\nClose without keeping the changes?");
        EXPECT_EQ(sc().mintempstr, "60");
        EXPECT_EQ(sc().avgtempstr, "72");
        EXPECT_FALSE(sc().stage2_known);
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(OptionsDialogTest, LeavingAFieldChecksTheOneRecordedInFocus) {
    // Maximum and CNG sulfur loaded empty: nothing is recorded, so the field left is checked.
    sc().maxtempstr.clear();
    sc().so2cngstr.clear();
    sc().fulrvpstr = "3";
    dialog.load();
    ASSERT_FALSE(dialog.focus());
    dialog.lostFocus(F::fulrvp);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"Invalid 6 to 16"});

    // Once a field is recorded, leaving Maximum checks that field instead.
    dialog.setText(F::fulrvp, "8");
    dialog.gotFocus(F::Avgtemp);
    dialog.setText(F::Avgtemp, "200");
    dialog.lostFocus(F::Maxtemp);
    EXPECT_EQ(ui.messageTexts().back(), "Invalid -40 to 120");
    EXPECT_EQ(dialog.text(F::Avgtemp), "****");
}

TEST_F(OptionsDialogTest, CancelKeepsEveryValueAndStageTwoFollowsItsOwnFlag) {
    sc().stage2_known = true;
    sc().stage2str = "15";
    sc().changed_options = true; // an OK of an earlier opening, not saved yet
    dialog.load();
    EXPECT_TRUE(sc().changed_stage2);
    dialog.setText(F::Titleone, "EDITED");
    dialog.setText(F::Stage2, "40");
    dialog.cancel();
    dialog.unload();
    EXPECT_EQ(sc().title1str, "RUN");
    EXPECT_EQ(sc().stage2str, "15");
    // The flags are those of the opening: the earlier OK is still saved.
    EXPECT_TRUE(sc().changed_options);
    EXPECT_FALSE(sc().changed_stage2);

    dialog.load();
    dialog.setText(F::Stage2, "40 ");
    dialog.setText(F::Titleone, " Typed  ");
    ASSERT_TRUE(dialog.recheck());
    dialog.unload();
    EXPECT_EQ(sc().stage2str, "40 ");
    EXPECT_EQ(sc().title1str, " Typed  ");
    EXPECT_EQ(sc().altitudestr, "LOW");
    EXPECT_FALSE(ui.statuses.empty());
}

} // namespace
} // namespace kv::test
