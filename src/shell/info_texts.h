#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace kv {

class Session;
struct Scenario;
struct FileLocations;

// One label of an information window: its control name and its text.
struct LabelText {
    std::string name;
    std::string text;
};

// The eight lines of the `Current` window ("File Status"), values in lower case.
std::vector<LabelText> current_window_labels(const Session& session);

// "Version " and the program's major, minor and revision numbers.
std::string about_version_text();

// The about window's second line: the arguments as they were passed, or, without arguments,
// the program file's full path, two blanks and its last-modified date and time. `ok` is
// false (and `text` says why) when the program file's date cannot be read.
struct AboutDate {
    bool ok = true;
    std::string text;
};
AboutDate about_date_text(const std::string& programFile,
                          const std::vector<std::string>& arguments);

// The headers of the packets the `frmdiag` window lists.
inline constexpr const char* kDiagPackets[] = {
    "/ALLOC FILES/",       "/POP FILES/", "/REGION/",   "/GROWTH FILES/",   "/EMFAC FILES/",
    "/DETERIORATE FILES/", "/PERIOD/",    "/RUNFILES/", "/SOURCE CATEGORY/"};

// Adds the lines of a packet, from the line after its header up to, not including, the first
// line that contains "/END/" anywhere.
void an_option(std::istream& in, std::vector<std::string>& list);

// The packet listing of `frmdiag`: the file's first line, then each listed packet's header and
// body lines; the lines of other packets are skipped.
std::vector<std::string> diag_listing(std::istream& in);

std::string diag_caption(const std::string& optfile);

// The hidden diagnostic lists of the main window (filled by "Diag"): the distinct state
// abbreviations of the Region dialog's working selection, and one line per entry of it, the
// county name followed directly by the state name.
struct DiagLists {
    std::vector<std::string> abbreviations;
    std::vector<std::string> regions;
};
DiagLists diag_lists(const Scenario& scenario);

// What `kvgui --help` (or -h) and `kvgui --version` print before the program would start;
// nullopt for any other command line, whose arguments only the about window shows.
std::optional<std::string> kvgui_command_line_answer(const std::vector<std::string>& arguments,
                                                     const FileLocations& places);

// The caption of Model > Run for the current options file.
std::string run_menu_caption(const std::string& optfile);

} // namespace kv
