#include "optionsfile/reader.h"

#include "optionsfile/format.h"
#include "optionsfile/line_source.h"
#include "optionsfile/packet_bounds.h"
#include "optionsfile/validation.h"
#include "shell/dialog_helpers.h"
#include "shell/run_error.h"
#include "shell/session.h"
#include "shell/status.h"
#include "shell/text.h"

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace kv {

using format::Packet;

namespace {

// A condition that makes the file unusable: its message is shown, then the file is refused
// and the user is asked for another one.
struct Refusal {
    std::string message;
};

// The read ends here; its message has been shown already.
struct ReadAborted {};

// A nested read replaced the file being read; the outer read must not go on filling the
// scenario from the old file.
struct ReadReplaced {};

// One read started from outside the reader, with every read nested in it (a refused file
// asks for a replacement, which is read at once and may be refused in turn). When the user
// cancels the choice of a replacement, the refused file's values must not stay in the
// scenario: once the outermost read is over, the scenario as it was before that read is put
// back, unless a file chosen later in the chain was read in full.
struct ReadChain {
    // A copy of the scenario taken as the first read of the chain begins, once the open
    // dialogs have closed and dropped what they had not stored, so a cancelled chain brings
    // back exactly what was committed. The reader fills fresh collections and never changes
    // an entry it did not create, so the shared entries of the copy stay as they were.
    std::optional<Scenario> before;
    bool restorePending = false;
};

ReadOutcome read_file(Session& session, ReadChain& chain);
std::optional<ReadOutcome> ask_for_replacement(Session& session, ReadChain& chain);

class PacketReader {
public:
    PacketReader(Session& session, ReadChain& chain, LineSource& lines, std::string fullPath)
        : s_(session), sc_(session.scenario), chain_(chain), lines_(lines),
          fullPath_(std::move(fullPath)) {}

    ReadOutcome run();

private:
    // Each packet reader takes the lines of its packet's body; PacketBody says where the
    // packet ends, exactly as the writer sees it.
    void readPacket(Packet packet, PacketBody& body);
    void get_runfiles(PacketBody& body);
    void get_options(PacketBody& body);
    void get_stage2(PacketBody& body);
    void get_period_options(PacketBody& body);
    void get_region_options(PacketBody& body);
    void get_source_options(PacketBody& body);
    void get_file_list(PacketBody& body, AllocCollection& target, AllocCollection& saved,
                       bool population);
    void get_growth_files(PacketBody& body);
    void get_factor_files(PacketBody& body, bool emissionFactors);
    void get_modelyear_out(PacketBody& body);
    void get_daily_files(PacketBody& body);

    // A path value: trimmed text after the colon, in the platform's case for paths.
    std::string pathValue(std::string_view line) const {
        return s_.rules.readPath(colon_value_keep_case(line));
    }
    // Reads the next line of the packet or raises "Input past end of file".
    static void mustRead(PacketBody& body, std::string& line) {
        if (!body.next(line))
            throw RunError(kInputPastEndOfFile);
    }
    void setRunFileDirectory(const std::string& value, std::string& dir, std::string& file,
                             std::size_t slot);
    std::string joinRunFile(std::string_view dir, std::string_view file) const;
    void refuse(const std::string& message, MessageIcon icon = MessageIcon::None);

    Session& s_;
    Scenario& sc_;
    ReadChain& chain_;
    LineSource& lines_;
    std::string fullPath_;
    bool refused_ = false;
};

bool& found_flag(Scenario& sc, Packet packet) {
    switch (packet) {
    case Packet::Runfiles:
        return sc.found_runfiles;
    case Packet::PopFiles:
        return sc.found_pop;
    case Packet::Options:
        return sc.found_options;
    case Packet::Period:
        return sc.found_period;
    case Packet::EmfacFiles:
        return sc.found_emfac;
    case Packet::DeteriorateFiles:
        return sc.found_deter;
    case Packet::Region:
        return sc.found_region;
    case Packet::SourceCategory:
        return sc.found_source;
    case Packet::AllocFiles:
        return sc.found_alloc;
    case Packet::GrowthFiles:
        return sc.found_growth;
    case Packet::StageII:
        return sc.found_stage2;
    case Packet::ModelyearOut:
        return sc.found_modelyear;
    case Packet::DailyFiles:
        return sc.found_daily;
    }
    return sc.found_runfiles;
}

void PacketReader::refuse(const std::string& message, MessageIcon icon) {
    s_.message(message, icon);
    refused_ = true;
    if (const auto outcome = ask_for_replacement(s_, chain_); outcome)
        throw ReadReplaced{};
}

ReadOutcome PacketReader::run() {
    // A value the file does not set is the value at program start, never one of the file
    // being left; and edits belonged to that file: this file's packets are copied as they
    // are until something is edited in it.
    sc_.resetForRead();

    try {
        std::string line;
        // Lines outside the managed packets are skipped. A packet this program does not
        // manage ends at the first line that begins a managed one (see PacketBody), so the
        // writer, which walks those packets too, finds the same packets as this scan.
        while (lines_.next(line)) {
            if (const auto packet = format::packet_opened_by(line)) {
                found_flag(sc_, *packet) = true;
                PacketBody body(lines_, *packet);
                readPacket(*packet, body);
                // The rest of the packet: the terminator of /PERIOD/, which its reader leaves.
                body.skip();
            }
        }
    } catch (const RunError& e) {
        s_.message("Read options error " + std::string(e.what()) + std::to_string(e.number()));
        // What was read so far is in the scenario: the status and the message button show it.
        show_status(s_);
        return ReadOutcome::Failed;
    } catch (const Refusal& r) {
        s_.message(r.message);
        ask_for_replacement(s_, chain_);
        return ReadOutcome::Refused;
    } catch (const ReadAborted&) {
        show_status(s_);
        return ReadOutcome::Failed;
    } catch (const ReadReplaced&) {
        return ReadOutcome::Refused;
    }

    if (!sc_.found_region && !sc_.found_alloc && !sc_.found_emfac && !sc_.found_growth &&
        !sc_.found_pop && !sc_.found_options && !sc_.found_period && !sc_.found_runfiles) {
        s_.message("No packets found in the file: " + fullPath_ +
                       "\nIt appears that this file is not a KELVARO options file.",
                   MessageIcon::Exclamation);
        ask_for_replacement(s_, chain_);
        return ReadOutcome::Refused;
    }

    // Each check looks at the flags as the previous nested read (if any) left them.
    const std::pair<Packet, const bool Scenario::*> required[] = {
        {Packet::Region, &Scenario::found_region},     {Packet::AllocFiles, &Scenario::found_alloc},
        {Packet::EmfacFiles, &Scenario::found_emfac},  {Packet::PopFiles, &Scenario::found_pop},
        {Packet::Options, &Scenario::found_options},   {Packet::Period, &Scenario::found_period},
        {Packet::Runfiles, &Scenario::found_runfiles},
    };
    for (const auto& [packet, flag] : required) {
        if (sc_.*flag)
            continue;
        s_.message("Cannot find the " + std::string(format::packet_name(packet)) +
                       " packet in the options file.\nThe options file is corrupted.",
                   MessageIcon::Exclamation);
        refused_ = true;
        ask_for_replacement(s_, chain_);
    }

    if (!sc_.found_deter) {
        for (std::size_t k = 0; k < 15; ++k)
            sc_.detfiles[k].clear();
    }
    if (!sc_.found_source)
        sc_.sources_on = false;
    if (!sc_.found_stage2)
        sc_.stage2str = "0.0";
    if (!sc_.found_modelyear) {
        sc_.bmy_on = false;
        sc_.runfiles[kExhaustBmyOut].clear();
        sc_.runfiles[kEvapBmyOut].clear();
    }
    if (!sc_.found_daily)
        sc_.runfiles[kDailyTempsRvp].clear();

    if (!refused_)
        s_.scenarioMatchesFile();
    set_caption(s_);
    show_status(s_);
    if (refused_)
        return ReadOutcome::Refused;
    // A file read in full stands, whatever was cancelled before it in the chain.
    chain_.restorePending = false;
    return ReadOutcome::Loaded;
}

void PacketReader::readPacket(Packet packet, PacketBody& body) {
    switch (packet) {
    case Packet::Runfiles:
        return get_runfiles(body);
    case Packet::PopFiles:
        return get_file_list(body, sc_.popfiles, sc_.popfiles_saved, true);
    case Packet::Options:
        return get_options(body);
    case Packet::Period:
        return get_period_options(body);
    case Packet::EmfacFiles:
        return get_factor_files(body, true);
    case Packet::DeteriorateFiles:
        return get_factor_files(body, false);
    case Packet::Region:
        return get_region_options(body);
    case Packet::SourceCategory:
        return get_source_options(body);
    case Packet::AllocFiles:
        return get_file_list(body, sc_.allocfiles, sc_.allocfiles_saved, false);
    case Packet::GrowthFiles:
        return get_growth_files(body);
    case Packet::StageII:
        return get_stage2(body);
    case Packet::ModelyearOut:
        return get_modelyear_out(body);
    case Packet::DailyFiles:
        return get_daily_files(body);
    }
}

// The message and output data files are held as full paths: a value without a directory
// lies in the options file's directory, a relative directory lies under the model directory.
// A directory with a drive letter (a file written on Windows) is not relative: the value is
// kept as it was written, so that saving the file gives it back unchanged.
void PacketReader::setRunFileDirectory(const std::string& value, std::string& dir,
                                       std::string& file, std::size_t slot) {
    dir = dir_part(value);
    file = file_name_part(value);
    if (dir.empty())
        dir = sc_.optdir;
    if (!s_.rules.isAbsolute(dir) && PathRules::hasDriveLetter(dir)) {
        sc_.runfiles[slot] = value;
        return;
    }
    if (!s_.rules.isAbsolute(dir))
        dir = s_.join(s_.settings.modeldir, dir);
    sc_.runfiles[slot] = s_.join(dir, file);
}

// A file in a run-file directory; a Windows directory keeps its own separator.
std::string PacketReader::joinRunFile(std::string_view dir, std::string_view file) const {
    const bool windowsDir = !s_.rules.isAbsolute(dir) && PathRules::hasDriveLetter(dir);
    return (windowsDir ? PathRules::windows() : s_.rules).join(dir, file);
}

// Slots the packet does not name stay as the read found them: empty at its start, or set by
// /MODELYEAR OUT/ or /DAILY FILES/ when those packets came first.
void PacketReader::get_runfiles(PacketBody& body) {
    std::string line;
    while (body.next(line)) {
        const std::string descriptor = upper(std::string_view(line).substr(0, 16));
        std::size_t slot = 0;
        while (slot < kRunFileCount && format::runfiledescriptors[slot] != descriptor)
            ++slot;
        if (slot == kRunFileCount)
            throw Refusal{"Runfile descriptor not found " + descriptor};

        const std::string value = pathValue(line);
        if (slot == kMessage) {
            setRunFileDirectory(value, sc_.msgdir, sc_.msgfile, slot);
        } else if (slot == kOutputData) {
            setRunFileDirectory(value, sc_.outdir, sc_.outfile, slot);
        } else if (slot == kExhaustBmyOut || slot == kEvapBmyOut) {
            sc_.runfiles[slot] = joinRunFile(sc_.outdir, file_name_part(value));
        } else {
            sc_.runfiles[slot] = value;
        }
    }
}

void PacketReader::get_options(PacketBody& body) {
    sc_.so2marinedieselstr.clear();
    std::string* const targets[12] = {
        &sc_.title1str,  &sc_.title2str,    &sc_.fulrvpstr,          &sc_.pcoxygenstr,
        &sc_.so2gasstr,  &sc_.so2dieselstr, &sc_.so2marinedieselstr, &sc_.so2cngstr,
        &sc_.mintempstr, &sc_.maxtempstr,   &sc_.avgtempstr,         &sc_.altitudestr,
    };
    std::string line;
    int count = 1;
    bool keepLine = false;
    while (keepLine || body.next(line)) {
        keepLine = false;
        if (count == 7 && upper(std::string_view(line).substr(0, 6)) != "MARINE") {
            // No marine line: this line is the CNG/LPG one.
            count = 8;
            keepLine = true;
            continue;
        }
        if (count <= 12)
            *targets[count - 1] = colon_value(line);
        ++count;
    }
}

void PacketReader::get_stage2(PacketBody& body) {
    std::string line;
    while (body.next(line)) {
        sc_.stage2str = colon_value(line);
        sc_.stage2_known = true;
    }
}

void PacketReader::get_period_options(PacketBody& body) {
    const PeriodNames& names = load_period_names();
    std::string line;
    try {
        mustRead(body, line);
        std::string v = colon_value(line);
        if (contains(v, "ANNUAL"))
            sc_.periodindex = 0;
        else if (contains(v, "MONTHLY"))
            sc_.periodindex = 1;
        else if (contains(v, "SEASONAL"))
            sc_.periodindex = 2;
        else
            throw Refusal{"Period type not recognized " + v + std::to_string(v.size())};

        mustRead(body, line);
        v = colon_value(line);
        if (contains(v, "TYPICAL DAY"))
            sc_.ptypeindex = 0;
        else if (contains(v, "PERIOD TOTAL"))
            sc_.ptypeindex = 1;
        else
            throw Refusal{"Summation type not Known " + v};

        mustRead(body, line);
        sc_.yearstr = colon_value(line);
        s_.log.write(" Get period options " + sc_.yearstr);

        mustRead(body, line);
        v = colon_value(line);
        sc_.seasonindex = 2;
        for (std::int16_t k = 0; k < 4; ++k) {
            if (contains(v, upper(names.seasonnames[k])))
                sc_.seasonindex = k;
        }

        mustRead(body, line);
        v = colon_value(line);
        for (std::int16_t k = 0; k < 12; ++k) {
            if (contains(v, upper(names.monthnames[k])))
                sc_.monthindex = k;
            else if (v.empty())
                sc_.monthindex = 5;
        }

        mustRead(body, line);
        v = colon_value(line);
        for (std::int16_t k = 0; k < 2; ++k) {
            if (contains(v, upper(names.weeknames[k])))
                sc_.weekindex = k;
        }

        mustRead(body, line);
        sc_.growthyearstr = colon_value(line);
        s_.log.write(" Get period options " + sc_.growthyearstr);
        mustRead(body, line);
        sc_.techyearstr = colon_value(line);
        s_.log.write(" Get period options " + sc_.techyearstr);

        // The ninth line, the terminator whatever it holds, is left to the caller.
    } catch (const RunError& e) {
        const std::string text = "***************Period error " + std::to_string(e.number());
        s_.log.write(text);
        s_.log.write(line);
        throw Refusal{text};
    }
}

void PacketReader::get_region_options(PacketBody& body) {
    sc_.regions.clear();
    std::string line;
    int count = 0;
    while (body.next(line)) {
        ++count;
        const std::string v = colon_value(line);
        if (v == "50STATE")
            sc_.regionlevel = 0;
        else if (v == "STATE")
            sc_.regionlevel = 1;
        else if (v == "COUNTY")
            sc_.regionlevel = 2;
        else if (v == "SUBCOUNTY" || v == "US TOTAL")
            sc_.regionlevel = 3;
        else if (count == 1)
            throw Refusal{"Region " + v + " is not known. Correct " + sc_.optfile + " and retry"};
        else {
            auto region = std::make_shared<RegionCls>();
            region->code = v;
            sc_.regions.add(std::move(region), v); // a repeated code is dropped silently
        }
    }
    // A file that ends before the first region code is broken; one that ends after some
    // codes simply lacks its "/END/".
    if (body.end() == PacketBody::End::EndOfFile && count < 2)
        throw RunError(kInputPastEndOfFile);
    if (!validate_region(s_))
        throw ReadAborted{};
}

void PacketReader::get_source_options(PacketBody& body) {
    sc_.resetSources();
    if (!open_reference_db(s_))
        throw ReadAborted{};
    sc_.sources_on = true;

    int failures = 0;
    std::string line;
    try {
        while (body.next(line)) {
            const std::string scc = trim_left(mid(line, 21, 20));
            std::optional<SourceEntry> entry;
            try {
                entry = check_scc(s_, scc);
            } catch (const ReferenceDbError& e) {
                s_.log.write(std::string("get_source_options error ") + e.what());
                s_.log.write(scc_query(scc).text());
                continue;
            }
            if (entry) {
                sc_.appendSource(std::move(*entry));
                continue;
            }
            if (++failures <= 5) {
                s_.message("Invalid SCC code found in /SOURCE CATEGORY/ Packet: \n" +
                               std::string(27, ' ') + scc + "\nSkipping this entry.",
                           MessageIcon::Information);
            } else {
                refuse("It appears the /SOURCE CATEGORY/ Packet is corrupt.\n"
                       "Perhaps the /END/ keyword is missing.");
            }
        }
    } catch (...) {
        close_reference_db(s_);
        throw;
    }
    close_reference_db(s_);
}

void PacketReader::get_file_list(PacketBody& body, AllocCollection& target, AllocCollection& saved,
                                 bool population) {
    target.clear();
    std::string line;
    while (body.next(line)) {
        auto entry = std::make_shared<AllocCls>();
        const auto colon = line.find(':');
        entry->descriptor = colon == std::string::npos ? std::string() : line.substr(0, colon + 1);
        entry->allocfile = pathValue(line);
        const std::string key = entry->allocfile;
        if (!target.add(std::move(entry), key)) {
            // The same file named twice: say so and skip that line; the rest of the list
            // still counts.
            const std::string text = error_text(kDuplicateKey);
            s_.message(population ? "In GET_POPULATION_OPTIONS " + text : text);
        }
    }
    copy_file_collection(target, saved);
}

void PacketReader::get_growth_files(PacketBody& body) {
    std::vector<std::string> paths;
    std::string line;
    while (body.next(line))
        paths.push_back(pathValue(line));
    if (paths.empty())
        return; // an empty packet leaves the list as it was
    paths.emplace_back();
    sc_.growthfiles = std::move(paths);
}

void PacketReader::get_factor_files(PacketBody& body, bool emissionFactors) {
    auto& slots = emissionFactors ? sc_.emfacfiles : sc_.detfiles;
    for (std::size_t k = 0; k < 15; ++k)
        slots[k].clear();
    std::string line;
    while (body.next(line)) {
        const std::string key = trim(upper(trim(line)).substr(0, 19));
        // A blank label would match the start of the key list and erase the first slot;
        // a label found inside a key (not at its start) names no pollutant.
        if (key.empty())
            continue;
        const auto pos = format::pollutantkeys.find(key);
        if (pos == std::string_view::npos)
            continue;
        if (pos != 0 && format::pollutantkeys[pos - 1] != '|')
            continue;
        const auto slot = list_index(format::pollutantkeys, pos + 1, '|');
        if (!slot || *slot > 14)
            continue;
        slots[static_cast<std::size_t>(*slot)] = trim(mid(line, 21));
    }
}

void PacketReader::get_modelyear_out(PacketBody& body) {
    sc_.bmy_on = false;
    std::size_t slot = kExhaustBmyOut;
    std::string line;
    while (body.next(line)) {
        if (slot >= kRunFileCount)
            throw RunError(kSubscriptOutOfRange);
        sc_.runfiles[slot++] = pathValue(line);
    }
    sc_.bmy_on = !sc_.runfiles[kExhaustBmyOut].empty() || !sc_.runfiles[kEvapBmyOut].empty();
}

void PacketReader::get_daily_files(PacketBody& body) {
    std::string line;
    while (body.next(line))
        sc_.runfiles[kDailyTempsRvp] = pathValue(line);
}

} // namespace

namespace {

ReadOutcome read_stream(Session& session, ReadChain& chain, std::istream& in,
                        const std::string& fullPath) {
    if (!chain.before)
        chain.before = session.scenario;
    LineSource lines = LineSource::fromStream(in);
    if (in.bad()) {
        session.message("Read options error " + error_text(kDeviceIoError) +
                        std::to_string(kDeviceIoError));
        return ReadOutcome::Failed;
    }
    return PacketReader(session, chain, lines, fullPath).run();
}

ReadOutcome read_file(Session& session, ReadChain& chain) {
    // Open dialogs hold values of the file being left; they go before the new file comes in.
    session.scenarioReplacing();
    const Scenario& sc = session.scenario;
    const std::string fullPath = session.join(sc.optdir, sc.optfile);
    const std::string found = resolve_existing_path(fullPath);
    std::error_code ec;
    if (found.empty() || std::filesystem::is_directory(found, ec)) {
        session.message("Cannot find options file: " + lower(fullPath));
        return ReadOutcome::Failed;
    }
    std::ifstream in(found, std::ios::binary);
    if (!in) {
        const int number = error_number_from_errno(errno);
        session.message("Read options error " + error_text(number) + std::to_string(number));
        return ReadOutcome::Failed;
    }
    return read_stream(session, chain, in, fullPath);
}

std::optional<ReadOutcome> ask_for_replacement(Session& session, ReadChain& chain) {
    Scenario& sc = session.scenario;
    const FileDialogRequest request = options_file_request(session, "Select new option file ");
    auto choice = session.ui.chooseOpenFile(request);
    if (!choice) {
        sc.optfile = sc.prevoptfile;
        sc.optdir = sc.prevoptdir;
        if (sc.optfile.empty())
            choice = session.ui.chooseOpenFile(request);
        if (!choice) {
            chain.restorePending = true;
            return std::nullopt;
        }
    }
    const DirAndFile chosen = split_dialog_path(choice->path, choice->fileTitle);
    sc.optfile = chosen.file;
    sc.optdir = chosen.dir;
    BusyPointer busy(session.ui);
    return read_file(session, chain);
}

// Ends a chain of reads: after a cancelled replacement, the scenario, its flags and its file
// names are those from before the chain, the current file the previous one; the status
// shows them.
template <class Outcome> Outcome end_chain(Session& session, ReadChain& chain, Outcome outcome) {
    if (chain.restorePending) {
        Scenario& sc = session.scenario;
        std::string prevoptfile = sc.prevoptfile;
        std::string prevoptdir = sc.prevoptdir;
        if (chain.before)
            sc = std::move(*chain.before);
        sc.optfile = std::move(prevoptfile);
        sc.optdir = std::move(prevoptdir);
        show_status(session);
    }
    return outcome;
}

} // namespace

ReadOutcome read_options_stream(Session& session, std::istream& in, const std::string& fullPath) {
    ReadChain chain;
    return end_chain(session, chain, read_stream(session, chain, in, fullPath));
}

ReadOutcome read_options(Session& session) {
    ReadChain chain;
    return end_chain(session, chain, read_file(session, chain));
}

FileDialogRequest options_file_request(const Session& session, std::string title) {
    FileDialogRequest request;
    request.title = std::move(title);
    request.filter = "Option files (*.opt)|*.opt|All files (*.*)|*.*";
    request.filterIndex = 1;
    request.initialDir = session.scenario.optdir;
    request.initialFile = session.scenario.optfile;
    return request;
}

std::optional<ReadOutcome> select_new_options_file(Session& session) {
    ReadChain chain;
    return end_chain(session, chain, ask_for_replacement(session, chain));
}

std::optional<int> list_index(std::string_view list, std::size_t position, char separator) {
    int count = 0;
    std::size_t current = 1; // 1-based
    while (current < position) {
        const auto next = list.find(separator, current - 1);
        if (next == std::string_view::npos)
            return std::nullopt;
        current = next + 2;
        ++count;
    }
    return count;
}

const PeriodNames& load_period_names() {
    static const PeriodNames names{
        {"Winter", "Spring", "Summer", "Autumn"},
        {"January", "February", "March", "April", "May", "June", "July", "August", "September",
         "October", "November", "December"},
        {"Weekday", "Weekend"},
    };
    return names;
}

bool read_line(std::istream& in, std::string& line) {
    line.clear();
    int c = in.get();
    if (c == std::char_traits<char>::eof())
        return false;
    while (c != std::char_traits<char>::eof() && c != '\n' && c != '\r') {
        line.push_back(static_cast<char>(c));
        c = in.get();
    }
    if (c == '\r' && in.peek() == '\n')
        in.get();
    return true;
}

} // namespace kv
