#include "optionsfile/scenario_values.h"

#include "optionsfile/scenario.h"
#include "shell/dialog_helpers.h"
#include "shell/text.h"

#include <charconv>
#include <cstdint>
#include <functional>
#include <map>

namespace kv {

namespace {

struct TextItem {
    std::string Scenario::*member;
    bool Scenario::*editFlag; // nullptr: the packet is always regenerated
};

struct IndexItem {
    std::int16_t Scenario::*member;
    bool Scenario::*editFlag;
    int maximum;
};

const std::map<std::string, TextItem, std::less<>>& text_items() {
    static const std::map<std::string, TextItem, std::less<>> items = {
        {"title1str", {&Scenario::title1str, &Scenario::changed_options}},
        {"title2str", {&Scenario::title2str, &Scenario::changed_options}},
        {"fulrvpstr", {&Scenario::fulrvpstr, &Scenario::changed_options}},
        {"pcoxygenstr", {&Scenario::pcoxygenstr, &Scenario::changed_options}},
        {"so2gasstr", {&Scenario::so2gasstr, &Scenario::changed_options}},
        {"so2dieselstr", {&Scenario::so2dieselstr, &Scenario::changed_options}},
        {"so2marinedieselstr", {&Scenario::so2marinedieselstr, &Scenario::changed_options}},
        {"so2cngstr", {&Scenario::so2cngstr, &Scenario::changed_options}},
        {"mintempstr", {&Scenario::mintempstr, &Scenario::changed_options}},
        {"maxtempstr", {&Scenario::maxtempstr, &Scenario::changed_options}},
        {"avgtempstr", {&Scenario::avgtempstr, &Scenario::changed_options}},
        {"altitudestr", {&Scenario::altitudestr, &Scenario::changed_options}},
        {"stage2str", {&Scenario::stage2str, &Scenario::stage2_known}},
        {"yearstr", {&Scenario::yearstr, &Scenario::changed_period}},
        {"growthyearstr", {&Scenario::growthyearstr, &Scenario::changed_period}},
        {"techyearstr", {&Scenario::techyearstr, &Scenario::changed_period}},
    };
    return items;
}

const std::map<std::string, IndexItem, std::less<>>& index_items() {
    static const std::map<std::string, IndexItem, std::less<>> items = {
        {"periodindex", {&Scenario::periodindex, &Scenario::changed_period, 2}},
        {"ptypeindex", {&Scenario::ptypeindex, &Scenario::changed_period, 1}},
        {"seasonindex", {&Scenario::seasonindex, &Scenario::changed_period, 3}},
        {"monthindex", {&Scenario::monthindex, &Scenario::changed_period, 11}},
        {"weekindex", {&Scenario::weekindex, &Scenario::changed_period, 1}},
        {"regionlevel", {&Scenario::regionlevel, &Scenario::changed_region, 3}},
    };
    return items;
}

bool parse_int(std::string_view text, int& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

std::string set_run_file(Scenario& sc, std::string_view slotText, std::string_view value) {
    int slot = 0;
    if (!parse_int(slotText, slot) || slot < 0 || slot >= static_cast<int>(kRunFileCount))
        return "runfiles takes a slot from 0 to 14";
    const std::string path(value);
    sc.runfiles[static_cast<std::size_t>(slot)] = path;
    // The message and output data files keep their directory and name companions.
    if (slot == kMessage) {
        sc.msgdir = dir_part(path);
        sc.msgfile = file_name_part(path);
    } else if (slot == kOutputData) {
        sc.outdir = dir_part(path);
        sc.outfile = file_name_part(path);
    }
    return {};
}

} // namespace

std::string set_scenario_value(Scenario& sc, std::string_view name, std::string_view value) {
    // Every value is one line of the options file: a line break would end it there and
    // leave the rest as a stray line that the file is refused for.
    if (holds_line_break(value))
        return std::string(name) + " takes a single line, not " + quoted_showing_line_breaks(value);
    if (const auto it = text_items().find(name); it != text_items().end()) {
        sc.*(it->second.member) = std::string(value);
        sc.*(it->second.editFlag) = true;
        return {};
    }
    if (const auto it = index_items().find(name); it != index_items().end()) {
        int number = 0;
        if (!parse_int(value, number) || number < 0 || number > it->second.maximum)
            return std::string(name) + " takes a whole number from 0 to " +
                   std::to_string(it->second.maximum);
        sc.*(it->second.member) = static_cast<std::int16_t>(number);
        sc.*(it->second.editFlag) = true;
        return {};
    }
    if (name.starts_with("runfiles."))
        return set_run_file(sc, name.substr(9), value);
    if (name == "bmy_on" || name == "sources_on") {
        bool flag = false;
        if (value == "true" || value == "1")
            flag = true;
        else if (value != "false" && value != "0")
            return std::string(name) + " takes true or false";
        (name == "bmy_on" ? sc.bmy_on : sc.sources_on) = flag;
        if (name == "sources_on")
            sc.found_source = flag;
        return {};
    }
    return "unknown scenario item: " + std::string(name);
}

std::optional<std::string> get_scenario_value(const Scenario& sc, std::string_view name) {
    if (const auto it = text_items().find(name); it != text_items().end())
        return sc.*(it->second.member);
    if (const auto it = index_items().find(name); it != index_items().end())
        return std::to_string(sc.*(it->second.member));
    if (name.starts_with("runfiles.")) {
        int slot = 0;
        if (!parse_int(name.substr(9), slot) || slot < 0 || slot >= static_cast<int>(kRunFileCount))
            return std::nullopt;
        return sc.runfiles[static_cast<std::size_t>(slot)];
    }
    if (name == "bmy_on")
        return sc.bmy_on ? "true" : "false";
    if (name == "sources_on")
        return sc.sources_on ? "true" : "false";
    return std::nullopt;
}

std::vector<std::string> settable_scenario_names() {
    std::vector<std::string> names;
    for (const auto& [name, item] : text_items())
        names.push_back(name);
    for (const auto& [name, item] : index_items())
        names.push_back(name);
    names.push_back("runfiles.N");
    names.push_back("bmy_on");
    names.push_back("sources_on");
    return names;
}

} // namespace kv
