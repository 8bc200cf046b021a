#include "runs/batch_runner.h"

#include "runs/local_batch.h"
#include "runs/run_history.h"
#include "shell/dialog_helpers.h"
#include "shell/editor_launch.h"
#include "shell/file_commands.h"
#include "shell/session.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace kv {

namespace {

// How long one slice of the check may take before the window gets its turn.
constexpr std::chrono::milliseconds kCheckSlice{30};

constexpr std::string_view kOptionFilesFilter = "Option files (*.opt)|*.opt|All files (*.*)|*.*";

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

BatchRunner::Row row_of(const BatchRun& run) {
    BatchRunner::Row row;
    row.file = run.optionsFile;
    row.state = std::string(batch_state_text(run));
    row.finished = run.state == BatchRunState::Finished;
    if (run.signal)
        row.exitStatus = "signal " + std::to_string(*run.signal);
    else if (run.exitStatus)
        row.exitStatus = std::to_string(*run.exitStatus);
    if (run.exitStatus || run.signal)
        row.duration = duration_text(run.durationSeconds);
    row.messageFile = run.messageFile;
    row.consoleFile = run.consoleFile;
    row.note = joined(run.messages);
    return row;
}

} // namespace

// The files being checked, under the busy pointer.
struct BatchRunner::Check {
    Check(Session& session, std::vector<std::string> files)
        : preflighter(batch_context(session), std::move(files), false), busy(session.ui) {}
    BatchPreflighter preflighter;
    BusyPointer busy;
};

BatchRunner::BatchRunner(Session& session) : session_(session), parallel_(available_processors()) {}

BatchRunner::~BatchRunner() = default;

std::size_t BatchRunner::add(const std::vector<std::string>& paths) {
    if (running())
        return 0;
    DistinctFiles listed(session_.rules);
    for (const std::string& file : files_)
        listed.add(file);
    std::error_code ec;
    std::size_t added = 0;
    for (const std::string& file : batch_files_of(paths, std::filesystem::current_path(ec))) {
        if (listed.add(file)) {
            files_.push_back(file);
            ++added;
        }
    }
    if (added > 0) {
        batch_.reset();
        lastRuns_.clear();
        note_.clear();
    }
    return added;
}

std::size_t BatchRunner::addFiles() {
    FileDialogRequest request;
    request.title = "Select option files";
    request.filter = std::string(kOptionFilesFilter);
    request.initialDir = session_.scenario.optdir;
    return add(session_.ui.choosePaths(request, PathKind::Files));
}

std::size_t BatchRunner::addFolder() {
    FileDialogRequest request;
    request.title = "Select a folder of option files";
    request.initialDir = session_.scenario.optdir;
    return add(session_.ui.choosePaths(request, PathKind::Folder));
}

void BatchRunner::remove(std::vector<std::size_t> rows) {
    if (running())
        return;
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (const std::size_t row : rows) {
        if (row < files_.size())
            files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(row));
    }
    batch_.reset();
    lastRuns_.clear();
    note_.clear();
}

void BatchRunner::setParallel(int n) {
    parallel_ = std::max(n, 1);
}

bool BatchRunner::run() {
    if (running() || files_.empty())
        return false;
    batch_.reset();
    lastRuns_.clear();
    batchId_.clear();
    note_.clear();
    closeWhenOver_ = false;
    check_ = std::make_unique<Check>(session_, files_);
    return true;
}

void BatchRunner::finishCheck() {
    BatchPreflight preflight = check_->preflighter.finish();
    check_.reset();
    lastRuns_ = preflight.runs();
    if (preflight.refused()) {
        session_.message(joined(preflight.errors), MessageIcon::Exclamation);
        return;
    }
    batch_ = std::make_unique<LocalBatch>(batch_context(session_), std::move(preflight),
                                          LocalBatch::Options{parallel_, {}});
    batchId_ = batch_->id();
    // The first runs start at the next advance(): the window has its turn in between.
}

bool BatchRunner::advance() {
    if (check_) {
        // The comparison of the files read gets a slice of its own.
        BatchPreflighter& preflighter = check_->preflighter;
        if (preflighter.filesRead() == preflighter.filesGiven()) {
            finishCheck();
            return true;
        }
        const auto until = std::chrono::steady_clock::now() + kCheckSlice;
        while (preflighter.readNext() && std::chrono::steady_clock::now() < until) {
        }
        return false;
    }
    if (!batch_)
        return false;
    const auto before = batch_->runs();
    const bool wasOver = batch_->over();
    batch_->advance();
    const auto& after = batch_->runs();
    bool changed = wasOver != batch_->over();
    for (std::size_t i = 0; i < after.size() && !changed; ++i)
        changed = after[i].state != before[i].state;
    return changed;
}

void BatchRunner::stop() {
    if (check_) {
        check_.reset();
        note_ = "Check cancelled: nothing was run";
        return;
    }
    if (running())
        batch_->stop();
}

bool BatchRunner::running() const {
    return check_ != nullptr || (batch_ && !batch_->over());
}

int BatchRunner::pollTimeoutMs() const {
    if (check_)
        return 0;
    return batch_ ? batch_->pollTimeoutMs() : -1;
}

std::vector<BatchRunner::Row> BatchRunner::rows() const {
    std::vector<Row> rows;
    if (batch_ || !lastRuns_.empty()) {
        for (const BatchRun& run : batch_ ? batch_->runs() : lastRuns_)
            rows.push_back(row_of(run));
        return rows;
    }
    for (const std::string& file : files_) {
        BatchRun run;
        run.optionsFile = file;
        rows.push_back(row_of(run));
    }
    return rows;
}

BatchProgress BatchRunner::progress() const {
    if (check_) {
        BatchProgress checked;
        checked.total = static_cast<int>(check_->preflighter.filesGiven());
        checked.done = static_cast<int>(check_->preflighter.filesRead());
        return checked;
    }
    if (batch_)
        return batch_->progress();
    return batch_progress(lastRuns_, 0);
}

std::string BatchRunner::progressText() const {
    if (check_)
        return "Checking the options files: " + std::to_string(check_->preflighter.filesRead()) +
               " of " + std::to_string(check_->preflighter.filesGiven());
    if (!batch_)
        return note_;
    return batch_->over() ? batch_over_line(batch_->runs())
                          : batch_progress_line(batch_->progress());
}

std::optional<EndNotice> BatchRunner::endNotice() const {
    if (!batch_ || !batch_->over())
        return std::nullopt;
    return batch_end_notice(batch_->runs(), batch_->progress().elapsedSeconds);
}

bool BatchRunner::mayClose() {
    if (check_)
        stop(); // nothing has started: nothing to ask
    if (!running() || ending_)
        return true;
    if (closeWhenOver_)
        return false;
    if (!session_.ui.askYesNo(std::string(kStopBatchQuestion), std::string(kAppTitle)))
        return false;
    stop();
    closeWhenOver_ = running();
    return !closeWhenOver_;
}

bool BatchRunner::mayEndProgram() {
    if (check_)
        stop();
    if (!running() || closeWhenOver_ || ending_)
        return true;
    if (!session_.ui.askYesNo(std::string(kStopBatchQuestion), std::string(kAppTitle)))
        return false;
    stopForEnd();
    return true;
}

void BatchRunner::stopForEnd() {
    ending_ = true;
    stop();
}

void BatchRunner::openMessageFile(std::size_t row, const EditorEnvironment& editors) {
    const std::vector<Row> all = rows();
    if (row >= all.size() || !all[row].finished)
        return;
    // A file that never reached its model (refused, not saved, not started) has no message
    // file of this batch: its row's messages say why.
    if (all[row].exitStatus.empty() && !all[row].note.empty()) {
        session_.message(all[row].note, MessageIcon::Exclamation);
        return;
    }
    open_run_message_file(session_, editors, all[row].messageFile);
}

std::string BatchRunner::consoleLog(std::size_t row) const {
    const std::vector<Row> all = rows();
    return row < all.size() ? all[row].consoleFile : std::string();
}

} // namespace kv
