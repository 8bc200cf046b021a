#pragma once

#include "optionsfile/scenario.h"
#include "runs/batch.h"
#include "sets/scenario_edits.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A scenario set: one options file per variation of a template, each made as a person would
// make it (the template read, the values set through the dialogs with their checks, Save as
// under a name of its own, so its message and output data files are named after it).
namespace kv {

struct CsvTable;

// A value varied over a set: a name set_scenario_value takes and the values it takes, in
// order.
struct Variation {
    std::string name;
    std::vector<std::string> values;
};

// "NAME=V1,V2,..." or "NAME=FIRST..LAST/STEP" (whole numbers, LAST included when the steps
// reach it; "/STEP" left out steps by 1). Nullopt and the reason in `error` when it is
// malformed or NAME is no name a value can be set by.
std::optional<Variation> parse_variation(const std::string& text, std::string& error);

// One file of a set: the values set in it (name, value) and its region, in the order given.
struct SetMember {
    std::vector<std::pair<std::string, std::string>> values;
    std::optional<RegionRequest> region;
    std::string name; // a table row's `name`; empty elsewhere
};

// More files than a set may hold: a product of a few long lists grows beyond any use.
inline constexpr std::size_t kMaxSetFiles = 100000;

// Every combination of the variations, the first varying slowest, each with one region per
// entry of `eachRegion` (LEVEL=ENTRY,...: the regions vary fastest). Nullopt, with the reason
// in `error`, when there would be more than kMaxSetFiles.
std::optional<std::vector<SetMember>>
product_members(const std::vector<Variation>& variations,
                const std::optional<RegionRequest>& eachRegion, std::string& error);

// The number of files product_members makes (capped just above kMaxSetFiles).
std::size_t product_size(const std::vector<Variation>& variations,
                         const std::optional<RegionRequest>& eachRegion);

// The table's rows as members: its columns are named by value names, "region" (LEVEL=ENTRY,
// ...) and "name"; an empty cell leaves the template's value. Nullopt, with the reason and
// the line in `error`, for an unknown column or a value that cannot be set.
std::optional<std::vector<SetMember>> table_members(const CsvTable& table, std::string& error);

// The default of --name: the template's name, then every value set with its name.
inline constexpr std::string_view kDefaultNamePattern = "{template}-{name}-{value}...";

// A text made fit to be a file's name on any system the model runs on: letters (any
// alphabet), digits, "-", "_" and "+" are kept; a run of anything else (blanks, "/", ".",
// quotes, control characters) becomes one "_"; never empty, never starting with "-", at most
// 120 bytes, cut between characters.
std::string safe_file_name(std::string_view text);

// Each member's file name without its extension, in order: from `pattern` ({template},
// {n} the member's number, {name}, {region}, and {NAME} for the value of any value name;
// empty: the default), made safe, and unique without regard to case in any alphabet ("-2",
// "-3" added to a name met before). Nullopt, with the reason in `error`, for an unknown
// placeholder.
std::optional<std::vector<std::string>> member_file_names(const std::vector<SetMember>& members,
                                                          std::string_view templateName,
                                                          std::string_view pattern,
                                                          std::string& error);

inline constexpr std::string_view kSweepListName = "sweep.csv";

struct SweepRequest {
    std::string templateFile; // full path
    std::filesystem::path folder;
    std::vector<SetMember> members;
    std::string namePattern; // empty: the default
    bool force = false;      // the folder may hold files already; files of the same name go
    bool keepGoing = false;  // a refused member is left out instead of refusing the set
};

// A member that did not pass its checks: the file it would have been, and the messages.
struct SweepRefusal {
    std::string file;
    std::vector<std::string> messages;
};

struct SweepResult {
    std::vector<std::string> written; // full paths, in the members' order
    std::vector<SweepRefusal> refused;
    // Why nothing was written: the template refused, the folder not usable, a write failed;
    // each its first line, then the messages that explain it.
    std::vector<std::string> errors;
    bool cancelled = false;
    // Whether the whole set was written as asked.
    bool complete() const { return errors.empty() && refused.empty() && !cancelled; }
};

// Writes a set one file at a time, so that a window stays responsive and a stop can come
// between two files: begin(), then writeNext() until it answers false, then finish(). The
// files are written into a hidden folder inside the set's folder and moved into place by
// finish() only when the set is complete (or, with keepGoing, its accepted files): a refused
// or cancelled set leaves the folder as it was (a folder made for it is removed again).
// Every member is checked on the template's reading, as kvopt save checks one: the values set
// through the dialogs' checks, the region through the Region dialog's OK.
class SetWriter {
public:
    SetWriter(const BatchContext& context, SweepRequest request);
    ~SetWriter();
    SetWriter(const SetWriter&) = delete;
    SetWriter& operator=(const SetWriter&) = delete;

    // Reads the template and prepares the folder; false (see finish()) when it cannot go on.
    bool begin();
    // Checks and writes the next member; false when there is none left, or a refusal or an
    // error ends the set.
    bool writeNext();
    std::size_t done() const;
    std::size_t total() const;
    // Moves the files into place and writes the folder's sweep.csv (the file and the values
    // of each, the region last); or, for a refused, failed or cancelled set, removes what was
    // written. The process's current directory is as it was before begin().
    SweepResult finish(bool cancel = false);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// begin(), writeNext() to the end, finish(); `stopRequested` is asked before every file.
SweepResult write_sweep(const BatchContext& context, SweepRequest request,
                        const std::function<bool()>& stopRequested = {});

} // namespace kv
