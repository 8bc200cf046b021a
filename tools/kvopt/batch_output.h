#pragma once

#include "commands.h"
#include "runs/batch.h"

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {
class Session;
class StopRequest;
} // namespace kv

namespace kvopt {

// The options of `kvopt batch` that every way of running the batch shares.
struct BatchArgs {
    std::vector<std::string> files; // files and folders, as given
    int parallel = 0;               // -j; 0: the processors this process may use
    bool strict = false;            // a refused file refuses the whole batch
    bool json = false;              // the summary as JSON on standard output
    std::string modelExe;           // --model-exe
};

// A batch whose files were found and checked, ready to run here or on a cluster.
struct CheckedBatch {
    std::vector<std::string> files;
    kv::BatchContext context;
    kv::BatchPreflight preflight;
};

// Takes --model-exe into the session, lists the files of the batch and runs the pre-flight,
// whose findings go to standard error; a request on `stop` ends it before the next file.
// Nothing (with `exitCode` set) when no core model is known or no options file was found.
std::optional<CheckedBatch> check_batch(const Globals& globals, const BatchArgs& args,
                                        kv::Session& session, int& exitCode,
                                        const kv::StopRequest* stop);

// What the pre-flight found, on a stream (standard error): each refused file with its
// messages, then why the whole batch is refused when it is.
void print_preflight(std::ostream& out, const kv::BatchPreflight& preflight,
                     const std::filesystem::path& relativeTo);

// Each message indented under the line that names its file, its later lines too; a name in a
// line is shown escaped.
void print_messages_indented(std::ostream& out, const std::vector<std::string>& messages);

// An error of a command: "kvopt COMMAND: " and its first line, then its later lines (the
// messages that explain it) indented.
void print_command_error(std::ostream& out, std::string_view command, const std::string& error);

// A batch's progress on a stream (standard error): on a terminal one line redrawn in place
// (done, running, failed, elapsed, time left), otherwise one line per finished run (files
// refused by the pre-flight are left to print_preflight).
class BatchProgressPrinter {
public:
    BatchProgressPrinter(std::ostream& out, bool terminal, std::filesystem::path relativeTo);

    // Shows the state of `runs`: redraws the line, or prints the runs finished since the last
    // call (a refused file at the first call).
    void update(const std::vector<kv::BatchRun>& runs, double elapsedSeconds);
    // Ends the redrawn line, so what follows starts on a line of its own.
    void finish();

private:
    std::ostream& out_;
    bool terminal_;
    std::filesystem::path relativeTo_;
    std::vector<bool> shown_; // finished runs already printed
    std::size_t lastWidth_ = 0;
};

// Prints the summary on `out`: the table, or with `json` the JSON object.
void print_batch_summary(std::ostream& out, const std::string& batchId,
                         const std::vector<kv::BatchRun>& runs, bool json,
                         const std::filesystem::path& relativeTo);

// Whether the stream's descriptor is a terminal (standard error for the progress).
bool is_terminal(int fd);

} // namespace kvopt
