#pragma once

#include "optionsfile/format.h"
#include "shell/path_rules.h"

#include <array>
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
// still written). `refusal`, when set, is the message of a scenario that cannot be written:
// a value holds a line break, which would split its line and could end its packet early.
// Nothing may be written then.
struct WriteResult {
    bool ok = true;
    int errorNumber = 0;
    std::string errorText;
    std::vector<std::string> notes;
    std::string refusal;
};

// The stream layer: copies `templ` into `out`, regenerating the managed packets from the
// scenario. Changes only `stage2str` (empty becomes "0") and run-file slots 12 and 13.
// Packets the template lacks are appended after its last line: /GROWTH FILES/ when growth
// files were edited in, /DETERIORATE FILES/ when `found_deter`, /SOURCE CATEGORY/ when
// `found_source` and `sources_on`, and /STAGE II/.
WriteResult write_options_stream(Scenario& scenario, std::istream& templ, std::ostream& out,
                                 const PathRules& rules, const std::string& headerTime);

// Writes `newoptdir`/`newoptfile` from the template `optdir`/`optfile`. The new file is
// written under a temporary name in the target's directory, flushed and renamed into place,
// so a failed write never leaves a partial file, and writing over the template itself is
// safe. A symbolic link is followed: the file it names is replaced and keeps its permission
// bits; a file the user may not write is not replaced. Reports a failure with
// "file error <n>" (and the system's words for it on a second line), or the refusal of a
// value holding a line break, and answers false.
bool newoptions(Session& session);

// The same with an explicit target path and temporary name (the in-place save).
bool write_options_file(Session& session, const std::string& templatePath,
                        const std::string& targetPath);

// Whether a save writes the template's `packet` from the scenario (the others are copied).
bool regenerated_on_save(const Scenario& scenario, format::Packet packet);

// A line between packets that a save drops: an old header line, which is not a packet line.
bool is_old_header_line(std::string_view line);

// What a scenario carries into a file: each managed packet as the writer would generate it
// from the scenario, whatever the edit flags say. File names, flags and working copies are
// not part of it, so two snapshots are equal exactly when the values written are.
struct ScenarioSnapshot {
    std::array<std::string, format::kPacketCount> packets;
    bool operator==(const ScenarioSnapshot&) const = default;
};
ScenarioSnapshot scenario_snapshot(const Scenario& scenario, const PathRules& rules);

// The edit flag that releases a packet for regeneration; null for the packets that are
// always written from the scenario.
bool* edit_flag(Scenario& scenario, format::Packet packet);

// Sets the edit flag of every packet whose values differ from `before`, so that the writer
// regenerates exactly those packets.
void mark_packets_changed(Scenario& scenario, const ScenarioSnapshot& before,
                          const PathRules& rules);

// "Written by Kelvaro interface at " and the current date and time.
std::string header_line(const std::string& headerTime);
std::string current_general_date_time();

} // namespace kv
