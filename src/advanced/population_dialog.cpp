#include "advanced/population_dialog.h"

#include "advanced/file_search.h"
#include "optionsfile/scenario.h"
#include "shell/current_dir.h"
#include "shell/session.h"
#include "shell/text.h"

#include <limits>
#include <memory>

namespace kv {

PopulationDialog::PopulationDialog(Session& session)
    : FileListDialog(session, {.title = "Select Allocation file",
                               .filter = "Equip Files (*.pop)|*.pop|All files (*.*)|*.*",
                               .folder = "pop"}) {}

void PopulationDialog::load() {
    std::vector<std::string> paths;
    for (const auto& entry : session_.scenario.popfiles)
        paths.push_back(entry->allocfile);
    list_.assign(std::move(paths));
    seledit_.clear();
}

void PopulationDialog::click() {
    if (const auto line = list_.selection().current(); line && *line < lines().size())
        seledit_ = lines()[*line];
}

bool PopulationDialog::listedElsewhere(const std::string& text, std::size_t except) const {
    for (std::size_t i = 0; i < lines().size(); ++i) {
        if (i != except && iequals(lines()[i], text))
            return true;
    }
    return false;
}

bool PopulationDialog::addFile(const std::string& path, bool checkExistence) {
    if (refused_for_line_break(session_, path))
        return false;
    if (checkExistence && !directory_search_finds(path, session_.programDir)) {
        session_.message(path + std::string(kAddMissing));
        return false;
    }
    if (listedElsewhere(path, std::numeric_limits<std::size_t>::max())) {
        session_.message(path + std::string(kAlreadySelected));
        return false;
    }
    list_.append(path);
    make_program_dir_current(session_);
    return true;
}

void PopulationDialog::replace() {
    const auto line = list_.selection().current();
    if (!line || *line >= lines().size() || refused_for_line_break(session_, seledit_))
        return;
    if (!directory_search_finds(seledit_, session_.programDir)) {
        session_.message(seledit_ + std::string(kReplaceMissing));
        return;
    }
    if (seledit_ == lines()[*line])
        return;
    if (listedElsewhere(seledit_, *line)) {
        session_.message(seledit_ + std::string(kAlreadySelected));
        return;
    }
    list_.lines()[*line] = seledit_;
}

void PopulationDialog::unload() {
    Scenario& sc = session_.scenario;
    if (cancelled_) {
        copy_file_collection(sc.popfiles, sc.popfiles_saved);
        return;
    }
    sc.changed_pop = true;
    AllocCollection committed;
    for (const std::string& path : lines()) {
        // Add and Replace keep each file listed once; a second line of the same file could
        // only be dropped here.
        committed.add(std::make_shared<AllocCls>(AllocCls{std::string(kDescriptor), path}), path);
    }
    copy_file_collection(committed, sc.popfiles_saved);
    copy_file_collection(sc.popfiles_saved, sc.popfiles);
}

} // namespace kv
