#include "sets/scenario_diff.h"

#include "optionsfile/format.h"
#include "optionsfile/line_source.h"
#include "optionsfile/packet_bounds.h"
#include "optionsfile/reader.h"
#include "optionsfile/scenario_values.h"
#include "optionsfile/writer.h"
#include "runs/batch_session.h"
#include "shell/current_dir.h"
#include "shell/text.h"

#include <algorithm>
#include <dtl/dtl.hpp>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

namespace kv {

namespace {

using format::Packet;

// The packets in the order the writer writes them, with the values each holds.
struct PacketValues {
    Packet packet;
    std::vector<std::string> names;
};

std::vector<std::string> run_file_names(std::size_t first, std::size_t last) {
    std::vector<std::string> names;
    for (std::size_t slot = first; slot <= last; ++slot) {
        if (slot != kExhaustBmyOut && slot != kEvapBmyOut)
            names.push_back("runfiles." + std::to_string(slot));
    }
    return names;
}

const std::vector<PacketValues>& packet_values() {
    static const std::vector<PacketValues> table = {
        {Packet::Runfiles, run_file_names(0, kEvapBmyOut)},
        {Packet::Options,
         {"title1str", "title2str", "fulrvpstr", "pcoxygenstr", "so2gasstr", "so2dieselstr",
          "so2marinedieselstr", "so2cngstr", "mintempstr", "maxtempstr", "avgtempstr",
          "altitudestr"}},
        {Packet::StageII, {"stage2str"}},
        {Packet::Period,
         {"periodindex", "ptypeindex", "yearstr", "seasonindex", "monthindex", "weekindex",
          "growthyearstr", "techyearstr"}},
        {Packet::Region, {"regionlevel"}},
        {Packet::SourceCategory, {"sources_on"}},
        {Packet::AllocFiles, {}},
        {Packet::PopFiles, {}},
        {Packet::GrowthFiles, {}},
        {Packet::EmfacFiles, {}},
        {Packet::DeteriorateFiles, {}},
        {Packet::ModelyearOut, {"bmy_on"}},
        {Packet::DailyFiles, {"runfiles." + std::to_string(kDailyTempsRvp)}},
    };
    return table;
}

std::string region_entry(const RegionCls& region) {
    std::string name = region.isState || region.county.empty() || region.county == "*****"
                           ? region.statename
                           : region.county + ", " + region.statename;
    return name.empty() ? region.code : region.code + " " + name;
}

std::vector<std::string> factor_entries(const std::array<std::string, kFactorSlotCount>& files) {
    std::vector<std::string> entries;
    for (std::size_t slot = 0; slot < format::kPollutantLabels.size(); ++slot) {
        if (!files[slot].empty())
            entries.push_back(std::string(format::kPollutantLabels[slot]) + ": " + files[slot]);
    }
    return entries;
}

// The entries of a list packet, each as one line of text.
std::vector<std::string> list_entries(const Scenario& sc, Packet packet) {
    std::vector<std::string> entries;
    switch (packet) {
    case Packet::Region:
        for (const auto& region : sc.regions)
            entries.push_back(region_entry(*region));
        break;
    case Packet::SourceCategory:
        for (std::size_t i = 0; i < sc.sourceCount(); ++i)
            entries.push_back(trim(sc.sources[i].scc + " " + sc.sources[i].description));
        break;
    case Packet::AllocFiles:
    case Packet::PopFiles:
        for (const auto& file : packet == Packet::AllocFiles ? sc.allocfiles : sc.popfiles)
            entries.push_back(trim(file->descriptor + " " + file->allocfile));
        break;
    case Packet::GrowthFiles:
        entries.assign(sc.growthfiles.begin(),
                       sc.growthfiles.begin() + static_cast<std::ptrdiff_t>(sc.growthCount()));
        break;
    case Packet::EmfacFiles:
        entries = factor_entries(sc.emfacfiles);
        break;
    case Packet::DeteriorateFiles:
        entries = factor_entries(sc.detfiles);
        break;
    default:
        break;
    }
    return entries;
}

// The entries of `from` that `other` does not hold, as many times as `from` holds them more.
std::vector<std::string> missing_from(const std::vector<std::string>& from,
                                      const std::vector<std::string>& other) {
    std::map<std::string_view, int> count;
    for (const std::string& entry : other)
        ++count[entry];
    std::vector<std::string> missing;
    for (const std::string& entry : from) {
        if (--count[entry] < 0)
            missing.push_back(entry);
    }
    return missing;
}

// The lines outside the managed packets: between packets and in packets this program does
// not manage, without the header lines a save drops or writes anew.
std::vector<std::string> other_lines(const std::string& text) {
    LineSource lines(text);
    std::vector<std::string> kept;
    std::string line;
    while (lines.next(line)) {
        const auto start = packet_started_by(line);
        if (start && start->managed) {
            PacketBody(lines, start->managed).skip();
            continue;
        }
        if (!start) {
            if (!is_old_header_line(line) && !line.starts_with(format::kHeaderText))
                kept.push_back(line);
            continue;
        }
        kept.push_back(line);
        PacketBody body(lines, std::nullopt);
        std::string bodyLine;
        while (body.next(bodyLine))
            kept.push_back(bodyLine);
        if (body.end() == PacketBody::End::Terminator)
            kept.push_back(body.terminator());
    }
    return kept;
}

std::string unified_diff(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a == b)
        return {};
    dtl::Diff<std::string> diff(a, b);
    diff.compose();
    diff.composeUnifiedHunks();
    std::ostringstream out;
    diff.printUnifiedFormat(out);
    return out.str();
}

std::optional<ReadScenario> read_text(const BatchContext& context, std::string text,
                                      const std::string& path, std::vector<std::string>& errors) {
    const KeepCurrentDir keepDir;
    BatchSession reader(context);
    reader.setCurrentFile(path);
    std::istringstream in(text);
    if (read_options_stream(reader.session, in, path) != ReadOutcome::Loaded) {
        std::string error = path + " was refused";
        for (const std::string& message : reader.takeMessages())
            error += "\n" + message;
        errors.push_back(std::move(error));
        return std::nullopt;
    }
    return ReadScenario{std::move(reader.session.scenario), std::move(text)};
}

} // namespace

std::optional<ReadScenario> read_scenario_for_diff(const BatchContext& context,
                                                   const std::string& path,
                                                   std::vector<std::string>& errors) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in.is_open() || in.bad()) {
        errors.push_back("Cannot read " + path);
        return std::nullopt;
    }
    return read_text(context, text.str(), path, errors);
}

std::optional<ReadScenario> read_scenario_text_for_diff(const BatchContext& context,
                                                        std::string text, const std::string& path,
                                                        std::vector<std::string>& errors) {
    return read_text(context, std::move(text), path, errors);
}

ScenarioDiff diff_scenarios(const ReadScenario& a, const ReadScenario& b) {
    ScenarioDiff diff;
    for (const PacketValues& packet : packet_values()) {
        PacketDiff changes;
        changes.packet = std::string(format::packet_name(packet.packet));
        for (const std::string& name : packet.names) {
            const std::string va = get_scenario_value(a.scenario, name).value_or("");
            const std::string vb = get_scenario_value(b.scenario, name).value_or("");
            if (va != vb)
                changes.values.push_back({name, va, vb});
        }
        const std::vector<std::string> entriesA = list_entries(a.scenario, packet.packet);
        const std::vector<std::string> entriesB = list_entries(b.scenario, packet.packet);
        changes.removed = missing_from(entriesA, entriesB);
        changes.added = missing_from(entriesB, entriesA);
        if (!changes.values.empty() || !changes.removed.empty() || !changes.added.empty())
            diff.packets.push_back(std::move(changes));
    }
    diff.otherLines = unified_diff(other_lines(a.text), other_lines(b.text));
    return diff;
}

std::string diff_text(const ScenarioDiff& diff, std::string_view nameA, std::string_view nameB) {
    if (diff.same())
        return {};
    // A name or value may hold any byte: each line shows it escaped.
    const auto shown = [](std::string_view text) { return escape_control_characters(text); };
    std::string out = "--- " + shown(nameA) + "\n+++ " + shown(nameB) + "\n";
    for (const PacketDiff& packet : diff.packets) {
        out += packet.packet + "\n";
        for (const ValueChange& value : packet.values)
            out += "  " + value.name + ": " + shown(value.a) + " -> " + shown(value.b) + "\n";
        for (const std::string& entry : packet.removed)
            out += "  - " + shown(entry) + "\n";
        for (const std::string& entry : packet.added)
            out += "  + " + shown(entry) + "\n";
    }
    if (!diff.otherLines.empty()) {
        out += "Lines outside the managed packets:\n";
        std::istringstream lines(diff.otherLines);
        for (std::string line; std::getline(lines, line);)
            out += shown(line) + "\n";
    }
    return out;
}

std::string diff_json(const ScenarioDiff& diff, std::string_view nameA, std::string_view nameB) {
    nlohmann::json packets = nlohmann::json::array();
    for (const PacketDiff& packet : diff.packets) {
        nlohmann::json values = nlohmann::json::array();
        for (const ValueChange& value : packet.values)
            values.push_back({{"name", value.name}, {"a", value.a}, {"b", value.b}});
        packets.push_back({{"packet", packet.packet},
                           {"values", values},
                           {"removed", packet.removed},
                           {"added", packet.added}});
    }
    const nlohmann::json j = {{"a", nameA},
                              {"b", nameB},
                              {"same", diff.same()},
                              {"packets", packets},
                              {"other_lines", diff.otherLines}};
    // Bytes that are not UTF-8 are replaced rather than refused.
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

} // namespace kv
