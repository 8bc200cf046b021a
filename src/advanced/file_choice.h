#pragma once

#include "shell/ports.h"

#include <optional>
#include <string>

namespace kv {

// The Open dialog of an advanced dialog's file picker: shown again, at the refused choice,
// for as long as the chosen name fails the 8.3 check (whose message says why). Nullopt when
// the user cancels.
std::optional<FileChoice> choose_83_file(UserInterface& ui, FileDialogRequest request);

// Where such an Open dialog starts: the folder as it is spelled on disk, found whatever its
// case (a data tree copied from Windows); the text as given when there is none.
std::string folder_on_disk(const std::string& dir);

} // namespace kv
