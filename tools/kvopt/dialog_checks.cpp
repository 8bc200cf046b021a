#include "dialog_checks.h"

#include "editors/options_dialog.h"
#include "editors/period_dialog.h"
#include "shell/session.h"

#include <algorithm>
#include <array>
#include <iostream>
#include <string_view>

namespace kvopt {

namespace {

constexpr std::array<std::string_view, 13> kOptionsValues = {
    "title1str",    "title2str",          "fulrvpstr", "pcoxygenstr", "so2gasstr",
    "so2dieselstr", "so2marinedieselstr", "so2cngstr", "mintempstr",  "maxtempstr",
    "avgtempstr",   "altitudestr",        "stage2str"};
constexpr std::array<std::string_view, 8> kPeriodValues = {
    "periodindex", "ptypeindex", "seasonindex",   "monthindex",
    "weekindex",   "yearstr",    "growthyearstr", "techyearstr"};

template <std::size_t N>
bool any_set(const std::array<std::string_view, N>& values,
             const std::vector<std::string>& assignments) {
    return std::ranges::any_of(assignments, [&](const std::string& assignment) {
        const std::string_view name = std::string_view(assignment).substr(0, assignment.find('='));
        return std::ranges::find(values, name) != values.end();
    });
}

// Opens the dialog's logic on the scenario and runs its OK, without storing anything: the
// scenario, its edit flags included, is put back as it was.
template <class Dialog, class Ok> bool dialog_accepts(kv::Session& session, Ok ok) {
    const kv::Scenario before = session.scenario;
    Dialog dialog(session);
    dialog.load();
    const bool accepted = ok(dialog);
    session.scenario = before;
    return accepted;
}

} // namespace

bool dialog_checks_pass(kv::Session& session, const std::vector<std::string>& assignments) {
    bool accepted = true;
    if (any_set(kOptionsValues, assignments))
        accepted = dialog_accepts<kv::OptionsDialog>(
                       session, [](kv::OptionsDialog& d) { return d.recheck(); }) &&
                   accepted;
    if (any_set(kPeriodValues, assignments))
        accepted =
            dialog_accepts<kv::PeriodDialog>(session, [](kv::PeriodDialog& d) { return d.ok(); }) &&
            accepted;
    return accepted;
}

bool take_altitude_as_the_dialog_does(std::vector<std::string>& assignments) {
    constexpr std::string_view kAltitude = "altitudestr=";
    std::vector<std::string> taken = assignments;
    for (std::string& assignment : taken) {
        if (!assignment.starts_with(kAltitude))
            continue;
        const std::string value = assignment.substr(kAltitude.size());
        const auto altitude = kv::OptionsDialog::altitudeNamed(value);
        if (!altitude) {
            std::cerr << "kvopt save: altitudestr takes LOW or HIGH, not \"" << value << "\"\n";
            return false;
        }
        assignment =
            std::string(kAltitude) + std::string(kv::OptionsDialog::altitudeValue(*altitude));
    }
    assignments = std::move(taken);
    return true;
}

} // namespace kvopt
