#include "shell/info_texts.h"

#include "optionsfile/reader.h"
#include "shell/file_locations.h"
#include "shell/log.h"
#include "shell/recent_files.h"
#include "shell/recovery.h"
#include "shell/session.h"
#include "shell/status.h"
#include "shell/text.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#ifndef KV_VERSION
#define KV_VERSION "2005.1.0"
#endif

namespace kv {

std::vector<LabelText> current_window_labels(const Session& session) {
    const Settings& s = session.settings;
    const Scenario& sc = session.scenario;
    return {
        {"Modellbl", "Model Directory " + lower(s.modeldir)},
        {"executlbl", "Model executable " + lower(s.modelexe)},
        {"inputoptlbl", "Input option file " + lower(sc.optfile)},
        {"datadirlbl", "Data directory " + lower(s.datadir)},
        {"Accesslbl", "Access executable " + lower(s.accessexe)},
        {"Optionlbl", "Option file " + lower(session.join(sc.optdir, sc.optfile))},
        {"Outputlbl", "Output file " + lower(session.join(sc.outdir, sc.outfile))},
        {"Messagelbl", "Message file " + lower(session.join(sc.msgdir, sc.msgfile))},
    };
}

std::string about_version_text() {
    // KV_VERSION is "major.minor.revision", the numbers as decimals.
    return std::string("Version ") + KV_VERSION;
}

std::optional<std::string> kvgui_command_line_answer(const std::vector<std::string>& arguments,
                                                     const FileLocations& places) {
    for (const std::string& a : arguments) {
        if (a == "--version")
            return std::string("kvgui (Kelvaro Model Interface) ") + KV_VERSION + "\n";
        if (a == "--help" || a == "-h") {
            return "Usage: kvgui [--help] [--version] [--demo]\n"
                   "\n"
                   "The Kelvaro Model Interface: edit the options files of the Kelvaro core "
                   "model,\nrun the model and look at its results.\n"
                   "\n"
                   "  -h, --help   show this text and exit\n"
                   "  --version    show the version and exit\n"
                   "  --demo       open the demo scenario with the stand-in model, as Help > "
                   "Open Demo\n"
                   "               does, without asking for or changing kv-gui.ini\n"
                   "\n"
                   "Other arguments are not used; Help > About shows them.\n"
                   "\n"
                   "Files of this copy of the program:\n"
                   "  " +
                   (places.configDir / std::string(Settings::kFileName)).string() +
                   "\n"
                   "  " +
                   (places.stateDir / std::string(Log::kFileName)).string() +
                   " (the log)\n"
                   "  " +
                   (places.stateDir / std::string(RecentFiles::kFileName)).string() +
                   "\n"
                   "  " +
                   places.stateDir.string() + "/*" + std::string(kRecoveryExtension) +
                   " (unsaved changes kept when the program was ended by a signal)\n";
        }
    }
    return std::nullopt;
}

AboutDate about_date_text(const std::string& programFile,
                          const std::vector<std::string>& arguments) {
    AboutDate out;
    if (!arguments.empty()) {
        for (std::size_t i = 0; i < arguments.size(); ++i)
            out.text += (i == 0 ? "" : " ") + arguments[i];
        return out;
    }
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(programFile, ec);
    if (ec) {
        out.ok = false;
        out.text = ec.message();
        return out;
    }
    const auto sys = std::chrono::file_clock::to_sys(time);
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(sys.time_since_epoch()).count();
    out.text = programFile + "  " + general_date_time(seconds);
    return out;
}

void an_option(std::istream& in, std::vector<std::string>& list) {
    std::string line;
    while (read_line(in, line)) {
        if (contains(line, "/END/"))
            return;
        list.push_back(line);
    }
}

std::vector<std::string> diag_listing(std::istream& in) {
    std::vector<std::string> list;
    std::string line;
    if (!read_line(in, line))
        return list;
    list.push_back(line);
    while (read_line(in, line)) {
        const bool listed = std::any_of(std::begin(kDiagPackets), std::end(kDiagPackets),
                                        [&](const char* header) { return line == header; });
        if (!listed)
            continue;
        list.push_back(line);
        an_option(in, list);
    }
    return list;
}

std::string diag_caption(const std::string& optfile) {
    return "Packets from " + optfile;
}

DiagLists diag_lists(const Scenario& scenario) {
    DiagLists out;
    for (const auto& region : scenario.regions_saved) {
        if (std::find(out.abbreviations.begin(), out.abbreviations.end(), region->abbr) ==
            out.abbreviations.end())
            out.abbreviations.push_back(region->abbr);
        out.regions.push_back(region->county + region->statename);
    }
    return out;
}

std::string run_menu_caption(const std::string& optfile) {
    if (contains(optfile, "&"))
        return "&Run with Current file";
    return "&Run with " + lower(optfile);
}

} // namespace kv
