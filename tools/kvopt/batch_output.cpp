#include "batch_output.h"

#include "runs/stop_request.h"
#include "shell/session.h"
#include "shell/text.h"

#include <algorithm>
#include <iostream>
#include <ostream>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kvopt {

std::optional<CheckedBatch> check_batch(const Globals& globals, const BatchArgs& args,
                                        kv::Session& session, int& exitCode,
                                        const kv::StopRequest* stop) {
    if (!args.modelExe.empty())
        session.settings.modelexe = args.modelExe;
    if (session.settings.modelexe.empty()) {
        std::cerr << "kvopt batch: no core model executable: give --model-exe or record it in "
                     "kv-gui.ini\n";
        exitCode = kUsage;
        return std::nullopt;
    }
    std::vector<std::string> files = kv::batch_files_of(args.files, globals.startDir);
    if (files.empty()) {
        std::cerr << "kvopt batch: no options files (*.opt) found\n";
        exitCode = kRefused;
        return std::nullopt;
    }
    kv::BatchContext context = kv::batch_context(session);
    kv::BatchPreflight preflight = kv::preflight_batch(
        context, files, args.strict, [stop] { return stop != nullptr && stop->requested(); });
    print_preflight(std::cerr, preflight, globals.startDir);
    return CheckedBatch{std::move(files), std::move(context), std::move(preflight)};
}

BatchProgressPrinter::BatchProgressPrinter(std::ostream& out, bool terminal,
                                           std::filesystem::path relativeTo)
    : out_(out), terminal_(terminal), relativeTo_(std::move(relativeTo)) {}

void BatchProgressPrinter::update(const std::vector<kv::BatchRun>& runs, double elapsedSeconds) {
    if (terminal_) {
        const std::string line = kv::batch_progress_line(kv::batch_progress(runs, elapsedSeconds));
        // Blanks over what is left of a longer line drawn before.
        out_ << '\r' << line
             << std::string(lastWidth_ > line.size() ? lastWidth_ - line.size() : 0, ' ')
             << std::flush;
        lastWidth_ = line.size();
        return;
    }
    shown_.resize(runs.size(), false);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (!shown_[i] && runs[i].state == kv::BatchRunState::Finished &&
            runs[i].outcome != kv::BatchOutcome::Refused) {
            shown_[i] = true;
            out_ << kv::batch_finished_line(runs[i], relativeTo_) << '\n';
        }
    }
    out_.flush();
}

void print_preflight(std::ostream& out, const kv::BatchPreflight& preflight,
                     const std::filesystem::path& relativeTo) {
    for (const kv::BatchFile& file : preflight.files) {
        const auto& messages = file.run.messages;
        if (file.run.outcome != kv::BatchOutcome::Refused ||
            (messages.size() == 1 && std::find(preflight.errors.begin(), preflight.errors.end(),
                                               messages.front()) != preflight.errors.end()))
            continue;
        out << "Refused: " << kv::batch_shown_path(file.run.optionsFile, relativeTo) << '\n';
        // "... packet in the options file.\nThe options file is corrupted."
        print_messages_indented(out, messages);
    }
    for (const std::string& error : preflight.errors)
        out << error << '\n';
    out.flush();
}

void print_messages_indented(std::ostream& out, const std::vector<std::string>& messages) {
    for (const std::string& message : messages) {
        for (std::size_t from = 0, at = 0; at != std::string::npos; from = at + 1) {
            at = message.find('\n', from);
            out << "  " << kv::escape_control_characters(message.substr(from, at - from)) << '\n';
        }
    }
}

void print_command_error(std::ostream& out, std::string_view command, const std::string& error) {
    const auto eol = error.find('\n');
    out << "kvopt " << command << ": " << error.substr(0, eol) << '\n';
    if (eol != std::string::npos)
        print_messages_indented(out, {error.substr(eol + 1)});
}

void BatchProgressPrinter::finish() {
    if (terminal_ && lastWidth_ > 0) {
        out_ << '\n' << std::flush;
        lastWidth_ = 0;
    }
}

void print_batch_summary(std::ostream& out, const std::string& batchId,
                         const std::vector<kv::BatchRun>& runs, bool json,
                         const std::filesystem::path& relativeTo) {
    if (json)
        out << kv::batch_summary_json(batchId, runs);
    else
        out << kv::batch_summary_table(runs, relativeTo);
    out.flush();
}

bool is_terminal(int fd) {
#ifndef _WIN32
    return ::isatty(fd) == 1;
#else
    return false;
#endif
}

} // namespace kvopt
