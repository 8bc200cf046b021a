#include "advanced/file_choice.h"

#include "shell/dialog_helpers.h"

namespace kv {

std::optional<FileChoice> choose_83_file(UserInterface& ui, FileDialogRequest request) {
    for (;;) {
        std::optional<FileChoice> choice = ui.chooseOpenFile(request);
        if (!choice || check_83_name(choice->path, ui))
            return choice;
        request.initialFile = choice->path;
    }
}

std::string folder_on_disk(const std::string& dir) {
    const std::string found = resolve_existing_path(dir);
    return found.empty() ? dir : found;
}

} // namespace kv
