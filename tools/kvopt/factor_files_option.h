#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kv {
class Session;
}

// `kvopt save --emfac` and `--detfac`: what the Emission Factors and Deterioration Factors
// dialogs do to the scenario's factor files, run on the dialogs' own logic, so the check of
// OK, its message and the edit flag are the same.
namespace kvopt {

struct FactorFilesArgs {
    std::vector<std::string> emfac; // KEY=PATH
    std::vector<std::string> detfac;
};

struct FactorAssignment {
    std::size_t row = 0;
    std::string path;
};

struct FactorFilesChanges {
    std::vector<FactorAssignment> emfac;
    std::vector<FactorAssignment> detfac;
};

// Adds the two repeatable options to the save command.
void add_factor_files_options(CLI::App& save, FactorFilesArgs& args);

// The rows and paths of the options' values; nullopt after printing what is wrong with one.
std::optional<FactorFilesChanges> parse_factor_files(const FactorFilesArgs& args);

// Opens each dialog that has changes on the scenario, types the paths into their rows and
// leaves it with OK: the check of all fifteen rows unless `check` is false, then the rows
// are stored. False after the dialog's message on standard error when a row is missing.
bool apply_factor_files(kv::Session& session, const FactorFilesChanges& changes, bool check);

} // namespace kvopt
