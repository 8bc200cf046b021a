#include "runfile_checks.h"

#include "advanced/single_file_dialog.h"
#include "shell/session.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace kvopt {

namespace {

constexpr std::string_view kRunFiles = "runfiles.";

// The slot of a "runfiles.N=VALUE" assignment, or nullopt for any other item.
std::optional<std::size_t> run_file_slot(std::string_view name) {
    if (!name.starts_with(kRunFiles))
        return std::nullopt;
    name.remove_prefix(kRunFiles.size());
    std::size_t slot = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), slot);
    if (error != std::errc() || end != name.data() + name.size())
        return std::nullopt;
    return slot;
}

} // namespace

bool apply_run_file_checks(kv::Session& session, std::vector<std::string>& assignments,
                           bool check) {
    std::vector<std::string> checked = assignments;
    for (std::string& assignment : checked) {
        const auto eq = assignment.find('=');
        if (eq == std::string::npos)
            continue;
        const auto slot = run_file_slot(std::string_view(assignment).substr(0, eq));
        if (!slot)
            continue;
        kv::RunFileCheck result =
            kv::check_run_file(session, *slot, assignment.substr(eq + 1), check);
        if (!result.message.empty()) {
            session.message(result.message);
            return false;
        }
        assignment = assignment.substr(0, eq + 1) + result.value;
    }
    assignments = std::move(checked);
    return true;
}

} // namespace kvopt
