#include "runs/model_run.h"

#include "runs/console_log.h"
#include "runs/kept_options.h"
#include "runs/run_history.h"
#include "shell/current_dir.h"
#include "shell/dialog_helpers.h"
#include "shell/errors.h"
#include "shell/file_commands.h"
#include "shell/session.h"
#include "shell/status.h"
#include "shell/text.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <utility>

namespace kv {

namespace {

// Keeps `modelRunning` set for as long as the run lasts.
class RunningFlag {
public:
    explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningFlag() { flag_ = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

private:
    bool& flag_;
};

void write_batch_file(const Session& session) {
    const std::string path = session.join(session.settings.modeldir, kBatchFileName);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw RunError(error_number_from_errno(errno != 0 ? errno : EACCES));
    out << batch_file_text(session);
    out.close();
    if (!out)
        throw RunError(error_number_from_errno(errno != 0 ? errno : EIO));
}

int start_error(const LaunchRequest& request) {
    return file_exists(request.program) ? kPathFileAccessError : kFileNotFound;
}

} // namespace

std::string model_command(const Session& session) {
    const Scenario& sc = session.scenario;
    return session.settings.modelexe + " " + session.join(sc.optdir, sc.optfile);
}

std::string batch_file_text(const Session& session) {
    return "CD " + session.settings.modeldir + "\r\n" + model_command(session) + "\r\n";
}

LaunchRequest model_launch_request(const Session& session) {
    const Settings& s = session.settings;
    LaunchRequest r;
    const std::string exe = session.join(s.modeldir, s.modelexe);
    const std::string found = resolve_existing_path(exe);
    r.program = found.empty() ? exe : found;
    r.arguments = {session.join(session.scenario.optdir, session.scenario.optfile)};
    const std::string dir = resolve_existing_path(s.modeldir);
    r.workingDirectory = dir.empty() ? s.modeldir : dir;
    return r;
}

RunReport run_model(Session& session, const RunOptions& options) {
    RunReport report;
    if (session.modelRunning) {
        report.outcome = RunOutcome::Refused;
        return report;
    }
    RunningFlag running(session.modelRunning);

    const Scenario& sc = session.scenario;
    RunFacts facts;
    facts.start = std::chrono::system_clock::now();
    facts.optionsFile = session.join(sc.optdir, sc.optfile);
    facts.model = absolute_path(model_launch_request(session).program);
    facts.messageFile = session.join(sc.msgdir, sc.msgfile);
    facts.outputFile = session.join(sc.outdir, sc.outfile);
    facts.batch = options.batch;
    facts.id = new_run_id();
    bool recorded = false;
    const auto record = [&] {
        if (std::exchange(recorded, true))
            return;
        facts.end = std::chrono::system_clock::now();
        if (!facts.options)
            take_options_as_run(facts, session.stateDir);
        const std::filesystem::path file = run_history_file(session);
        report.record = run_record(facts, report.launch);
        const std::string error = append_run_record(file, *report.record);
        if (!error.empty()) {
            report.historyError = "Cannot record the run in " + file.string() + ": " + error;
            session.log.write(report.historyError);
        }
    };

    // A model run on a file that could not be saved would not run what the user sees: the
    // writer has reported the failure, and nothing is started.
    try {
        BusyPointer busy(session.ui);
        update_default_option_file(session);
    } catch (const std::exception&) {
        report.outcome = RunOutcome::SaveFailed;
        record();
        return report;
    }

    std::string command;
    try {
        if (!make_current(session.settings.modeldir))
            throw RunError(kPathNotFound);
        if (!options.batch)
            write_batch_file(session);
        BusyPointer busy(session.ui);
        command = model_command(session);
        LaunchRequest request = model_launch_request(session);
        request.consoleFile = console_log_path(session.stateDir, facts.id).string();
        facts.consoleFile = request.consoleFile;
        take_options_as_run(facts, session.stateDir);
        facts.start = std::chrono::system_clock::now();
        if (options.started)
            options.started(facts);
        report.launch = session.launcher.runAndWait(request);
        if (!report.launch.started)
            throw RunError(start_error(request));
        if (report.launch.stopped)
            session.log.write(kRunStoppedLine);
        record();
        show_status(session);
        make_program_dir_current(session);
        report.outcome = RunOutcome::Finished;
        return report;
    } catch (const std::exception& e) {
        const ErrorInfo error = error_of(e);
        if (error.number != kOverflow)
            session.message("Problem starting Core Model\n\nCommand string: " + lower(command) +
                                "\n\nMake sure the Core model executable exists and is in the "
                                "correct path.",
                            MessageIcon::Exclamation);
        session.log.write("Problem running file error number " + std::to_string(error.number) +
                          " command string " + command);
        record();
        report.outcome = RunOutcome::Failed;
        return report;
    }
}

bool stop_model_run(Session& session) {
    if (!session.modelRunning)
        return false;
    session.launcher.stop();
    return true;
}

bool may_end_during_run(Session& session) {
    return !session.modelRunning ||
           session.ui.askYesNo(std::string(kStopRunQuestion), std::string(kAppTitle));
}

} // namespace kv
