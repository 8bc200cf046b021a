#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kv {

class Session;
struct Scenario;

// The logic of the Period dialog (form `Periodfrm`): the period, the kind of result, the
// season, month and kind of day, and the episode, growth and technology years. It holds the
// working copy of the scenario's period values while the window is open; the window hands
// every click and text change on to it and shows what it holds.
class PeriodDialog {
public:
    // The frames of option buttons, in the order loading selects them.
    enum Array { thePeriod, ptype, aseason, amonth, aweek };
    static constexpr std::size_t kArrayCount = 5;

    struct ArrayInfo {
        Array array;
        std::string_view name;  // the control array's name
        std::string_view title; // the caption of its frame
        std::span<const std::string_view> captions;
        std::int16_t Scenario::*value; // the scenario value it edits
    };
    static const std::array<ArrayInfo, kArrayCount>& arrays();

    // The year fields, in the order OK checks them.
    enum YearField { Year, growthYear, techYear };
    static constexpr std::size_t kYearCount = 3;

    struct YearInfo {
        YearField field;
        std::string_view name;      // the text field's name
        std::string_view labelName; // the name of the label beside it
        std::string_view caption;   // the label's caption, also the name in messages
        bool allowBlank;
        std::string Scenario::*value;
    };
    static const std::array<YearInfo, kYearCount>& years();

    static constexpr int kFirstYear = 1970;
    static constexpr int kLastYear = 2050;
    // The error number logged when loading selects an index that has no button.
    static constexpr int kNoSuchButton = 340;

    explicit PeriodDialog(Session& session);

    // Opening: copies the scenario's values and selects them, logging a step that fails.
    void load();

    // An option button was clicked, by the user or by selecting it from code.
    void click(Array array, int index);
    // A year field's text changed; line breaks are dropped. Setting the text it has is no
    // change.
    void setYear(YearField field, std::string text);

    // Enables the season, month and day buttons the chosen period and type use.
    void periodenable();
    // Copies the dialog's values to the scenario.
    void update_globals();
    // Whether `stringYear` is an acceptable year; shows why not.
    bool yearok(std::string_view stringYear, std::string_view yearName, bool shouldAllowBlank);
    // Why `stringYear` is not an acceptable year, as yearok says it; nullopt when it is.
    static std::optional<std::string> yearProblem(std::string_view stringYear,
                                                  std::string_view yearName, bool shouldAllowBlank);
    // The first message OK's check would show for the years as they are, or nullopt.
    std::optional<std::string> firstFailure() const;

    // OK: answers true when every year passed, the values are stored and the dialog closes.
    bool ok();
    // Cancel and Escape: the dialog closes without storing.
    void cancel() { cancelled_ = true; }
    // Asked before every close: when the close would store a year that OK refuses, asks
    // whether to close without keeping the changes. Yes closes as Cancel does; No (false)
    // keeps the dialog open.
    bool mayClose();
    // Closing, whichever way: stores the values unless cancelled.
    void unload();

    std::int16_t index(Array array) const { return indices_[array]; }
    // The button shown selected: none when the index has no button.
    std::optional<int> selected(Array array) const;
    // Whether the buttons of the array can be clicked.
    bool enabled(Array array) const;
    const std::string& year(YearField field) const { return years_[field]; }
    bool cancelled() const { return cancelled_; }

private:
    // Selects the button at `index` as code does; false when there is none.
    bool select(Array array, int index);

    Session& session_;
    std::array<std::int16_t, kArrayCount> indices_{};
    std::array<std::string, kYearCount> years_{};
    bool monthsEnabled_ = true;
    bool seasonsEnabled_ = true;
    bool daysEnabled_ = true;
    bool cancelled_ = false;
};

} // namespace kv
