#include "editors/period_dialog.h"

#include "editors/numeric_text.h"
#include "optionsfile/format.h"
#include "optionsfile/reader.h"
#include "shell/dialog_helpers.h"
#include "shell/session.h"
#include "shell/text.h"

#include <cmath>
#include <limits>

namespace kv {

namespace {

// A typed year as a 16-bit whole number: a fraction is rounded to the nearest whole number,
// a half to the even neighbour. None when the number does not fit.
std::optional<std::int16_t> year_number(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        rounded = below + 1;
    if (!(rounded >= std::numeric_limits<std::int16_t>::min() &&
          rounded <= std::numeric_limits<std::int16_t>::max()))
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

std::string year_range() {
    return std::to_string(PeriodDialog::kFirstYear) + "-" +
           std::to_string(PeriodDialog::kLastYear) + ".";
}

} // namespace

const std::array<PeriodDialog::ArrayInfo, PeriodDialog::kArrayCount>& PeriodDialog::arrays() {
    // The buttons carry the words the options file uses for the same choices.
    static const PeriodNames& names = load_period_names();
    static const std::array<ArrayInfo, kArrayCount> table{{
        {thePeriod, "thePeriod", "Period", format::kPeriodTypeCaptions, &Scenario::periodindex},
        {ptype, "ptype", "Type", format::kSummationCaptions, &Scenario::ptypeindex},
        {aseason, "aseason", "Season", names.seasonnames, &Scenario::seasonindex},
        {amonth, "amonth", "Month", names.monthnames, &Scenario::monthindex},
        {aweek, "aweek", "Day", names.weeknames, &Scenario::weekindex},
    }};
    return table;
}

const std::array<PeriodDialog::YearInfo, PeriodDialog::kYearCount>& PeriodDialog::years() {
    static const std::array<YearInfo, kYearCount> table{{
        {Year, "Year", "lblEpisodeYear", "Episode", false, &Scenario::yearstr},
        {growthYear, "growthYear", "lblGrowthYear", "Growth", true, &Scenario::growthyearstr},
        {techYear, "techYear", "lblTechYear", "Tech", true, &Scenario::techyearstr},
    }};
    return table;
}

PeriodDialog::PeriodDialog(Session& session) : session_(session) {}

void PeriodDialog::load() {
    cancelled_ = false;
    session_.log.write("Entering Period form load");
    const Scenario& sc = session_.scenario;
    for (const ArrayInfo& info : arrays())
        indices_[info.array] = sc.*info.value;
    for (const YearInfo& info : years())
        years_[info.field] = sc.*info.value;

    // A new window shows every button enabled until the period and type are selected.
    monthsEnabled_ = seasonsEnabled_ = daysEnabled_ = true;
    // A step that fails is logged and loading goes on; the window still opens.
    for (const ArrayInfo& info : arrays()) {
        if (!select(info.array, indices_[info.array]))
            session_.log.write("*****************Period Error " + std::to_string(kNoSuchButton) +
                               " ");
    }
}

bool PeriodDialog::select(Array array, int index) {
    if (index < 0 || index >= static_cast<int>(arrays()[array].captions.size()))
        return false;
    click(array, index);
    return true;
}

void PeriodDialog::click(Array array, int index) {
    indices_[array] = static_cast<std::int16_t>(index);
    session_.scenario.changed_period = true;
    if (array == thePeriod || array == ptype)
        periodenable();
}

void PeriodDialog::setYear(YearField field, std::string text) {
    // A year is one line of the options file; a pasted line break would split it there.
    text = without_line_breaks(std::move(text));
    if (years_[field] == text)
        return;
    session_.scenario.changed_period = true;
    years_[field] = std::move(text);
}

void PeriodDialog::periodenable() {
    switch (indices_[thePeriod]) {
    case 0:
        monthsEnabled_ = false;
        seasonsEnabled_ = false;
        break;
    case 1:
        monthsEnabled_ = true;
        seasonsEnabled_ = false;
        break;
    case 2:
        monthsEnabled_ = false;
        seasonsEnabled_ = true;
        break;
    default:
        // An unknown period changes nothing, the day buttons included.
        return;
    }
    daysEnabled_ = indices_[ptype] == 0;
}

std::optional<int> PeriodDialog::selected(Array array) const {
    const int index = indices_[array];
    if (index < 0 || index >= static_cast<int>(arrays()[array].captions.size()))
        return std::nullopt;
    return index;
}

bool PeriodDialog::enabled(Array array) const {
    switch (array) {
    case aseason:
        return seasonsEnabled_;
    case amonth:
        return monthsEnabled_;
    case aweek:
        return daysEnabled_;
    default:
        return true;
    }
}

void PeriodDialog::update_globals() {
    Scenario& sc = session_.scenario;
    for (const ArrayInfo& info : arrays())
        sc.*info.value = indices_[info.array];
    for (const YearInfo& info : years())
        sc.*info.value = years_[info.field];
}

bool PeriodDialog::yearok(std::string_view stringYear, std::string_view yearName,
                          bool shouldAllowBlank) {
    if (const auto problem = yearProblem(stringYear, yearName, shouldAllowBlank)) {
        session_.ui.showMessage(*problem, "", MessageIcon::None);
        return false;
    }
    return true;
}

std::optional<std::string> PeriodDialog::yearProblem(std::string_view stringYear,
                                                     std::string_view yearName,
                                                     bool shouldAllowBlank) {
    const std::string typed = trim(stringYear);
    if (typed.empty() && shouldAllowBlank)
        return std::nullopt;
    const std::optional<double> number = whole_number(typed);
    if (!number)
        return std::string(yearName) + " year must be numeric and in the range " + year_range();
    // A number too large for a year is named as typed: it has no 16-bit value to show.
    const std::optional<std::int16_t> year = year_number(*number);
    if (!year || *year < kFirstYear || *year > kLastYear)
        return std::string(yearName) + " year " + (year ? std::to_string(*year) : typed) +
               " is outside allowed range " + year_range();
    return std::nullopt;
}

std::optional<std::string> PeriodDialog::firstFailure() const {
    for (const YearInfo& info : years()) {
        if (auto problem = yearProblem(years_[info.field], info.caption, info.allowBlank))
            return problem;
    }
    return std::nullopt;
}

bool PeriodDialog::ok() {
    if (const auto problem = firstFailure()) {
        session_.ui.showMessage(*problem, "", MessageIcon::None);
        return false;
    }
    update_globals();
    return true;
}

bool PeriodDialog::mayClose() {
    return cancelled_ || may_close_storing(session_.ui, firstFailure(), [this] { cancel(); });
}

void PeriodDialog::unload() {
    if (!cancelled_)
        update_globals();
}

} // namespace kv
