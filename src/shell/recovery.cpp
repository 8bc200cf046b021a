#include "shell/recovery.h"

#include "optionsfile/format.h"
#include "optionsfile/reader.h"
#include "optionsfile/writer.h"
#include "shell/dialog_helpers.h"
#include "shell/file_commands.h"
#include "shell/session.h"
#include "shell/status.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>

namespace kv {

namespace fs = std::filesystem;

namespace {

// Follows the writer's header time on the first line; the writer drops that line from any
// file it writes later, so the note never outlives the recovery.
constexpr std::string_view kRecoveryNote = " for unsaved changes to ";

std::string current_path_of(const Session& session) {
    return session.join(session.scenario.optdir, session.scenario.optfile);
}

// A template that holds every managed packet and nothing else, for a current file that is
// gone: with every edit flag set, the writer regenerates them all from the scenario.
std::string bare_template(Scenario& scenario) {
    std::string text;
    for (const format::Packet packet : format::kReaderOrder) {
        text +=
            std::string(format::packet_name(packet)) + "\r\n" + std::string(format::kEnd) + "\r\n";
        if (bool* flag = edit_flag(scenario, packet))
            *flag = true;
    }
    return text;
}

// Writes the text beside the target and renames it into place.
bool write_whole(const fs::path& target, const std::string& text) {
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    const fs::path temporary = target.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, target, ec);
    if (ec)
        fs::remove(temporary, ec);
    return !ec;
}

std::optional<std::string> recovered_original(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string first;
    if (!read_line(in, first) || !first.starts_with(format::kHeaderText))
        return std::nullopt;
    const auto note = first.find(kRecoveryNote);
    if (note == std::string::npos)
        return std::nullopt;
    return first.substr(note + kRecoveryNote.size());
}

// Makes `path` the current options file and reads it; true when it was read and is still
// the current file (a refused file may have been replaced by another one).
bool read_as_current(Session& session, const std::string& path) {
    return read_options_file(session, path) == ReadOutcome::Loaded &&
           same_file(session.rules, current_path_of(session), path);
}

// The recovered values on top of the file they belong to. False when that file cannot be
// read, or the recovery itself could not be.
bool apply_to_original(Session& session, const RecoveryFile& file) {
    if (!file_exists(file.original))
        return false;
    const bool isCurrent = same_file(session.rules, current_path_of(session), file.original);
    if ((!isCurrent || !session.savedValues()) && !read_as_current(session, file.original))
        return false;
    const std::optional<ScenarioSnapshot> saved = session.savedValues();
    std::ifstream in(file.path, std::ios::binary);
    if (!in || read_options_stream(session, in, file.path.string()) != ReadOutcome::Loaded)
        return false;
    // The read took the recovered values for the file's own; they are not, until saved.
    session.setSavedValues(saved);
    if (saved)
        mark_packets_changed(session.scenario, *saved, session.rules);
    set_caption(session);
    return true;
}

// The recovery becomes an options file in the state directory, named after the file it
// recovers (with a number when that name is taken), and is read as the current file.
void adopt_as_options_file(Session& session, const RecoveryFile& file) {
    const std::string name = fs::path(file.original).filename().string();
    fs::path target = file.path.parent_path() / name;
    std::error_code ec;
    for (int n = 2; fs::exists(target, ec); ++n)
        target =
            file.path.parent_path() / (fs::path(name).stem().string() + " (" + std::to_string(n) +
                                       ")" + fs::path(name).extension().string());
    fs::rename(file.path, target, ec);
    if (!ec)
        read_as_current(session, target.string());
}

} // namespace

fs::path recovery_file_path(const Session& session) {
    return session.stateDir / (session.scenario.optfile + std::string(kRecoveryExtension));
}

std::optional<fs::path> write_recovery_file(Session& session) {
    if (!session.scenarioModified())
        return std::nullopt;
    const std::string original = current_path_of(session);
    const fs::path target = recovery_file_path(session);
    Scenario copy = session.scenario;
    // Every value that differs from the file is kept, whether or not its packet was flagged.
    mark_packets_changed(copy, *session.savedValues(), session.rules);
    std::ostringstream text;
    const std::string found = resolve_existing_path(original);
    std::ifstream templ(found, std::ios::binary);
    std::istringstream bare(templ ? std::string() : bare_template(copy));
    const WriteResult result = write_options_stream(
        copy, templ ? static_cast<std::istream&>(templ) : bare, text, session.rules,
        current_general_date_time() + std::string(kRecoveryNote) + original);
    if (!result.ok || !write_whole(target, text.str())) {
        session.log.write("Unsaved changes could not be written to " + target.string());
        return std::nullopt;
    }
    session.log.write("Unsaved changes written to " + target.string());
    return target;
}

std::vector<RecoveryFile> find_recovery_files(const fs::path& stateDir) {
    std::vector<std::pair<fs::file_time_type, RecoveryFile>> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(stateDir, ec)) {
        if (entry.path().extension() != kRecoveryExtension || !entry.is_regular_file(ec))
            continue;
        if (auto original = recovered_original(entry.path()))
            found.push_back({entry.last_write_time(ec), {entry.path(), std::move(*original)}});
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<RecoveryFile> files;
    for (auto& f : found)
        files.push_back(std::move(f.second));
    return files;
}

std::string recovery_question(const RecoveryFile& file) {
    return "A recovery file from an earlier session was found: " + file.path.string() +
           "\n\nIt holds changes to " + file.original +
           " that were not saved when the program was ended. No deletes it.\n\nOpen it?";
}

void offer_recovery(Session& session) {
    for (const RecoveryFile& file : find_recovery_files(session.stateDir)) {
        std::error_code ec;
        if (session.ui.askYesNo(recovery_question(file), std::string(kAppTitle))) {
            if (!apply_to_original(session, file)) {
                adopt_as_options_file(session, file);
                return;
            }
            fs::remove(file.path, ec);
            return;
        }
        fs::remove(file.path, ec);
    }
}

} // namespace kv
