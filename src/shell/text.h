#pragma once

#include <string>
#include <string_view>

// Text helpers shared by the whole core. Case conversion touches ASCII letters only:
// options files are 8-bit text in an unknown code page, so bytes above 127 pass through
// unchanged (UTF-8 names survive a read and a write untouched).
namespace kv {

std::string upper(std::string_view text);
std::string lower(std::string_view text);
std::string trim(std::string_view text);
std::string trim_left(std::string_view text);
std::string trim_right(std::string_view text);

bool contains(std::string_view text, std::string_view part);
bool iequals(std::string_view a, std::string_view b);

// Mid$-style extraction with 1-based positions that never throws.
std::string mid(std::string_view text, std::size_t start1,
                std::size_t count = std::string_view::npos);

// The text as one printable line for a terminal: control characters are shown as escapes
// ("\n", "\t", "\x1b", "\u009b" for C1 controls) and bytes that are not UTF-8 as "\xe9",
// so a name can neither break a listing's lines nor send the terminal a command.
std::string escape_control_characters(std::string_view text);

// The value after the first colon of a line, trimmed and upper-cased; the whole line so
// treated when it has no colon.
std::string colon_value(std::string_view line);

// The same, but keeping the case of the text (path values on case-sensitive systems).
std::string colon_value_keep_case(std::string_view line);

// Every value of an options file is one line: these keep line breaks out of it.
bool holds_line_break(std::string_view text);
// The position of the first CR or LF at or after `from`, or npos.
std::size_t find_line_break(std::string_view text, std::size_t from = 0);
std::string without_line_breaks(std::string text);
// The text in double quotes, its carriage returns and line feeds written as \r and \n, as a
// message shows a value that holds them.
std::string quoted_showing_line_breaks(std::string_view text);

} // namespace kv
