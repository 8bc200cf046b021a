#pragma once

#include "runs/batch.h"
#include "runs/end_notice.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class EditorEnvironment;
class LocalBatch;
class Session;

// Asked when the Batch window is closed while its batch runs, titled with the application's
// title.
inline constexpr std::string_view kStopBatchQuestion =
    "The batch is still running. Stop the batch and close the window?";

// The logic of the Batch window: the list of options files, the number of parallel runs,
// and the batch that runs them on this machine. The form calls advance() regularly while a
// batch is checked or runs (it never blocks for long), so the windows stay responsive: the
// pre-flight reads the files a slice at a time, under the busy pointer, and can be cancelled.
class BatchRunner {
public:
    // One row of the window per file.
    struct Row {
        std::string file;
        std::string state;      // "waiting", "running", "done", "failed", "refused", ...
        std::string exitStatus; // "0", "3", "signal 9"; empty when the model did not end
        std::string duration;   // "0.5 s"; empty until the run has ended
        std::string messageFile;
        std::string consoleFile; // the model's output, once it started
        std::string note;        // a refusal's or failure's messages, one per line
        bool finished = false;
    };

    explicit BatchRunner(Session& session);
    ~BatchRunner();
    BatchRunner(const BatchRunner&) = delete;
    BatchRunner& operator=(const BatchRunner&) = delete;

    const std::vector<std::string>& files() const { return files_; }
    // Add...: asks for options files and lists those not listed yet. Answers how many.
    std::size_t addFiles();
    // Add folder...: asks for a folder and lists its *.opt files (any case), sorted.
    std::size_t addFolder();
    // Lists files, and the *.opt files of folders, not listed yet; answers how many.
    std::size_t add(const std::vector<std::string>& paths);
    // Remove: takes the rows off the list (not while a batch runs).
    void remove(std::vector<std::size_t> rows);

    int parallel() const { return parallel_; }
    void setParallel(int n);

    // Run: starts checking the files; once they are checked (advance()), the batch starts, or
    // its refusal is shown in a message box. False when nothing started: no files, or a batch
    // checked or running already.
    bool run();
    // Does what is due (the next slice of the check, the batch's runs); true when a row
    // changed.
    bool advance();
    // Stop: during the check, cancels it (nothing has started); during the batch, every
    // running model is stopped and no further run starts.
    void stop();
    // Checking or running.
    bool running() const;
    bool checking() const { return check_ != nullptr; }
    // How long the form may wait before calling advance() again (ms).
    int pollTimeoutMs() const;

    // The rows: the files of the last batch as it left them, or the listed files waiting.
    std::vector<Row> rows() const;
    // The batch's progress; during the check, the files checked (done) of those listed.
    BatchProgress progress() const;
    std::string progressText() const;
    const std::string& batchId() const { return batchId_; }
    // The batch that is over: how long it took and how it ended, for the desktop; none while
    // it runs or when no batch ran.
    std::optional<EndNotice> endNotice() const;

    // Closing the window: true when it may close now. During a batch it asks
    // kStopBatchQuestion: Yes stops the batch (the window closes once it is over: call
    // closeWhenOver()), No keeps the window.
    bool mayClose();
    bool closeWhenOver() const { return closeWhenOver_; }
    // The program ends (Exit, the main window closed) during a batch: asks the same question;
    // Yes stops the batch (its models are waited for as the window goes) and answers true.
    bool mayEndProgram();
    // The program ends without anybody to ask (a termination signal), or was told Yes
    // already: the batch stops (its models are ended as Stop ends them, SIGKILL after the
    // grace period, as the window goes), and closing asks nothing any more.
    void stopForEnd();

    // A double click on a finished row: its message file in the text editor, or "Message
    // file not found: " and its path; for a file that did not reach its model, why not.
    void openMessageFile(std::size_t row, const EditorEnvironment& editors);
    // The console log of a running or finished row; empty when its model never started.
    std::string consoleLog(std::size_t row) const;

private:
    struct Check;
    void finishCheck();

    Session& session_;
    std::vector<std::string> files_;
    int parallel_ = 1;
    std::unique_ptr<Check> check_;
    std::unique_ptr<LocalBatch> batch_;
    std::vector<BatchRun> lastRuns_; // of the last batch, or a refused one
    std::string batchId_;
    std::string note_; // what the progress line says when no batch runs
    bool closeWhenOver_ = false;
    bool ending_ = false;
};

} // namespace kv
