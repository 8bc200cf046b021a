#include "file_list_options.h"

#include "advanced/geoalloc_dialog.h"
#include "advanced/growth_dialog.h"
#include "advanced/population_dialog.h"
#include "shell/dialog_helpers.h"
#include "shell/session.h"
#include "shell/text.h"

#include <iostream>

namespace kvopt {

namespace {

std::string full_path(const std::filesystem::path& start, const std::string& value) {
    return (start / value).lexically_normal().string();
}

// The comma-separated paths of a list option, each without the blanks around it; an empty
// value is an empty list.
std::vector<std::string> path_list(const std::filesystem::path& start, const std::string& value) {
    std::vector<std::string> paths;
    if (kv::trim(value).empty())
        return paths;
    std::string::size_type from = 0;
    for (;;) {
        const auto comma = value.find(',', from);
        paths.push_back(full_path(start, kv::trim(value.substr(from, comma - from))));
        if (comma == std::string::npos)
            return paths;
        from = comma + 1;
    }
}

// Every line selected, as a user does before Delete.
void select_all(kv::ListSelection& selection) {
    for (std::size_t i = 0; i < selection.size(); ++i)
        selection.setSelected(i, true);
}

// The line of the allocation list naming `path`, as the list's keys compare.
std::optional<std::size_t> alloc_line(const kv::GeoAllocDialog& dialog, const std::string& path) {
    const auto lines = dialog.lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (kv::iequals(lines[i], path))
            return i;
    }
    return std::nullopt;
}

bool apply_alloc(kv::Session& session, const FileListArgs& args, bool check,
                 const std::filesystem::path& start) {
    if (args.alloc.empty())
        return true;
    kv::GeoAllocDialog dialog(session);
    dialog.load();
    for (const auto& action : args.alloc) {
        if (action.add) {
            if (!dialog.addFile(full_path(start, action.path), check))
                return false;
            continue;
        }
        // The path as listed, or as a full path from where kvopt was started.
        auto line = alloc_line(dialog, action.path);
        if (!line)
            line = alloc_line(dialog, full_path(start, action.path));
        if (!line) {
            std::cerr << "kvopt save: --alloc-remove: " << action.path
                      << " is not in the allocation files\n";
            return false;
        }
        dialog.selection().setSelected(*line, true);
        dialog.del();
    }
    if (!dialog.ok(check))
        return false;
    dialog.unload();
    return true;
}

// Replaces a whole list as a user of the Growth or Equipment Population dialog does: every
// line selected and deleted, each path added, OK.
bool replace_list(kv::Session& session, kv::FileListDialog& dialog, const std::string& value,
                  bool check, bool check83, const std::filesystem::path& start) {
    select_all(dialog.selection());
    dialog.del();
    for (const std::string& path : path_list(start, value)) {
        // The Open dialog of Add takes no name that fails the 8.3 check.
        if (check && check83 && !kv::check_83_name(path, session.ui))
            return false;
        if (!dialog.addFile(path, check))
            return false;
    }
    dialog.ok();
    dialog.unload();
    return true;
}

bool apply_growth(kv::Session& session, const std::string& value, bool check,
                  const std::filesystem::path& start) {
    kv::GrowthDialog dialog(session);
    dialog.load();
    return replace_list(session, dialog, value, check, true, start);
}

bool apply_pop(kv::Session& session, const std::string& value, bool check,
               const std::filesystem::path& start) {
    kv::PopulationDialog dialog(session);
    dialog.load();
    return replace_list(session, dialog, value, check, false, start);
}

} // namespace

void add_file_list_options(CLI::App& save, FileListArgs& args) {
    // Both act at once as they are read, so adds and removes keep the order given.
    save.add_option_function<std::string>(
            "--alloc-add",
            [&args](const std::string& path) {
                args.alloc.push_back({true, path});
            },
            "Add an allocation file as the Geographic Allocation dialog's Add does (repeatable)")
        ->trigger_on_parse();
    save.add_option_function<std::string>(
            "--alloc-remove",
            [&args](const std::string& path) {
                args.alloc.push_back({false, path});
            },
            "Remove an allocation file as the Geographic Allocation dialog's Delete does "
            "(repeatable)")
        ->trigger_on_parse();
    save.add_option("--growth", args.growth,
                    "PATH[,PATH...]: the growth files, replacing the list as the Growth dialog "
                    "does (an empty value: none)");
    save.add_option("--pop", args.pop,
                    "PATH[,PATH...]: the equipment population files, replacing the list as the "
                    "Equipment Population dialog does (an empty value: none)");
}

bool file_list_paths_single_line(const FileListArgs& args) {
    const auto refuse = [](std::string_view option) {
        std::cerr << "kvopt save: " << option << " takes paths of a single line\n";
        return false;
    };
    for (const auto& action : args.alloc) {
        if (action.add && kv::holds_line_break(action.path))
            return refuse("--alloc-add");
    }
    if (args.growth && kv::holds_line_break(*args.growth))
        return refuse("--growth");
    if (args.pop && kv::holds_line_break(*args.pop))
        return refuse("--pop");
    return true;
}

bool apply_file_list_options(kv::Session& session, const FileListArgs& args, bool check,
                             const Globals& globals) {
    const std::filesystem::path& start = globals.startDir;
    return apply_alloc(session, args, check, start) &&
           (!args.growth || apply_growth(session, *args.growth, check, start)) &&
           (!args.pop || apply_pop(session, *args.pop, check, start));
}

} // namespace kvopt
