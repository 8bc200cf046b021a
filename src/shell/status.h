#pragma once

#include "shell/ports.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace kv {

class Session;
struct Scenario;
struct Settings;
struct PathRules;

// "US XQB KELVARO MODEL (" + optfile in lower case + ")".
std::string caption_text(std::string_view optfile);

// The three status lines and whether "&View Message File" is offered, computed from what
// exists on disk now.
StatusDisplay status_display(const Scenario& scenario, const Settings& settings,
                             const PathRules& rules);

// A line of the status label cut where the main window may shorten it when it does not fit:
// `head` is the caption up to its ": ", `directory` the directory of the shown file name
// (empty for a bare name), `rest` the file name with its size and date part. The three parts
// joined give the line.
struct StatusLineParts {
    std::string head;
    std::string directory;
    std::string rest;
};
StatusLineParts status_line_parts(std::string_view line, const PathRules& rules);

// Sets the main window's caption from `optfile`.
void set_caption(Session& session);
// Rebuilds the status label and the state of the message button.
void show_status(Session& session);

// The file's last-modified time in the general date-and-time format, "12/7/2026 8:05:09 PM".
std::string general_date_time(std::int64_t secondsSinceEpoch);

// The broken-down local time of `t` (thread-safe on every platform).
std::tm local_time(std::time_t t);

} // namespace kv
