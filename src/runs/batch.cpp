#include "runs/batch.h"

#include "optionsfile/reader.h"
#include "runs/batch_session.h"
#include "runs/run_history.h"
#include "shell/current_dir.h"
#include "shell/session.h"
#include "shell/status.h"
#include "shell/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <utility>

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

constexpr std::string_view kBatchRefused = "Batch refused: ";

std::string output_clash_text(std::string_view first, std::string_view second,
                              std::string_view path, std::string_view descriptor) {
    return std::string(first) + " and " + std::string(second) + " both write " + std::string(path) +
           " (" + std::string(descriptor) + ")";
}

std::string options_clash_text(std::string_view writer, std::string_view optionsFile,
                               std::string_view descriptor) {
    return std::string(writer) + " writes its " + std::string(descriptor) + " file over " +
           std::string(optionsFile) + ", another options file of the batch";
}

bool ran(const BatchRun& run) {
    return run.state == BatchRunState::Finished &&
           (run.exitStatus.has_value() || run.signal.has_value());
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
    return std::string(kBatchRefused) + output_clash_text(first, second, path, descriptor);
}

std::string options_clash_message(std::string_view writer, std::string_view optionsFile,
                                  std::string_view descriptor) {
    return std::string(kBatchRefused) + options_clash_text(writer, optionsFile, descriptor);
}

std::string clash_text(const BatchClaims::Clash& clash, std::string_view writer,
                       std::string_view other) {
    return clash.optionsFile ? options_clash_text(writer, other, clash.descriptor)
                             : output_clash_text(other, writer, clash.path, clash.descriptor);
}

std::string strict_refusal_message(std::string_view file) {
    return std::string(kBatchRefused) + std::string(file) + " was refused (--strict)";
}

std::string file_sha256(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream content;
    content << in.rdbuf();
    return in.bad() ? std::string() : sha256_hex(content.view());
}

BatchFile read_batch_file(const BatchContext& context, const std::string& path) {
    // Reading a file refreshes the status, which makes the model directory current.
    const KeepCurrentDir keepDir;

    BatchFile entry;
    entry.run.optionsFile = path;
    // Hashed before the reading: a change while it is read shows as a change at the run.
    entry.sha256 = file_sha256(path);
    // A session per file, as `kvopt check` reads each file afresh.
    BatchSession reader(context);
    reader.setCurrentFile(path);
    if (read_options(reader.session) == ReadOutcome::Loaded) {
        const Scenario& sc = reader.session.scenario;
        if (!sc.msgfile.empty())
            entry.run.messageFile = reader.session.join(sc.msgdir, sc.msgfile);
        if (!sc.outfile.empty())
            entry.run.outputFile = reader.session.join(sc.outdir, sc.outfile);
        entry.scenario = std::move(reader.session.scenario); // the session goes with this call
    } else {
        entry.run.state = BatchRunState::Finished;
        entry.run.outcome = BatchOutcome::Refused;
        entry.run.messages = reader.takeMessages();
        if (entry.run.messages.empty())
            entry.run.messages.push_back("Options file refused: " + path);
    }
    return entry;
}

BatchPreflighter::BatchPreflighter(BatchContext context, std::vector<std::string> files,
                                   bool strict)
    : context_(std::move(context)), files_(std::move(files)), strict_(strict),
      named_(context_.rules) {
    preflight_.claims = BatchClaims(context_.settings.modeldir, context_.rules);
    std::error_code ec;
    const fs::path base = fs::current_path(ec);
    for (std::string& file : files_)
        file = full_path(file, base).string();
}

bool BatchPreflighter::readNext() {
    if (next_ >= files_.size())
        return false;
    const std::string& path = files_[next_++];
    // The same file named twice (by the same text, or reached another way) runs once.
    if (!named_.add(path))
        return next_ < files_.size();
    BatchFile entry = read_batch_file(context_, path);
    if (entry.run.outcome == BatchOutcome::Refused && strict_)
        preflight_.errors.push_back(strict_refusal_message(path));
    const std::size_t index = preflight_.files.size();
    preflight_.files.push_back(std::move(entry));
    const BatchFile& f = preflight_.files.back();
    if (!clash_)
        clash_ = preflight_.claims.addOptionsFile(index, path);
    if (!clash_ && f.run.state == BatchRunState::Waiting)
        clash_ = preflight_.claims.claimOutputs(index, f.scenario);
    return next_ < files_.size();
}

BatchPreflight BatchPreflighter::finish() {
    BatchPreflight preflight = std::move(preflight_);
    preflight_ = BatchPreflight();
    preflight.stopped = next_ < files_.size();
    for (std::size_t i = next_; i < files_.size(); ++i) {
        BatchFile unread;
        unread.run.optionsFile = files_[i];
        unread.run.state = BatchRunState::Finished;
        unread.run.outcome = BatchOutcome::NotStarted;
        preflight.files.push_back(std::move(unread));
    }
    next_ = files_.size();

    if (clash_) {
        const std::string message =
            std::string(kBatchRefused) + clash_text(*clash_,
                                                    preflight.files[clash_->writer].run.optionsFile,
                                                    preflight.files[clash_->other].run.optionsFile);
        preflight.errors.push_back(message);
        for (const std::size_t owner : {clash_->other, clash_->writer}) {
            BatchRun& run = preflight.files[owner].run;
            run.state = BatchRunState::Finished;
            run.outcome = BatchOutcome::Refused;
            run.messages = {message};
        }
        clash_.reset();
    }
    if (preflight.refused() || preflight.stopped) {
        for (BatchFile& f : preflight.files) {
            if (f.run.state == BatchRunState::Waiting) {
                f.run.state = BatchRunState::Finished;
                f.run.outcome = BatchOutcome::NotStarted;
            }
        }
    }
    return preflight;
}

BatchPreflight preflight_batch(const BatchContext& context, const std::vector<std::string>& files,
                               bool strict, const std::function<bool()>& stopRequested) {
    BatchPreflighter preflighter(context, files, strict);
    while (!(stopRequested && stopRequested()) && preflighter.readNext()) {
    }
    return preflighter.finish();
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
        entry["console_file"] = run.consoleFile.empty() ? json(nullptr) : json(run.consoleFile);
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
