#include "sets/scenario_edits.h"

#include "advanced/single_file_dialog.h"
#include "editors/options_dialog.h"
#include "editors/period_dialog.h"
#include "editors/region_dialog.h"
#include "optionsfile/scenario_values.h"
#include "shell/session.h"
#include "shell/text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace kv {

namespace {

// ---- The Region dialog

struct LevelName {
    std::string_view name;
    RegionDialog::Level level;
};
constexpr std::array<LevelName, 4> kLevels{{
    {"50states", RegionDialog::FiftyStates},
    {"state", RegionDialog::StateLevel},
    {"county", RegionDialog::CountyLevel},
    {"ustotal", RegionDialog::UsTotal},
}};

bool all_digits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool is_county_code(std::string_view entry) {
    return entry.size() == 5 && all_digits(entry) && !entry.ends_with("000");
}

// The line of the state list an entry names: an abbreviation, a two-digit code or the
// state's own five-digit code.
std::optional<int> state_line(const RegionDialog& dialog, std::string_view entry) {
    int line = 0;
    for (const auto& state : dialog.allstates()) {
        if (iequals(state->abbr, entry) || state->code == entry ||
            (entry.size() == 2 && state->code.starts_with(entry)))
            return line;
        ++line;
    }
    return std::nullopt;
}

// Adds the county of a five-digit code as the dialog does: a click on its state at the
// county level lists the state's counties, then its line is chosen and added.
bool add_county(RegionDialog& dialog, std::string_view code) {
    const auto state = state_line(dialog, code.substr(0, 2));
    if (!state || !all_digits(code.substr(0, 2)))
        return false;
    dialog.stateClicked(*state);
    int line = 0;
    for (const auto& county : dialog.countylist()) {
        if (county->code == code) {
            dialog.countyClicked(line);
            dialog.add();
            return true;
        }
        ++line;
    }
    return false;
}

// The dialog opened on the scenario, `choose` run on it, then OK; nothing is committed when
// `choose` answers false.
template <class Choose> bool leave_with_ok(Session& session, Choose choose) {
    RegionDialog dialog(session);
    dialog.load();
    if (!choose(dialog))
        return false;
    dialog.ok();
    dialog.unload();
    return true;
}

// ---- The Options and Period dialogs

constexpr std::array<std::string_view, 13> kOptionsValues = {
    "title1str",    "title2str",          "fulrvpstr", "pcoxygenstr", "so2gasstr",
    "so2dieselstr", "so2marinedieselstr", "so2cngstr", "mintempstr",  "maxtempstr",
    "avgtempstr",   "altitudestr",        "stage2str"};
constexpr std::array<std::string_view, 8> kPeriodValues = {
    "periodindex", "ptypeindex", "seasonindex",   "monthindex",
    "weekindex",   "yearstr",    "growthyearstr", "techyearstr"};

std::string_view name_of(std::string_view assignment) {
    return assignment.substr(0, assignment.find('='));
}

template <std::size_t N>
bool any_set(const std::array<std::string_view, N>& values,
             const std::vector<std::string>& assignments) {
    return std::ranges::any_of(assignments, [&](const std::string& assignment) {
        return std::ranges::find(values, name_of(assignment)) != values.end();
    });
}

// Opens the dialog's logic on the scenario and runs its OK, without storing anything: the
// scenario, its edit flags included, is put back as it was.
template <class Dialog, class Ok> bool dialog_accepts(Session& session, Ok ok) {
    const Scenario before = session.scenario;
    Dialog dialog(session);
    dialog.load();
    const bool accepted = ok(dialog);
    session.scenario = before;
    return accepted;
}

// ---- The single-file dialogs

constexpr std::string_view kRunFiles = "runfiles.";

// The slot of a "runfiles.N=VALUE" assignment, or nullopt for any other item.
std::optional<std::size_t> run_file_slot(std::string_view assignment) {
    std::string_view name = name_of(assignment);
    if (!name.starts_with(kRunFiles))
        return std::nullopt;
    name.remove_prefix(kRunFiles.size());
    std::size_t slot = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), slot);
    if (error != std::errc() || end != name.data() + name.size())
        return std::nullopt;
    return slot;
}

bool edits_a_slot_of(const SingleFileMember& member, const std::vector<std::size_t>& slots) {
    return std::ranges::any_of(member.rows, [&](const SingleFileRow& row) {
        return row.slot && std::ranges::find(slots, *row.slot) != slots.end();
    });
}

} // namespace

std::optional<RegionRequest> parse_region_request(const std::string& text, std::string& error) {
    const auto eq = text.find('=');
    const std::string name = lower(trim(text.substr(0, eq)));
    const auto level = std::find_if(kLevels.begin(), kLevels.end(),
                                    [&](const LevelName& l) { return l.name == name; });
    if (level == kLevels.end()) {
        error =
            "--region: the level is one of 50states, state, county, ustotal, not \"" + name + "\"";
        return std::nullopt;
    }
    RegionRequest request;
    request.level = level->level;
    if (eq != std::string::npos) {
        std::string_view rest(text);
        rest.remove_prefix(eq + 1);
        while (true) {
            const auto comma = rest.find(',');
            const std::string entry = trim(rest.substr(0, comma));
            if (entry.empty()) {
                error = "--region: an entry is empty";
                return std::nullopt;
            }
            request.entries.push_back(entry);
            if (comma == std::string_view::npos)
                break;
            rest.remove_prefix(comma + 1);
        }
    }
    // Choosing 50 States empties the selection, and counties are listed at the county level
    // only: such a request could never be carried out as written.
    if (request.level == RegionDialog::FiftyStates && !request.entries.empty()) {
        error = "--region: 50states takes no entries";
        return std::nullopt;
    }
    for (const std::string& entry : request.entries) {
        if (request.level != RegionDialog::CountyLevel && is_county_code(entry)) {
            error = "--region: counties are chosen at the county level only: " + entry;
            return std::nullopt;
        }
    }
    return request;
}

std::string region_request_text(const RegionRequest& request) {
    std::string text;
    for (const LevelName& l : kLevels) {
        if (l.level == request.level)
            text = std::string(l.name);
    }
    for (std::size_t i = 0; i < request.entries.size(); ++i)
        text += (i == 0 ? "=" : ",") + request.entries[i];
    return text;
}

std::string assignment_error(const std::string& assignment) {
    const auto eq = assignment.find('=');
    if (eq == std::string::npos)
        return "--set takes NAME=VALUE";
    Scenario probe;
    return set_scenario_value(probe, assignment.substr(0, eq), assignment.substr(eq + 1));
}

std::string take_altitude_as_the_dialog_does(std::vector<std::string>& assignments) {
    constexpr std::string_view kAltitude = "altitudestr=";
    std::vector<std::string> taken = assignments;
    for (std::string& assignment : taken) {
        if (!assignment.starts_with(kAltitude))
            continue;
        const std::string value = assignment.substr(kAltitude.size());
        const auto altitude = OptionsDialog::altitudeNamed(value);
        if (!altitude)
            return "altitudestr takes LOW or HIGH, not \"" + value + "\"";
        assignment = std::string(kAltitude) + std::string(OptionsDialog::altitudeValue(*altitude));
    }
    assignments = std::move(taken);
    return {};
}

bool apply_scenario_edits(Session& session, const ScenarioEdits& edits, bool check) {
    for (const std::string& assignment : edits.sets) {
        const auto eq = assignment.find('=');
        const std::string name = assignment.substr(0, eq);
        const std::string value = assignment.substr(eq + 1);
        if (name == "regionlevel")
            apply_region_level(session, static_cast<std::int16_t>(std::stoi(value)));
        else
            set_scenario_value(session.scenario, name, value);
    }
    // The values set go through the OK of the dialogs that edit them.
    if (!run_file_dialogs_accept(session, edits.sets, check) ||
        (check && !dialog_checks_pass(session, edits.sets)))
        return false;
    return !edits.region || apply_region_request(session, *edits.region);
}

bool apply_region_request(Session& session, const RegionRequest& request) {
    return leave_with_ok(session, [&](RegionDialog& dialog) {
        dialog.levelClicked(RegionDialog::FiftyStates);
        dialog.levelClicked(request.level);
        for (const std::string& entry : request.entries) {
            bool found = false;
            if (const auto line = state_line(dialog, entry)) {
                dialog.stateClicked(*line);
                dialog.add();
                found = true;
            } else if (is_county_code(entry)) {
                found = add_county(dialog, entry);
            }
            if (!found) {
                session.message("State or county not found: " + entry);
                return false;
            }
        }
        return true;
    });
}

void apply_region_level(Session& session, std::int16_t level) {
    leave_with_ok(session, [level](RegionDialog& dialog) {
        dialog.levelClicked(level);
        return true;
    });
}

bool dialog_checks_pass(Session& session, const std::vector<std::string>& assignments) {
    bool accepted = true;
    if (any_set(kOptionsValues, assignments))
        accepted =
            dialog_accepts<OptionsDialog>(session, [](OptionsDialog& d) { return d.recheck(); }) &&
            accepted;
    if (any_set(kPeriodValues, assignments))
        accepted = dialog_accepts<PeriodDialog>(session, [](PeriodDialog& d) { return d.ok(); }) &&
                   accepted;
    return accepted;
}

bool run_file_dialogs_accept(Session& session, const std::vector<std::string>& assignments,
                             bool check) {
    std::vector<std::size_t> slots;
    for (const std::string& assignment : assignments) {
        if (const auto slot = run_file_slot(assignment))
            slots.push_back(*slot);
    }
    for (const SingleFileMember& member : single_file_members()) {
        // A dialog whose OK only closes stores its rows as they were set.
        if (member.ok == SingleFileOk::StoreAtClose || !edits_a_slot_of(member, slots))
            continue;
        SingleFileDialog dialog(session, member);
        dialog.load();
        if (!dialog.ok(check))
            return false;
        dialog.unload();
    }
    return true;
}

} // namespace kv
