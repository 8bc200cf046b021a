#include "region_option.h"

#include "editors/region_dialog.h"
#include "shell/session.h"
#include "shell/text.h"

#include <algorithm>
#include <array>
#include <iostream>
#include <string_view>

namespace kvopt {

namespace {

using kv::RegionDialog;

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
        if (kv::iequals(state->abbr, entry) || state->code == entry ||
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
template <class Choose> bool leave_with_ok(kv::Session& session, Choose choose) {
    RegionDialog dialog(session);
    dialog.load();
    if (!choose(dialog))
        return false;
    dialog.ok();
    dialog.unload();
    return true;
}

} // namespace

void add_region_option(CLI::App& save, std::string& value) {
    save.add_option("--region", value,
                    "LEVEL[=ENTRY,...]: replace the region and rebuild the allocation and "
                    "population lists, as the Region dialog's OK does. LEVEL is 50states, "
                    "state, county or ustotal; ENTRY a state's abbreviation or two-digit code "
                    "(the whole state) or, at the county level, a five-digit county code");
}

std::optional<RegionRequest> parse_region_option(const std::string& text, std::string& error) {
    const auto eq = text.find('=');
    const std::string name = kv::lower(kv::trim(text.substr(0, eq)));
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
            const std::string entry = kv::trim(rest.substr(0, comma));
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

bool apply_region_option(kv::Session& session, const RegionRequest& request) {
    return leave_with_ok(session, [&request](RegionDialog& dialog) {
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
                std::cerr << "State or county not found: " << entry << '\n';
                return false;
            }
        }
        return true;
    });
}

void apply_region_level(kv::Session& session, std::int16_t level) {
    leave_with_ok(session, [level](RegionDialog& dialog) {
        dialog.levelClicked(level);
        return true;
    });
}

} // namespace kvopt
