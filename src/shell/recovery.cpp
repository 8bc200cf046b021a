#include "shell/recovery.h"

#include "optionsfile/format.h"
#include "optionsfile/reader.h"
#include "optionsfile/writer.h"
#include "runs/run_history.h"
#include "shell/dialog_helpers.h"
#include "shell/file_commands.h"
#include "shell/file_locations.h"
#include "shell/session.h"
#include "shell/status.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kv {

namespace fs = std::filesystem;

namespace {

// Follows the writer's header time on the first line; the writer drops that line from any
// file it writes later, so the note never outlives the recovery. Before it, the hash of the
// file the changes were made on (files of earlier versions have none).
constexpr std::string_view kRecoveryNote = " for unsaved changes to ";
constexpr std::string_view kHashNote = " (original sha256 ";

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

// Writes the text to a temporary file of its own beside the target, readable by the user
// alone, and renames it into place: two programs writing at once never mix their texts.
// With `keepLocked`, answers the written file's descriptor, holding a lock that tells another
// program's start the file is in use (the kernel drops it when this process ends, however it
// ends); else -1. Nullopt when the file could not be written.
std::optional<int> write_whole(const fs::path& target, const std::string& text, bool keepLocked) {
    if (!make_private_directories(target.parent_path()))
        return std::nullopt;
#ifndef _WIN32
    std::string temporary = target.string() + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    bool ok = !keepLocked || ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    for (std::string_view rest = text; ok && !rest.empty();) {
        const ssize_t n = ::write(fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            rest.remove_prefix(static_cast<std::size_t>(n));
    }
    ok = ok && ::fsync(fd) == 0;
    std::error_code ec;
    if (ok)
        fs::rename(temporary, target, ec);
    if (!ok || ec) {
        fs::remove(temporary, ec);
        ::close(fd);
        return std::nullopt;
    }
    if (keepLocked)
        return fd;
    return ::close(fd) == 0 ? std::optional(-1) : std::nullopt;
#else
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return out ? std::optional(-1) : std::nullopt;
#endif
}

// True when a running program keeps the file current: it is no leftover to offer.
bool in_use(const fs::path& file) {
#ifndef _WIN32
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
#else
    return false;
#endif
}

// The file a recovery holds changes to, and the hash of that file it was made on.
std::optional<RecoveryFile> recovery_of(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string first;
    if (!read_line(in, first) || !first.starts_with(format::kHeaderText))
        return std::nullopt;
    const auto note = first.find(kRecoveryNote);
    if (note == std::string::npos)
        return std::nullopt;
    RecoveryFile recovery{file, first.substr(note + kRecoveryNote.size()), {}};
    if (const auto hash = first.rfind(kHashNote, note); hash != std::string::npos)
        recovery.originalSha256 =
            first.substr(hash + kHashNote.size(), note - 1 - hash - kHashNote.size());
    return recovery;
}

// The original has changed since the changes were made on it (a colleague's edit): they
// must not go over it.
bool original_changed_since(const RecoveryFile& file) {
    if (file.originalSha256.empty())
        return false;
    const auto now = fingerprint_options_file(resolve_existing_path(file.original));
    return now && now->sha256NoHeader != file.originalSha256;
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
bool adopt_as_options_file(Session& session, const RecoveryFile& file) {
    const std::string name = fs::path(file.original).filename().string();
    fs::path target = file.path.parent_path() / name;
    std::error_code ec;
    for (int n = 2; fs::exists(target, ec); ++n)
        target =
            file.path.parent_path() / (fs::path(name).stem().string() + " (" + std::to_string(n) +
                                       ")" + fs::path(name).extension().string());
    fs::rename(file.path, target, ec);
    return !ec && read_as_current(session, target.string());
}

} // namespace

fs::path recovery_file_path(const Session& session) {
    // Two windows on files of the same name in different folders keep a file each.
    const std::string pathHash = sha256_hex(current_path_of(session)).substr(0, 12);
    return session.stateDir /
           (session.scenario.optfile + "." + pathHash + std::string(kRecoveryExtension));
}

namespace {

// Writes the recovery file whatever the scenario's state, as write_whole does.
std::optional<int> write_recovery(Session& session, const fs::path& target, bool keepLocked) {
    const std::string original = current_path_of(session);
    Scenario copy = session.scenario;
    // Every value that differs from the file is kept, whether or not its packet was flagged.
    if (session.savedValues())
        mark_packets_changed(copy, *session.savedValues(), session.rules);
    std::ostringstream text;
    const std::string found = resolve_existing_path(original);
    std::ifstream templ(found, std::ios::binary);
    std::istringstream bare(templ ? std::string() : bare_template(copy));
    std::string note = current_general_date_time();
    if (const std::string base = session.savedFileHash(); !base.empty())
        note += std::string(kHashNote) + base + ")";
    const WriteResult result =
        write_options_stream(copy, templ ? static_cast<std::istream&>(templ) : bare, text,
                             session.rules, note + std::string(kRecoveryNote) + original);
    if (!result.ok)
        return std::nullopt;
    return write_whole(target, text.str(), keepLocked);
}

} // namespace

std::optional<fs::path> write_recovery_file(Session& session) {
    if (!session.scenarioModified())
        return std::nullopt;
    const fs::path target = recovery_file_path(session);
    if (!write_recovery(session, target, false)) {
        session.log.write("Unsaved changes could not be written to " + target.string());
        return std::nullopt;
    }
    session.log.write("Unsaved changes written to " + target.string());
    return target;
}

void RecoveryKeeper::refresh() {
    if (stopped_)
        return;
    if (!session_.scenarioModified()) {
        removeWritten();
        return;
    }
    const fs::path target = recovery_file_path(session_);
    ScenarioSnapshot values = scenario_snapshot(session_.scenario, session_.rules);
    std::error_code ec;
    if (written_ == target && writtenValues_ == values && fs::exists(target, ec))
        return;
    if (written_ != target)
        removeWritten();
    const auto fd = write_recovery(session_, target, true);
    if (!fd) {
        session_.log.write("Unsaved changes could not be written to " + target.string());
        return;
    }
    releaseLock();
    lockedFd_ = *fd;
    written_ = target;
    writtenValues_ = std::move(values);
}

void RecoveryKeeper::discard() {
    removeWritten();
    stopped_ = true;
}

RecoveryKeeper::~RecoveryKeeper() {
    releaseLock();
}

void RecoveryKeeper::removeWritten() {
    if (written_) {
        // Only while it is still the file written here: another window on the same options
        // file may have replaced it since.
        std::error_code ec;
#ifndef _WIN32
        struct stat mine {};
        struct stat now {};
        if (lockedFd_ >= 0 && ::fstat(lockedFd_, &mine) == 0 &&
            ::stat(written_->c_str(), &now) == 0 && mine.st_ino == now.st_ino &&
            mine.st_dev == now.st_dev)
            fs::remove(*written_, ec);
#else
        fs::remove(*written_, ec);
#endif
    }
    releaseLock();
    written_.reset();
    writtenValues_.reset();
}

void RecoveryKeeper::releaseLock() {
#ifndef _WIN32
    if (lockedFd_ >= 0)
        ::close(lockedFd_);
#endif
    lockedFd_ = -1;
}

std::vector<RecoveryFile> find_recovery_files(const fs::path& stateDir) {
    std::vector<std::pair<fs::file_time_type, RecoveryFile>> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(stateDir, ec)) {
        if (entry.path().extension() != kRecoveryExtension || !entry.is_regular_file(ec) ||
            in_use(entry.path()))
            continue;
        if (auto recovery = recovery_of(entry.path()))
            found.push_back({entry.last_write_time(ec), std::move(*recovery)});
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

std::string changed_original_question(const RecoveryFile& file) {
    return "A recovery file from an earlier session was found: " + file.path.string() +
           "\n\nIt holds changes to " + file.original +
           " that were not saved when the program was ended. That file has changed since, so "
           "the changes are not put over it: Yes opens them as an untitled copy (Save asks "
           "for a name), No deletes the recovery file.\n\nOpen it as a copy?";
}

void offer_recovery(Session& session) {
    for (const RecoveryFile& file : find_recovery_files(session.stateDir)) {
        std::error_code ec;
        const bool changed = original_changed_since(file);
        if (session.ui.askYesNo(changed ? changed_original_question(file) : recovery_question(file),
                                std::string(kAppTitle))) {
            if (changed) {
                // The copy has no name of its own: Save asks for one, starting beside the
                // original.
                if (adopt_as_options_file(session, file))
                    session.untitledCopyOf = file.original;
                return;
            }
            if (!apply_to_original(session, file)) {
                adopt_as_options_file(session, file);
                return;
            }
            fs::remove(file.path, ec);
            return;
        }
        if (session.ended)
            return; // the question was closed by the program's end, not answered
        fs::remove(file.path, ec);
    }
}

} // namespace kv
