#include "advanced/growth_dialog.h"

#include "advanced/file_search.h"
#include "shell/current_dir.h"
#include "shell/session.h"

#include <limits>

namespace kv {

GrowthDialog::GrowthDialog(Session& session)
    : FileListDialog(session, {.title = "Select Growth file",
                               .filter = "Growth Files (*.grw)|*.grw|All files (*.*)|*.*",
                               .folder = "growth",
                               .check83 = true}) {}

void GrowthDialog::load() {
    const Scenario& sc = session_.scenario;
    list_.assign({sc.growthfiles.begin(),
                  sc.growthfiles.begin() + static_cast<std::ptrdiff_t>(sc.growthCount())});
    txtgrow_.clear();
    txtgrowVisible_ = true;
}

bool GrowthDialog::click() {
    bool filled = false;
    const ListSelection& selection = list_.selection();
    for (std::size_t line = 0; line < lines().size(); ++line) {
        if (!selection.isSelected(line) || line > std::numeric_limits<std::int16_t>::max())
            continue;
        txtgrow_ = lines()[line];
        growthindex_ = static_cast<std::int16_t>(line);
        filled = true;
    }
    if (filled)
        txtgrowVisible_ = true;
    return filled;
}

bool GrowthDialog::addFile(const std::string& path, bool checkExistence) {
    if (refused_for_line_break(session_, path))
        return false;
    if (checkExistence && !directory_search_finds(path, session_.programDir)) {
        session_.message(path + std::string(kMissing));
        return false;
    }
    list_.append(path);
    make_program_dir_current(session_);
    return true;
}

void GrowthDialog::replace() {
    if (txtgrow_.empty() || refused_for_line_break(session_, txtgrow_))
        return;
    if (!directory_search_finds(txtgrow_, session_.programDir)) {
        session_.message(txtgrow_ + std::string(kMissing));
        return;
    }
    txtgrowVisible_ = false;
    if (growthindex_ >= 0 && static_cast<std::size_t>(growthindex_) < lines().size())
        list_.lines()[static_cast<std::size_t>(growthindex_)] = txtgrow_;
}

void GrowthDialog::unload() {
    if (cancelled_)
        return;
    Scenario& sc = session_.scenario;
    sc.growthfiles = lines();
    sc.growthfiles.emplace_back(); // the spare slot
    sc.changed_growth = true;
}

} // namespace kv
