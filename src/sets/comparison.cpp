#include "sets/comparison.h"

#include "optionsfile/reader.h"
#include "optionsfile/writer.h"
#include "runs/batch.h"
#include "runs/kept_options.h"
#include "shell/file_commands.h"
#include "shell/session.h"

#include <fstream>
#include <sstream>

namespace kv {

namespace fs = std::filesystem;

std::vector<ComparisonRow> comparison_rows(const ScenarioDiff& diff) {
    std::vector<ComparisonRow> rows;
    for (const PacketDiff& packet : diff.packets) {
        for (const ValueChange& value : packet.values)
            rows.push_back({packet.packet, value.name, value.a, value.b});
        for (const std::string& entry : packet.removed)
            rows.push_back({packet.packet, "removed", entry, ""});
        for (const std::string& entry : packet.added)
            rows.push_back({packet.packet, "added", "", entry});
    }
    const std::string group(kOtherLinesGroup);
    std::istringstream lines(diff.otherLines);
    for (std::string line; std::getline(lines, line);) {
        const std::string text = line.empty() ? line : line.substr(1);
        if (line.starts_with("@@"))
            rows.push_back({group, line, "", ""});
        else if (line.starts_with('-'))
            rows.push_back({group, "removed", text, ""});
        else if (line.starts_with('+'))
            rows.push_back({group, "added", "", text});
        else
            rows.push_back({group, "", text, text});
    }
    return rows;
}

std::optional<ReadScenario> current_for_diff(Session& session) {
    if (session.scenario.foundNoPacket()) {
        session.message("There is no scenario to compare: open an options file first.");
        return std::nullopt;
    }
    ReadScenario current{session.scenario, {}};
    // The lines outside the managed packets come from the file the scenario was read from.
    std::ifstream templ(session.join(session.scenario.optdir, session.scenario.optfile),
                        std::ios::binary);
    std::ostringstream text;
    Scenario copy = session.scenario;
    if (templ && write_options_stream(copy, templ, text, session.rules, "").ok)
        current.text = text.str();
    return current;
}

std::optional<Comparison> compare_with_file(Session& session) {
    auto current = current_for_diff(session);
    if (!current)
        return std::nullopt;
    const auto choice =
        session.ui.chooseOpenFile(options_file_request(session, "Compare with option file "));
    if (!choice)
        return std::nullopt;
    std::vector<std::string> errors;
    const auto other = read_scenario_for_diff(batch_context(session), choice->path, errors);
    if (!other) {
        for (const std::string& error : errors)
            session.message(error);
        return std::nullopt;
    }
    return Comparison{diff_scenarios(*current, *other),
                      session.join(session.scenario.optdir, session.scenario.optfile),
                      choice->path};
}

std::optional<Comparison> compare_run_with_current(Session& session, const RunRecord& record) {
    std::string error;
    auto kept = read_kept_options(session.stateDir, record, error);
    std::vector<std::string> errors;
    std::optional<ReadScenario> run;
    if (kept)
        run = read_scenario_text_for_diff(batch_context(session), std::move(*kept),
                                          record.optionsFile, errors);
    else
        errors.push_back(error);
    if (!run) {
        for (const std::string& e : errors)
            session.message(e);
        return std::nullopt;
    }
    auto current = current_for_diff(session);
    if (!current)
        return std::nullopt;
    return Comparison{diff_scenarios(*run, *current), "run " + record.id,
                      session.join(session.scenario.optdir, session.scenario.optfile)};
}

bool open_run_as_untitled(Session& session, const RunRecord& record) {
    std::string error;
    const auto kept = read_kept_options(session.stateDir, record, error);
    if (!kept) {
        session.message(error);
        return false;
    }
    if (!settle_unsaved_changes(session))
        return false;
    // A copy of its own under the run's file name: a save in place could otherwise reach the
    // kept copy, which must stay as the run was given it.
    const fs::path folder = session.stateDir / std::string(kOpenedRunsFolder) / record.id;
    const fs::path copy = folder / fs::path(record.optionsFile).filename();
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::ofstream out(copy, std::ios::binary | std::ios::trunc);
    out.write(kept->data(), static_cast<std::streamsize>(kept->size()));
    out.close();
    if (!out) {
        session.message("Cannot write " + copy.string());
        return false;
    }
    if (read_options_file(session, copy.string()) != ReadOutcome::Loaded)
        return false;
    session.untitledCopyOf = record.optionsFile;
    return true;
}

std::optional<RunRecord> history_run(const Session& session, const std::string& id) {
    std::string error;
    return find_run(session.stateDir / std::string(kRunHistoryFileName), id, error);
}

} // namespace kv
