#pragma once

#include "shell/ports.h"

#include <array>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

class Session;

// How a read of an options file ended.
enum class ReadOutcome {
    Loaded,  // every required packet was there; caption and status were refreshed
    Refused, // the file was refused and the user was asked for another one
    Failed,  // the read ended early (file missing, read error); the message was shown
};

// Reads `optdir`/`optfile` into the scenario, checking regions and source categories against
// the reference database. Reports its own problems through the session's UserInterface.
// A refused file asks for a replacement; when the user cancels that choice, the scenario, its
// flags and file names are put back as they were before this read (the current file becomes
// `prevoptfile`/`prevoptdir`), so nothing of the refused file stays in it.
ReadOutcome read_options(Session& session);

// The stream layer of read_options: reads an already open options file. `fullPath` names it
// in messages.
ReadOutcome read_options_stream(Session& session, std::istream& in, const std::string& fullPath);

// Asks for another options file ("Select new option file "); a choice becomes the current
// file and is read with the busy pointer. A cancel restores `prevoptfile`/`prevoptdir` and
// refreshes the status (asking once more first when that name is empty); a cancel of a
// replacement for a refused choice puts the scenario back as it was before this call.
// Answers the outcome of the read, or nullopt when the user cancelled.
std::optional<ReadOutcome> select_new_options_file(Session& session);

// The Open dialog of the options files, preset with `optfile` in `optdir`.
FileDialogRequest options_file_request(const Session& session, std::string title);

// Starting at character 1, jumps to the character after the next separator, counting the
// jumps, until the current character is at or beyond `position` (1-based). Answers the count;
// nullopt when the position is never reached.
std::optional<int> list_index(std::string_view list, std::size_t position, char separator);

// The season, month and weekday name tables of the period packet.
struct PeriodNames {
    std::array<std::string_view, 4> seasonnames;
    std::array<std::string_view, 12> monthnames;
    std::array<std::string_view, 2> weeknames;
};
const PeriodNames& load_period_names();

// Reads one line ending in CR LF, LF or CR. False at end of input.
bool read_line(std::istream& in, std::string& line);

} // namespace kv
