#pragma once

#include "optionsfile/writer.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class Session;

// Edits that were never saved survive an end by a signal, a crash or a lost display: the
// scenario is kept in a recovery file in the state directory, "<options file name>.<hash of
// its full path>.recovery", a complete options file whose first line names the file it
// recovers and the hash of that file's content the changes were made on. The next start
// offers to open it.
inline constexpr std::string_view kRecoveryExtension = ".recovery";

// A recovery file and the options file whose unsaved changes it holds.
struct RecoveryFile {
    std::filesystem::path path;
    std::string original;
    // SHA-256 of the original as the changes' session last read or saved it, without the
    // interface's first line (Session::savedFileHash: kChangedOnDisk when it had changed on
    // disk already); empty when not known (files of earlier versions).
    std::string originalSha256;
};

// Where the current options file's recovery file goes.
std::filesystem::path recovery_file_path(const Session& session);

// When the scenario is modified, writes it to the recovery file with the current file as
// the writer's template, asking nothing (nobody is there to answer). Logs what it did.
// Answers the file written; nullopt when nothing needed saving or the write failed.
std::optional<std::filesystem::path> write_recovery_file(Session& session);

// Keeps the recovery file in step with the scenario while the program runs: written while the
// scenario differs from its file, removed once it matches again (saved, another file read).
// It removes only the file it wrote itself.
class RecoveryKeeper {
public:
    explicit RecoveryKeeper(Session& session) : session_(session) {}
    ~RecoveryKeeper();
    RecoveryKeeper(const RecoveryKeeper&) = delete;
    RecoveryKeeper& operator=(const RecoveryKeeper&) = delete;

    void refresh();
    // The user ends the program leaving the changes unsaved on purpose: the file goes, and
    // none is written any more.
    void discard();

private:
    void removeWritten();
    void releaseLock();

    Session& session_;
    std::optional<std::filesystem::path> written_;
    std::optional<ScenarioSnapshot> writtenValues_;
    // The file written last, locked while this program lives: another program's start does
    // not offer it.
    int lockedFd_ = -1;
    bool stopped_ = false;
};

// The recovery files in the state directory that no running program keeps, newest first.
std::vector<RecoveryFile> find_recovery_files(const std::filesystem::path& stateDir);

// "A recovery file from an earlier session was found: ..." ending in "Open it?".
std::string recovery_question(const RecoveryFile& file);
// The same for an original that has changed since, ending in "Open it as a copy?".
std::string changed_original_question(const RecoveryFile& file);

// At start, once the default options file is read: offers each recovery file in turn and
// removes it after either answer. Yes opens the file it recovers with the recovered values
// on top, so the window shows it modified and a save puts the changes where they belong;
// the offer ends there. When the recovered file cannot be read any more, the recovery
// becomes an options file of its own in the state directory, named after it. When that file
// has changed since the changes were made on it, they never go over it: Yes opens them as
// such an options file, an untitled copy that Save asks a name for.
void offer_recovery(Session& session);

} // namespace kv
