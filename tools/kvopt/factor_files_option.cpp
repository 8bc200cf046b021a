#include "factor_files_option.h"

#include "advanced/factor_files_dialog.h"
#include "shell/session.h"
#include "shell/text.h"

#include <iostream>

namespace kvopt {

namespace {

using kv::FactorFilesDialog;

std::string key_list() {
    std::string list;
    for (std::size_t row = 0; row < kv::kFactorRowCount; ++row)
        list += (row ? ", " : "") + std::to_string(row) + " \"" +
                std::string(kv::factor_rows()[row].key) + "\"";
    return list;
}

bool parse_values(const char* option, const std::vector<std::string>& values,
                  std::vector<FactorAssignment>& out) {
    for (const std::string& value : values) {
        const auto eq = value.find('=');
        const auto row =
            eq == std::string::npos ? std::nullopt : kv::factor_row(value.substr(0, eq));
        if (!row) {
            std::cerr << "kvopt save: " << option << " takes KEY=PATH, KEY one of " << key_list()
                      << "; not \"" << value << "\"\n";
            return false;
        }
        std::string path = value.substr(eq + 1);
        // Each path is one line of the options file.
        if (kv::holds_line_break(path)) {
            std::cerr << "kvopt save: " << option << " takes a path of a single line\n";
            return false;
        }
        out.push_back({*row, std::move(path)});
    }
    return true;
}

// The dialog opened, its rows typed, then OK (or, unchecked, the close button).
bool leave_with_ok(kv::Session& session, const kv::FactorFilesMember& member,
                   const std::vector<FactorAssignment>& assignments, bool check) {
    if (assignments.empty())
        return true;
    FactorFilesDialog dialog(session, member);
    dialog.load();
    for (const FactorAssignment& a : assignments)
        dialog.setText(a.row, a.path);
    if (check && !dialog.testexist())
        return false;
    dialog.unload();
    return true;
}

} // namespace

void add_factor_files_options(CLI::App& save, FactorFilesArgs& args) {
    const std::string keys = "KEY is a pollutant key (such as \"NOX EXHAUST\") or its row "
                             "number counted from 0: " +
                             key_list();
    save.add_option("--emfac", args.emfac,
                    "KEY=PATH: the emission factor file of a pollutant, as the Emission "
                    "Factors dialog sets it (OK checks that all fifteen files exist). " +
                        keys);
    save.add_option("--detfac", args.detfac,
                    "KEY=PATH: the deterioration factor file of a pollutant, as the "
                    "Deterioration Factors dialog sets it (a file set is written into "
                    "/DETERIORATE FILES/, which is added when IN has none)");
}

std::optional<FactorFilesChanges> parse_factor_files(const FactorFilesArgs& args) {
    FactorFilesChanges changes;
    if (!parse_values("--emfac", args.emfac, changes.emfac) ||
        !parse_values("--detfac", args.detfac, changes.detfac))
        return std::nullopt;
    return changes;
}

bool apply_factor_files(kv::Session& session, const FactorFilesChanges& changes, bool check) {
    return leave_with_ok(session, kv::emission_factors(), changes.emfac, check) &&
           leave_with_ok(session, kv::deterioration_factors(), changes.detfac, check);
}

} // namespace kvopt
