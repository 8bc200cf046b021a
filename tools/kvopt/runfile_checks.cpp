#include "runfile_checks.h"

#include "advanced/single_file_dialog.h"
#include "shell/session.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

namespace kvopt {

namespace {

constexpr std::string_view kRunFiles = "runfiles.";

// The slot of a "runfiles.N=VALUE" assignment, or nullopt for any other item.
std::optional<std::size_t> run_file_slot(std::string_view assignment) {
    std::string_view name = assignment.substr(0, assignment.find('='));
    if (!name.starts_with(kRunFiles))
        return std::nullopt;
    name.remove_prefix(kRunFiles.size());
    std::size_t slot = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), slot);
    if (error != std::errc() || end != name.data() + name.size())
        return std::nullopt;
    return slot;
}

bool edits_a_slot_of(const kv::SingleFileMember& member, const std::vector<std::size_t>& slots) {
    return std::ranges::any_of(member.rows, [&](const kv::SingleFileRow& row) {
        return row.slot && std::ranges::find(slots, *row.slot) != slots.end();
    });
}

} // namespace

bool run_file_dialogs_accept(kv::Session& session, const std::vector<std::string>& assignments,
                             bool check) {
    std::vector<std::size_t> slots;
    for (const std::string& assignment : assignments) {
        if (const auto slot = run_file_slot(assignment))
            slots.push_back(*slot);
    }
    for (const kv::SingleFileMember& member : kv::single_file_members()) {
        // A dialog whose OK only closes stores its rows as they were set.
        if (member.ok == kv::SingleFileOk::StoreAtClose || !edits_a_slot_of(member, slots))
            continue;
        kv::SingleFileDialog dialog(session, member);
        dialog.load();
        if (!dialog.ok(check))
            return false;
        dialog.unload();
    }
    return true;
}

} // namespace kvopt
