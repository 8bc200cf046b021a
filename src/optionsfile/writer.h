#pragma once

#include "optionsfile/format.h"
#include "shell/path_rules.h"

#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class Session;
struct Scenario;

// What a write produced. `errorNumber` and `errorText` describe the first failure; `notes`
// say what the writer did about a malformed template (shown to the user, the file is
// still written).
struct WriteResult {
    bool ok = true;
    int errorNumber = 0;
    std::string errorText;
    std::vector<std::string> notes;
};

// The stream layer: copies `templ` into `out`, regenerating the managed packets from the
// scenario. Changes only `stage2str` (empty becomes "0") and run-file slots 12 and 13.
WriteResult write_options_stream(Scenario& scenario, std::istream& templ, std::ostream& out,
                                 const PathRules& rules, const std::string& headerTime);

// Writes `newoptdir`/`newoptfile` from the template `optdir`/`optfile`. The new file is
// written under a temporary name in the target's directory, flushed and renamed into place,
// so a failed write never leaves a partial file, and writing over the template itself is
// safe. A symbolic link is followed: the file it names is replaced and keeps its permission
// bits; a file the user may not write is not replaced. Reports a failure with
// "file error <n>" (and the system's words for it on a second line) and answers false.
bool newoptions(Session& session);

// The same with an explicit target path and temporary name (the in-place save).
bool write_options_file(Session& session, const std::string& templatePath,
                        const std::string& targetPath);

// Whether a save writes the template's `packet` from the scenario (the others are copied).
bool regenerated_on_save(const Scenario& scenario, format::Packet packet);

// A line between packets that a save drops: an old header line, which is not a packet line.
bool is_old_header_line(std::string_view line);

// "Written by Kelvaro interface at " and the current date and time.
std::string header_line(const std::string& headerTime);
std::string current_general_date_time();

} // namespace kv
