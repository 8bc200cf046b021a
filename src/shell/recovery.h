#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class Session;

// Edits that were never saved survive an end by a signal: the scenario is written to a
// recovery file in the state directory, "<options file name>.recovery", a complete options
// file whose first line names the file it recovers. The next start offers to open it.
inline constexpr std::string_view kRecoveryExtension = ".recovery";

// A recovery file and the options file whose unsaved changes it holds.
struct RecoveryFile {
    std::filesystem::path path;
    std::string original;
};

// Where the current options file's recovery file goes.
std::filesystem::path recovery_file_path(const Session& session);

// When the scenario is modified, writes it to the recovery file with the current file as
// the writer's template, asking nothing (nobody is there to answer). Logs what it did.
// Answers the file written; nullopt when nothing needed saving or the write failed.
std::optional<std::filesystem::path> write_recovery_file(Session& session);

// The recovery files in the state directory, newest first.
std::vector<RecoveryFile> find_recovery_files(const std::filesystem::path& stateDir);

// "A recovery file from an earlier session was found: ..." ending in "Open it?".
std::string recovery_question(const RecoveryFile& file);

// At start, once the default options file is read: offers each recovery file in turn and
// removes it after either answer. Yes opens the file it recovers with the recovered values
// on top, so the window shows it modified and a save puts the changes where they belong;
// the offer ends there. When the recovered file cannot be read any more, the recovery
// becomes an options file of its own in the state directory, named after it.
void offer_recovery(Session& session);

} // namespace kv
