#include "shell/batch.h"

#include "optionsfile/reader.h"
#include "shell/batch_session.h"
#include "shell/dialog_helpers.h"
#include "shell/file_commands.h"
#include "shell/run_history.h"
#include "shell/session.h"
#include "shell/status.h"
#include "shell/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <utility>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kv {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kOutcomeTexts[] = {"ok", "failed", "refused", "stopped", "not started"};

fs::path full_path(const fs::path& path, const fs::path& base) {
    return (path.is_absolute() ? path : base / path).lexically_normal();
}

bool is_options_file_name(const fs::path& path) {
    return iequals(path.extension().string(), ".opt");
}

// "0:12", "12:05", "1:02:03": a clock's reading, for times that run on.
std::string clock_text(double seconds) {
    const long total = std::lround(std::max(seconds, 0.0));
    char buf[32];
    if (total < 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld", total / 60, total % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    return buf;
}

// Columns a text takes on a terminal: its UTF-8 characters (a path's "ü" is one).
std::size_t shown_width(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
    }));
}

std::string exit_text(const BatchRun& run) {
    if (run.signal)
        return "signal " + std::to_string(*run.signal);
    if (run.exitStatus)
        return std::to_string(*run.exitStatus);
    return "-";
}

bool ran(const BatchRun& run) {
    return run.state == BatchRunState::Finished &&
           (run.exitStatus.has_value() || run.signal.has_value());
}

// An output file of a usable file, as the batch compares it with the others'.
struct OutputFile {
    std::size_t owner = 0; // index of the options file
    std::string path;
    std::string_view descriptor;
};

std::vector<OutputFile> output_files_of(const Scenario& sc, std::size_t owner,
                                        const BatchContext& context) {
    std::vector<OutputFile> files;
    const auto add = [&](const std::string& path, std::string_view descriptor) {
        if (path.empty())
            return;
        // The model runs in the model directory: a relative name lands there.
        std::string full = path;
        if (!context.rules.isAbsolute(full))
            full = context.rules.join(context.settings.modeldir, full);
        files.push_back({owner, fs::path(full).lexically_normal().string(), descriptor});
    };
    if (!sc.msgfile.empty())
        add(context.rules.join(sc.msgdir, sc.msgfile), "MESSAGE");
    if (!sc.outfile.empty())
        add(context.rules.join(sc.outdir, sc.outfile), "OUTPUT DATA");
    if (sc.bmy_on) {
        add(sc.runfiles[kExhaustBmyOut], "EXHAUST BMY OUT");
        add(sc.runfiles[kEvapBmyOut], "EVAP BMY OUT");
    }
    return files;
}

// The first pair of files that name one output file; the keys are the path's text (in any
// case where case does not count) and, for a file that exists, the file itself.
std::optional<std::pair<OutputFile, OutputFile>>
first_output_clash(const std::vector<OutputFile>& outputs, const PathRules& rules) {
    std::map<std::string, std::size_t> byName;
    std::map<std::pair<unsigned long long, unsigned long long>, std::size_t> byFile;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const OutputFile& out = outputs[i];
        const std::string key = rules.caseSensitive ? out.path : lower(out.path);
        const auto [at, added] = byName.emplace(key, i);
        if (!added && outputs[at->second].owner != out.owner)
            return std::pair{outputs[at->second], out};
#ifndef _WIN32
        struct stat st {};
        const std::string found = resolve_existing_path(out.path);
        if (!found.empty() && ::stat(found.c_str(), &st) == 0) {
            const auto [fat, fadded] = byFile.emplace(
                std::pair<unsigned long long, unsigned long long>{st.st_dev, st.st_ino}, i);
            if (!fadded && outputs[fat->second].owner != out.owner)
                return std::pair{outputs[fat->second], out};
        }
#endif
    }
    return std::nullopt;
}

} // namespace

std::string new_batch_id(std::chrono::system_clock::time_point now) {
    const std::tm local = local_time(std::chrono::system_clock::to_time_t(now));
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::random_device random;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(random() & 0xffffffU));
    return std::string(stamp) + "-" + suffix;
}

std::vector<std::string> batch_files_of(const std::vector<std::string>& arguments,
                                        const fs::path& base) {
    std::vector<std::string> files;
    for (const std::string& argument : arguments) {
        const fs::path path = full_path(argument, base);
        std::error_code ec;
        if (!fs::is_directory(path, ec)) {
            files.push_back(path.string());
            continue;
        }
        std::vector<fs::path> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(path, ec)) {
            std::error_code fileEc;
            if (is_options_file_name(entry.path()) && entry.is_regular_file(fileEc))
                found.push_back(entry.path());
        }
        std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
            return a.filename().string() < b.filename().string();
        });
        for (const fs::path& file : found)
            files.push_back(file.lexically_normal().string());
    }
    return files;
}

std::string_view batch_outcome_text(BatchOutcome outcome) {
    return kOutcomeTexts[static_cast<std::size_t>(outcome)];
}

std::string_view batch_state_text(const BatchRun& run) {
    switch (run.state) {
    case BatchRunState::Waiting:
        return "waiting";
    case BatchRunState::Running:
        return "running";
    case BatchRunState::Finished:
        break;
    }
    return run.outcome == BatchOutcome::Ok ? "done" : batch_outcome_text(run.outcome);
}

void finish_batch_run(BatchRun& run, const LaunchResult& launch, double durationSeconds) {
    const LaunchEnding ending = launch_ending(launch);
    run.state = BatchRunState::Finished;
    run.exitStatus = ending.exitStatus;
    run.signal = ending.signal;
    run.durationSeconds = launch.started ? durationSeconds : 0;
    switch (ending.outcome) {
    case HistoryOutcome::Ok:
        run.outcome = BatchOutcome::Ok;
        break;
    case HistoryOutcome::Stopped:
        run.outcome = BatchOutcome::Stopped;
        break;
    case HistoryOutcome::Failed:
    case HistoryOutcome::NotStarted: // a model that could not be started failed the file
        run.outcome = BatchOutcome::Failed;
        break;
    }
}

BatchContext batch_context(const Session& session) {
    BatchContext context;
    context.settings = session.settings;
    context.programDir = session.programDir;
    context.configDir = session.configDir;
    context.stateDir = session.stateDir;
    context.rules = session.rules;
    context.refdbs = &session.refdbs;
    return context;
}

void BatchSession::setCurrentFile(const std::string& path) {
    const fs::path full(path);
    Scenario& sc = session.scenario;
    sc.optdir = full.parent_path().string();
    sc.optfile = full.filename().string();
    sc.prevoptdir = sc.optdir;
    sc.prevoptfile = sc.optfile;
}

std::vector<std::string> BatchSession::takeMessages() {
    return std::exchange(ports.messages, {});
}

std::size_t BatchPreflight::runnable() const {
    return static_cast<std::size_t>(std::count_if(files.begin(), files.end(), [](const auto& f) {
        return f.run.state == BatchRunState::Waiting;
    }));
}

std::vector<BatchRun> BatchPreflight::runs() const {
    std::vector<BatchRun> runs;
    runs.reserve(files.size());
    for (const BatchFile& file : files)
        runs.push_back(file.run);
    return runs;
}

std::string output_clash_message(std::string_view first, std::string_view second,
                                 std::string_view path, std::string_view descriptor) {
    return "Batch refused: " + std::string(first) + " and " + std::string(second) + " both write " +
           std::string(path) + " (" + std::string(descriptor) + ")";
}

std::string strict_refusal_message(std::string_view file) {
    return "Batch refused: " + std::string(file) + " was refused (--strict)";
}

BatchPreflight preflight_batch(const BatchContext& context, const std::vector<std::string>& files,
                               bool strict) {
    BatchPreflight preflight;
    std::error_code ec;
    const fs::path startDir = fs::current_path(ec);
    // Reading a file refreshes the status, which makes the model directory current.
    struct RestoreCurrentDir {
        const fs::path& dir;
        ~RestoreCurrentDir() {
            std::error_code ignored;
            if (!dir.empty())
                fs::current_path(dir, ignored);
        }
    } restore{startDir};

    for (const std::string& file : files) {
        const std::string path = full_path(file, startDir).string();
        const bool named =
            std::any_of(preflight.files.begin(), preflight.files.end(), [&](const BatchFile& f) {
                return same_file(context.rules, f.run.optionsFile, path);
            });
        if (named)
            continue;
        // A session per file, as `kvopt check` reads each file afresh.
        BatchSession reader(context);
        reader.setCurrentFile(path);
        BatchFile entry;
        entry.run.optionsFile = path;
        if (read_options(reader.session) == ReadOutcome::Loaded) {
            const Scenario& sc = reader.session.scenario;
            if (!sc.msgfile.empty())
                entry.run.messageFile = reader.session.join(sc.msgdir, sc.msgfile);
            if (!sc.outfile.empty())
                entry.run.outputFile = reader.session.join(sc.outdir, sc.outfile);
            entry.scenario = sc;
        } else {
            entry.run.state = BatchRunState::Finished;
            entry.run.outcome = BatchOutcome::Refused;
            entry.run.messages = reader.takeMessages();
            if (entry.run.messages.empty())
                entry.run.messages.push_back("Options file refused: " + path);
            if (strict)
                preflight.errors.push_back(strict_refusal_message(path));
        }
        preflight.files.push_back(std::move(entry));
    }

    std::vector<OutputFile> outputs;
    for (std::size_t i = 0; i < preflight.files.size(); ++i) {
        const BatchFile& f = preflight.files[i];
        if (f.run.state == BatchRunState::Waiting) {
            auto own = output_files_of(f.scenario, i, context);
            outputs.insert(outputs.end(), own.begin(), own.end());
        }
    }
    std::vector<std::size_t> clashing;
    if (const auto clash = first_output_clash(outputs, context.rules)) {
        const auto& [a, b] = *clash;
        const std::string message =
            output_clash_message(preflight.files[a.owner].run.optionsFile,
                                 preflight.files[b.owner].run.optionsFile, b.path, b.descriptor);
        preflight.errors.push_back(message);
        for (const std::size_t owner : {a.owner, b.owner}) {
            BatchRun& run = preflight.files[owner].run;
            run.state = BatchRunState::Finished;
            run.outcome = BatchOutcome::Refused;
            run.messages = {message};
        }
    }
    if (preflight.refused()) {
        for (BatchFile& f : preflight.files) {
            if (f.run.state == BatchRunState::Waiting) {
                f.run.state = BatchRunState::Finished;
                f.run.outcome = BatchOutcome::NotStarted;
            }
        }
    }
    return preflight;
}

std::array<int, kBatchOutcomes.size()> batch_counts(const std::vector<BatchRun>& runs) {
    std::array<int, kBatchOutcomes.size()> counts{};
    for (const BatchRun& run : runs) {
        if (run.state == BatchRunState::Finished)
            ++counts[static_cast<std::size_t>(run.outcome)];
    }
    return counts;
}

std::string batch_summary_table(const std::vector<BatchRun>& runs, const fs::path& relativeTo) {
    std::vector<std::array<std::string, 5>> rows;
    rows.push_back({"File", "Outcome", "Exit status", "Duration", "Message file"});
    for (const BatchRun& run : runs) {
        rows.push_back(
            {batch_shown_path(run.optionsFile, relativeTo),
             // The outcome as the JSON and the run history name it; the state until then.
             std::string(run.state == BatchRunState::Finished ? batch_outcome_text(run.outcome)
                                                              : batch_state_text(run)),
             exit_text(run), ran(run) ? duration_text(run.durationSeconds) : "-",
             run.messageFile.empty() ? "-" : batch_shown_path(run.messageFile, relativeTo)});
    }
    std::array<std::size_t, 5> width{};
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c)
            width[c] = std::max(width[c], shown_width(row[c]));
    }
    std::string text;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line += std::string(width[c] - shown_width(row[c]) + 2, ' ');
        }
        text += line + '\n';
    }
    return text;
}

std::string batch_summary_json(std::string_view batchId, const std::vector<BatchRun>& runs) {
    using json = nlohmann::ordered_json;
    json list = json::array();
    for (const BatchRun& run : runs) {
        json entry;
        entry["file"] = run.optionsFile;
        entry["outcome"] = run.state == BatchRunState::Finished
                               ? batch_outcome_text(run.outcome)
                               : batch_outcome_text(BatchOutcome::NotStarted);
        entry["exit_status"] = run.exitStatus ? json(*run.exitStatus) : json(nullptr);
        entry["signal"] = run.signal ? json(*run.signal) : json(nullptr);
        entry["duration_s"] = std::round(run.durationSeconds * 1000) / 1000;
        entry["message_file"] = run.messageFile.empty() ? json(nullptr) : json(run.messageFile);
        if (!run.messages.empty())
            entry["messages"] = run.messages;
        list.push_back(std::move(entry));
    }
    json counts = json::object();
    const auto numbers = batch_counts(runs);
    for (const BatchOutcome outcome : kBatchOutcomes)
        counts[std::string(batch_outcome_text(outcome))] =
            numbers[static_cast<std::size_t>(outcome)];
    json summary;
    summary["batch"] = std::string(batchId);
    summary["runs"] = std::move(list);
    summary["counts"] = std::move(counts);
    return summary.dump(2, ' ', false, json::error_handler_t::replace) + '\n';
}

int batch_exit_status(const std::vector<BatchRun>& runs, int stopSignal) {
    if (stopSignal != 0)
        return 128 + stopSignal;
    const bool allOk = std::all_of(runs.begin(), runs.end(), [](const BatchRun& run) {
        return run.state == BatchRunState::Finished && run.outcome == BatchOutcome::Ok;
    });
    return allOk ? 0 : 1;
}

BatchProgress batch_progress(const std::vector<BatchRun>& runs, double elapsedSeconds) {
    BatchProgress p;
    p.elapsedSeconds = elapsedSeconds;
    for (const BatchRun& run : runs) {
        if (run.state == BatchRunState::Finished && run.outcome == BatchOutcome::Refused)
            continue;
        ++p.total;
        if (run.state == BatchRunState::Running)
            ++p.running;
        if (run.state == BatchRunState::Finished) {
            ++p.done;
            if (run.outcome == BatchOutcome::Failed)
                ++p.failed;
        }
    }
    // Runs so far took this long each on average, the parallel ones overlapping.
    if (p.done > 0 && p.done < p.total)
        p.remainingSeconds = elapsedSeconds / p.done * (p.total - p.done);
    return p;
}

std::string batch_progress_line(const BatchProgress& p) {
    std::string line = std::to_string(p.done) + "/" + std::to_string(p.total) + " done, " +
                       std::to_string(p.running) + " running, " + std::to_string(p.failed) +
                       " failed, " + clock_text(p.elapsedSeconds) + " elapsed";
    if (p.remainingSeconds)
        line += ", about " + clock_text(*p.remainingSeconds) + " left";
    return line;
}

std::string batch_over_line(const std::vector<BatchRun>& runs) {
    const auto counts = batch_counts(runs);
    const auto count = [&counts](BatchOutcome outcome) {
        return counts[static_cast<std::size_t>(outcome)];
    };
    std::string line = std::to_string(count(BatchOutcome::Ok) + count(BatchOutcome::Failed) +
                                      count(BatchOutcome::Stopped)) +
                       " finished: " + std::to_string(count(BatchOutcome::Ok)) + " ok, " +
                       std::to_string(count(BatchOutcome::Failed)) + " failed";
    for (const BatchOutcome outcome :
         {BatchOutcome::Stopped, BatchOutcome::NotStarted, BatchOutcome::Refused}) {
        if (count(outcome) > 0)
            line += ", " + std::to_string(count(outcome)) + " " +
                    std::string(batch_outcome_text(outcome));
    }
    return line;
}

std::string batch_shown_path(const std::string& path, const fs::path& relativeTo) {
    if (relativeTo.empty() || path.empty())
        return escape_control_characters(path);
    const fs::path rel = fs::path(path).lexically_relative(relativeTo);
    if (rel.empty() || *rel.begin() == "..")
        return escape_control_characters(path);
    return escape_control_characters(rel.string());
}

std::string batch_finished_line(const BatchRun& run, const fs::path& relativeTo) {
    std::string line =
        std::string(batch_state_text(run)) + "  " + batch_shown_path(run.optionsFile, relativeTo);
    if (run.signal)
        line += "  signal " + std::to_string(*run.signal);
    else if (run.exitStatus)
        line += "  exit status " + std::to_string(*run.exitStatus);
    if (ran(run))
        line += "  " + duration_text(run.durationSeconds);
    if (!run.messages.empty()) {
        std::string message = run.messages.front();
        std::replace(message.begin(), message.end(), '\n', ' ');
        line += "  " + escape_control_characters(message);
    }
    return line;
}

} // namespace kv
