#include "optionsfile/writer.h"

#include "optionsfile/format.h"
#include "optionsfile/line_source.h"
#include "optionsfile/packet_bounds.h"
#include "optionsfile/reader.h"
#include "optionsfile/scenario.h"
#include "shell/dialog_helpers.h"
#include "shell/run_error.h"
#include "shell/session.h"
#include "shell/status.h"
#include "shell/text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kv {

using format::Packet;

namespace {

constexpr std::string_view kEol = "\r\n";

// A label padded with the tail of "                   : " so that the value starts in
// column 22. Labels of 21 characters or more get no padding.
void pad_label(std::string& label) {
    if (label.size() < format::kLabelPad.size())
        label += format::kLabelPad.substr(label.size());
}

std::string padded_label(std::string_view label) {
    std::string out(label);
    pad_label(out);
    return out;
}

template <std::size_t N>
std::string_view caption_at(const std::array<std::string_view, N>& captions, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < N
               ? captions[static_cast<std::size_t>(index)]
               : std::string_view();
}

class PacketWriter {
public:
    PacketWriter(Scenario& scenario, std::ostream& out, const PathRules& rules)
        : sc_(scenario), out_(out), rules_(rules) {}

    void line(std::string_view text) {
        // A template line never holds a line break; a generated one holds a value that does.
        if (packet_ && refusal_.empty() && holds_line_break(text))
            refusal_ = "The options file was not written: a value in " +
                       std::string(format::packet_name(*packet_)) + " holds a line break:\n" +
                       quoted_showing_line_breaks(text);
        out_.write(text.data(), static_cast<std::streamsize>(text.size()));
        out_.write(kEol.data(), static_cast<std::streamsize>(kEol.size()));
    }
    // Writes the packet from the scenario.
    void write(Packet packet) {
        packet_ = packet;
        writePacket(packet);
        packet_.reset();
    }
    // Why what was written must not be kept; empty when it may.
    const std::string& refusal() const { return refusal_; }

private:
    void writePacket(Packet packet);
    std::string path(std::string_view value) const { return rules_.writePath(value); }
    void runFileLine(std::size_t slot) {
        line(std::string(format::runfiledescriptors[slot]) +
             std::string(format::kRunFileSeparator) + path(sc_.runfiles[slot]));
    }
    void put_runfiles();
    void put_options();
    void put_stage2();
    void put_period();
    void put_region();
    void put_source_category();
    void put_file_list(Packet packet, const AllocCollection& list);
    void put_growth_files();
    void put_factor_files(Packet packet, const std::array<std::string, kFactorSlotCount>& slots);
    void put_modelyear_out();
    void put_daily_files();

    Scenario& sc_;
    std::ostream& out_;
    const PathRules& rules_;
    std::optional<Packet> packet_; // the packet being written from the scenario
    std::string refusal_;
};

void PacketWriter::writePacket(Packet packet) {
    switch (packet) {
    case Packet::Runfiles:
        return put_runfiles();
    case Packet::PopFiles:
        return put_file_list(packet, sc_.popfiles);
    case Packet::Options:
        return put_options();
    case Packet::Period:
        return put_period();
    case Packet::EmfacFiles:
        return put_factor_files(packet, sc_.emfacfiles);
    case Packet::DeteriorateFiles:
        if (sc_.found_deter)
            put_factor_files(packet, sc_.detfiles);
        return;
    case Packet::Region:
        return put_region();
    case Packet::SourceCategory:
        return put_source_category();
    case Packet::AllocFiles:
        return put_file_list(packet, sc_.allocfiles);
    case Packet::GrowthFiles:
        return put_growth_files();
    case Packet::StageII:
        return put_stage2();
    case Packet::ModelyearOut:
        return put_modelyear_out();
    case Packet::DailyFiles:
        return put_daily_files();
    }
}

void PacketWriter::put_runfiles() {
    line(format::packet_name(Packet::Runfiles));
    for (std::size_t slot = 0; slot <= kRetrofit; ++slot) {
        if (slot != kNet) // the NET file is read but never written back
            runFileLine(slot);
    }
    line(format::kEnd);
}

void PacketWriter::put_options() {
    const std::string* const values[12] = {
        &sc_.title1str,  &sc_.title2str,    &sc_.fulrvpstr,          &sc_.pcoxygenstr,
        &sc_.so2gasstr,  &sc_.so2dieselstr, &sc_.so2marinedieselstr, &sc_.so2cngstr,
        &sc_.mintempstr, &sc_.maxtempstr,   &sc_.avgtempstr,         &sc_.altitudestr,
    };
    line(format::packet_name(Packet::Options));
    for (std::size_t i = 0; i < 12; ++i) {
        if (i == 6 && values[i]->empty())
            continue; // no marine line in the file, none written
        line(std::string(format::kOptionsLabels[i]) + *values[i]);
    }
    line(format::kEnd);
}

void PacketWriter::put_stage2() {
    if (sc_.stage2str.empty())
        sc_.stage2str = "0";
    line(format::packet_name(Packet::StageII));
    line(std::string(format::kStageIILabel) + (sc_.stage2_known ? sc_.stage2str : "0.0"));
    line(format::kEnd);
}

void PacketWriter::put_period() {
    const PeriodNames& names = load_period_names();
    const std::string_view season =
        sc_.periodindex == 2 ? caption_at(names.seasonnames, sc_.seasonindex) : "";
    const std::string_view month =
        sc_.periodindex == 1 ? caption_at(names.monthnames, sc_.monthindex) : "";
    const std::string_view values[8] = {
        caption_at(format::kPeriodTypeCaptions, sc_.periodindex),
        caption_at(format::kSummationCaptions, sc_.ptypeindex),
        sc_.yearstr,
        season,
        month,
        caption_at(names.weeknames, sc_.weekindex),
        sc_.growthyearstr,
        sc_.techyearstr,
    };
    line(format::packet_name(Packet::Period));
    for (std::size_t i = 0; i < 8; ++i)
        line(std::string(format::kPeriodLabels[i]) + std::string(values[i]));
    line(format::kEnd);
}

void PacketWriter::put_region() {
    line(format::packet_name(Packet::Region));
    line(std::string(format::kRegionLevelLabel) +
         std::string(caption_at(format::kRegionLevelKeywords, sc_.regionlevel)));
    // One buffer for every line: a nationwide list has thousands.
    std::string text;
    for (const auto& entry : sc_.regions) {
        text.clear();
        if (entry->isState) {
            if (sc_.regionlevel == 2)
                text += "All ";
            text += entry->statename;
        } else {
            text += entry->county;
            text += ' ';
            text += entry->abbr;
        }
        if (text.size() < 20) {
            pad_label(text);
            text += entry->code;
        } else {
            text = text.substr(0, 16) + " " + text.substr(text.size() - 2) + ": " + entry->code;
        }
        line(text);
    }
    line(format::kEnd);
}

void PacketWriter::put_source_category() {
    if (!sc_.sources_on)
        return;
    line(format::packet_name(Packet::SourceCategory));
    for (std::size_t i = 0; i < sc_.sourceCount(); ++i)
        line(std::string(format::kSourcePrefix) + sc_.sources[i].scc);
    line(format::kEnd);
}

void PacketWriter::put_file_list(Packet packet, const AllocCollection& list) {
    line(format::packet_name(packet));
    for (const auto& entry : list)
        line(entry->descriptor + path(entry->allocfile));
    line(format::kEnd);
}

void PacketWriter::put_growth_files() {
    line(format::packet_name(Packet::GrowthFiles));
    for (std::size_t i = 0; i < sc_.growthCount(); ++i)
        line(std::string(format::kGrowthLabel) + path(sc_.growthfiles[i]));
    line(format::kEnd);
}

void PacketWriter::put_factor_files(Packet packet,
                                    const std::array<std::string, kFactorSlotCount>& slots) {
    line(format::packet_name(packet));
    for (std::size_t slot = 0; slot < format::kPollutantLabels.size(); ++slot) {
        if (!slots[slot].empty())
            line(padded_label(format::kPollutantLabels[slot]) + path(slots[slot]));
    }
    line(format::kEnd);
}

void PacketWriter::put_modelyear_out() {
    if (sc_.bmy_on) {
        sc_.runfiles[kExhaustBmyOut] = format::by_model_year_path(sc_.runfiles[kOutputData], "BMX");
        sc_.runfiles[kEvapBmyOut] = format::by_model_year_path(sc_.runfiles[kOutputData], "BMV");
    } else {
        sc_.runfiles[kExhaustBmyOut].clear();
        sc_.runfiles[kEvapBmyOut].clear();
    }
    line(format::packet_name(Packet::ModelyearOut));
    runFileLine(kExhaustBmyOut);
    runFileLine(kEvapBmyOut);
    line(format::kEnd);
}

void PacketWriter::put_daily_files() {
    line(format::packet_name(Packet::DailyFiles));
    runFileLine(kDailyTempsRvp);
    line(format::kEnd);
}

// What the writer tells the user about a template packet without its "/END/" line.
std::string no_end_note(std::string_view packetName, std::string_view whatWasDone) {
    return "The " + std::string(packetName) +
           " packet of the file being saved has no /END/ line. " + std::string(whatWasDone);
}

void add_note(WriteResult& result, std::string note) {
    if (std::find(result.notes.begin(), result.notes.end(), note) == result.notes.end())
        result.notes.push_back(std::move(note));
}

// The edit flag of a packet, for a scenario that may be const.
template <class S> auto edit_flag_of(S& sc, Packet packet) -> decltype(&sc.changed_pop) {
    switch (packet) {
    case Packet::PopFiles:
        return &sc.changed_pop;
    case Packet::Options:
        return &sc.changed_options;
    case Packet::Period:
        return &sc.changed_period;
    case Packet::Region:
        return &sc.changed_region;
    case Packet::AllocFiles:
        return &sc.changed_alloc;
    case Packet::GrowthFiles:
        return &sc.changed_growth;
    case Packet::EmfacFiles:
        return &sc.changed_emfac;
    case Packet::Runfiles:
    case Packet::SourceCategory:
    case Packet::DeteriorateFiles:
    case Packet::StageII:
    case Packet::ModelyearOut:
    case Packet::DailyFiles:
        break;
    }
    return nullptr;
}

} // namespace

bool* edit_flag(Scenario& sc, Packet packet) {
    return edit_flag_of(sc, packet);
}

bool regenerated_on_save(const Scenario& sc, Packet packet) {
    const bool* flag = edit_flag_of(sc, packet);
    return flag == nullptr || *flag;
}

bool is_old_header_line(std::string_view line) {
    // A packet line (its first or second character, after leading blanks, is "/") is kept.
    const std::string t = trim_left(line);
    const bool packetLine = (!t.empty() && t[0] == '/') || (t.size() > 1 && t[1] == '/');
    return !packetLine && contains(line, format::kHeaderText);
}

ScenarioSnapshot scenario_snapshot(const Scenario& scenario, const PathRules& rules) {
    // Writing changes a few values (Stage II, the by-model-year files); a copy keeps the
    // scenario as it is.
    Scenario copy = scenario;
    ScenarioSnapshot snapshot;
    for (std::size_t i = 0; i < format::kPacketCount; ++i) {
        std::ostringstream out;
        PacketWriter(copy, out, rules).write(static_cast<Packet>(i));
        snapshot.packets[i] = std::move(out).str();
    }
    return snapshot;
}

void mark_packets_changed(Scenario& scenario, const ScenarioSnapshot& before,
                          const PathRules& rules) {
    const ScenarioSnapshot now = scenario_snapshot(scenario, rules);
    for (std::size_t i = 0; i < format::kPacketCount; ++i) {
        if (now.packets[i] != before.packets[i]) {
            if (bool* flag = edit_flag(scenario, static_cast<Packet>(i)))
                *flag = true;
        }
    }
}

std::string header_line(const std::string& headerTime) {
    return std::string(format::kHeaderText) + headerTime;
}

std::string current_general_date_time() {
    const auto now = std::chrono::system_clock::now();
    return general_date_time(
        std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count());
}

WriteResult write_options_stream(Scenario& scenario, std::istream& templ, std::ostream& out,
                                 const PathRules& rules, const std::string& headerTime) {
    WriteResult result;
    LineSource lines = LineSource::fromStream(templ);
    if (templ.bad())
        return {false, kDeviceIoError, error_text(kDeviceIoError), {}, {}};

    PacketWriter writer(scenario, out, rules);
    writer.line(header_line(headerTime));

    bool growthInTemplate = false;
    bool deterWritten = false;
    bool sourceWritten = false;
    bool stage2Written = false;
    // The template's last packet, when the template ends inside it.
    std::optional<std::string> openAtEnd;
    std::string line;
    while (lines.next(line) && out) {
        const auto start = packet_started_by(line);
        if (!start) {
            // Between packets: an old header line is dropped, anything else copied.
            if (!is_old_header_line(line))
                writer.line(line);
            continue;
        }
        PacketBody body(lines, start->managed);
        growthInTemplate |= start->managed == Packet::GrowthFiles;
        if (start->managed && regenerated_on_save(scenario, *start->managed)) {
            const Packet packet = *start->managed;
            body.skip();
            if (body.end() == PacketBody::End::NextPacket) {
                add_note(result, no_end_note(start->name, "It was taken to end before the next "
                                                          "packet and written again from the "
                                                          "scenario."));
            } else if (body.end() == PacketBody::End::EndOfFile) {
                add_note(result, no_end_note(start->name, "It was taken to end at the end of the "
                                                          "file and written again from the "
                                                          "scenario."));
            }
            writer.write(packet);
            deterWritten |= packet == Packet::DeteriorateFiles;
            sourceWritten |= packet == Packet::SourceCategory;
            stage2Written |= packet == Packet::StageII;
            continue;
        }
        // Copied unchanged, header text and all. A missing "/END/" is added where the packet
        // was taken to end, so that the next packet is not read as part of it.
        writer.line(line);
        std::string bodyLine;
        while (body.next(bodyLine))
            writer.line(bodyLine);
        switch (body.end()) {
        case PacketBody::End::Terminator:
            writer.line(body.terminator());
            break;
        case PacketBody::End::NextPacket:
            writer.line(format::kEnd);
            add_note(result, no_end_note(start->name, "An /END/ line was added before the "
                                                      "next packet."));
            break;
        case PacketBody::End::EndOfFile:
            openAtEnd = start->name;
            break;
        }
    }

    // Growth files edited into a file without the packet; an empty list adds nothing that an
    // absent packet does not already say.
    const bool appendGrowth =
        !growthInTemplate && scenario.changed_growth && scenario.growthCount() > 0;
    const bool appendDeter = scenario.found_deter && !deterWritten;
    const bool appendSource = scenario.found_source && !sourceWritten && scenario.sources_on;
    const bool appendStage2 = !stage2Written;
    if (openAtEnd && (appendGrowth || appendDeter || appendSource || appendStage2)) {
        // The appended packets must not become part of the template's last packet.
        writer.line(format::kEnd);
        add_note(result, no_end_note(*openAtEnd, "An /END/ line was added at the end of the "
                                                 "file, before the packets added after it."));
    }
    if (appendGrowth)
        writer.write(Packet::GrowthFiles);
    if (appendDeter)
        writer.write(Packet::DeteriorateFiles);
    if (appendSource)
        writer.write(Packet::SourceCategory);
    if (appendStage2)
        writer.write(Packet::StageII);

    out.flush();
    if (!out) {
        result.ok = false;
        result.errorNumber = kDeviceIoError;
        result.errorText = error_text(kDeviceIoError);
    }
    if (!writer.refusal().empty()) {
        result.ok = false;
        result.refusal = writer.refusal();
    }
    return result;
}

namespace {

namespace fs = std::filesystem;

// A save replaces the file a symbolic link names, not the link: the link stays, and the
// linked file gets the new content. A link that names no file yet names the file to create.
fs::path file_behind_links(fs::path target) {
    constexpr int kMaxLinks = 40; // as the kernel allows in one path
    std::error_code ec;
    for (int hops = 0; hops < kMaxLinks && fs::is_symlink(target, ec); ++hops) {
        const fs::path link = fs::read_symlink(target, ec);
        if (ec)
            break;
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    return target;
}

// A file in the target's directory that becomes the target only when committed; otherwise
// it is removed when this object goes. A target the user may not write is not replaced.
class TemporaryFile {
public:
    explicit TemporaryFile(const fs::path& target) {
#ifndef _WIN32
        struct stat existing {};
        const bool replacing = ::stat(target.c_str(), &existing) == 0;
        if (!replacing && errno != ENOENT) {
            error_ = errno;
            return;
        }
        if (replacing) {
            if (S_ISDIR(existing.st_mode)) {
                error_ = EISDIR;
                return;
            }
            // The rename needs only the directory to be writable; the file's own
            // permission decides whether the user may change it.
            if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
                error_ = errno;
                return;
            }
        }
        if (!create(target))
            return;
        if (replacing) {
            // The replaced file keeps its owner (where the user may keep it) and its
            // permission bits; a new one has what the umask leaves of 0666.
            [[maybe_unused]] const int ignored = ::fchown(fd_, existing.st_uid, existing.st_gid);
            ::fchmod(fd_, existing.st_mode & 07777);
        }
#endif
    }
    ~TemporaryFile() {
#ifndef _WIN32
        if (fd_ >= 0)
            ::close(fd_);
#endif
        if (!committed_ && !path_.empty()) {
            std::error_code ec;
            fs::remove(path_, ec);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool isOpen() const {
        return fd_ >= 0;
    }
    int error() const {
        return error_;
    }

    // Writes everything and forces it to disk; false with error() set on failure.
    bool writeAll(std::string_view data) {
#ifndef _WIN32
        while (!data.empty()) {
            const ssize_t n = ::write(fd_, data.data(), data.size());
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                error_ = errno;
                return false;
            }
            data.remove_prefix(static_cast<std::size_t>(n));
        }
        if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
            error_ = errno;
            fd_ = -1;
            return false;
        }
        fd_ = -1;
#endif
        return true;
    }

    // Renames the file over the target in one step.
    bool commit(const fs::path& target) {
        if (std::rename(path_.c_str(), target.c_str()) != 0) {
            error_ = errno;
            return false;
        }
        committed_ = true;
        return true;
    }

private:
#ifndef _WIN32
    // Creates ".<name>.XXXXXX" beside the target with mode 0666, so that the umask (and a
    // default ACL of the directory) gives a new file the permissions any new file gets;
    // mkstemp would make it 0600.
    bool create(const fs::path& target) {
        static constexpr std::string_view kLetters =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        constexpr int kAttempts = 100;
        const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
        std::random_device seed;
        std::minstd_rand random(seed());
        std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            std::string name = "." + target.filename().string() + ".";
            for (int k = 0; k < 6; ++k)
                name += kLetters[pick(random)];
            const fs::path candidate = dir / name;
            fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                path_ = candidate;
                return true;
            }
            if (errno != EEXIST)
                break;
        }
        error_ = errno;
        return false;
    }
#endif

    fs::path path_;
    int fd_ = -1;
    int error_ = 0;
    bool committed_ = false;
};

} // namespace

bool write_options_file(Session& session, const std::string& templatePath,
                        const std::string& targetPath) {
    const std::string& optfile = session.scenario.optfile;
    // The message names the error by its number and, where the system gave a reason, by
    // the system's own words ("Permission denied", "Read-only file system").
    auto fail = [&](const std::string& step, int number, int systemError = 0) {
        session.log.write("Newoptions code " + step + " " + optfile);
        std::string text = "file error " + std::to_string(number);
        if (systemError != 0)
            text += "\n" + std::string(std::strerror(systemError));
        session.message(text);
        return false;
    };
    auto failErrno = [&](const std::string& step, int systemError) {
        return fail(step, error_number_from_errno(systemError), systemError);
    };

    // Saving in place writes over the template as it exists on disk (found without regard
    // to case where the spelling differs).
    const std::string found = resolve_existing_path(templatePath);
    const bool inPlace =
        session.rules.nativeSeparators(targetPath) == session.rules.nativeSeparators(templatePath);
    const fs::path target = file_behind_links(
        inPlace && !found.empty() ? found : session.rules.nativeSeparators(targetPath));

    TemporaryFile output(target);
    if (!output.isOpen())
        return failErrno("2.3", output.error());

    std::ifstream templ(found, std::ios::binary);
    if (found.empty())
        return fail("2.4", kFileNotFound, ENOENT);
    if (!templ)
        return failErrno("2.4", errno);

    std::ostringstream buffer;
    const WriteResult result = write_options_stream(session.scenario, templ, buffer, session.rules,
                                                    current_general_date_time());
    if (!result.refusal.empty()) {
        session.log.write("Newoptions refused " + optfile + ": a value holds a line break");
        session.message(result.refusal, MessageIcon::Exclamation);
        return false;
    }
    if (!result.ok)
        return fail("3", result.errorNumber);
    if (!output.writeAll(buffer.view()))
        return failErrno("3", output.error());
    // Writing over the template is safe: it has been read in full, and the rename replaces
    // it in one step, so the old file stays whole until the new one is complete.
    if (!output.commit(target))
        return failErrno("4", output.error());
    for (const std::string& note : result.notes)
        session.message(note, MessageIcon::Exclamation);
    return true;
}

bool newoptions(Session& session) {
    const Scenario& sc = session.scenario;
    return write_options_file(session, session.join(sc.optdir, sc.optfile),
                              session.join(sc.newoptdir, sc.newoptfile));
}

} // namespace kv
