#include "shell/editor_launch.h"

#include "runs/posix_launcher.h"
#include "shell/dialog_helpers.h"
#include "shell/session.h"
#include "shell/text.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace kv {

namespace {

std::vector<std::string> split_words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string word;
    while (in >> word)
        words.push_back(word);
    return words;
}

} // namespace

std::optional<std::string> SystemEditorEnvironment::variable(const std::string& name) const {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

std::optional<std::string> SystemEditorEnvironment::defaultTextApplication() const {
    const auto xdgMime = find_program("xdg-mime");
    if (!xdgMime)
        return std::nullopt;
    const auto out = capture_output({*xdgMime, "query", "default", "text/plain"});
    if (!out)
        return std::nullopt;
    const std::string id = trim(*out);
    if (id.empty() || id.find('/') != std::string::npos)
        return std::nullopt;
    return id;
}

std::optional<std::string> SystemEditorEnvironment::desktopEntryPath(const std::string& id) const {
    std::vector<std::string> dirs;
    const auto home = variable("HOME");
    const auto dataHome = variable("XDG_DATA_HOME");
    if (dataHome && !dataHome->empty())
        dirs.push_back(*dataHome);
    else if (home)
        dirs.push_back(*home + "/.local/share");
    const auto dataDirs = variable("XDG_DATA_DIRS");
    std::stringstream list(dataDirs && !dataDirs->empty() ? *dataDirs
                                                          : "/usr/local/share:/usr/share");
    std::string dir;
    while (std::getline(list, dir, ':'))
        dirs.push_back(dir);
    std::error_code ec;
    for (const auto& d : dirs) {
        const auto candidate = std::filesystem::path(d) / "applications" / id;
        if (std::filesystem::is_regular_file(candidate, ec))
            return candidate.string();
    }
    return std::nullopt;
}

std::optional<std::string> SystemEditorEnvironment::findProgram(const std::string& name) const {
    return find_program(name);
}

std::vector<EditorCandidate> editor_candidates(const EditorEnvironment& env,
                                               const std::string& file) {
    std::vector<EditorCandidate> out;
    if (const auto visual = env.variable("VISUAL")) {
        auto words = split_words(*visual);
        if (!words.empty()) {
            EditorCandidate c;
            c.request.program = words.front();
            c.request.arguments.assign(words.begin() + 1, words.end());
            c.request.arguments.push_back(file);
            out.push_back(std::move(c));
        }
    }
    if (const auto id = env.defaultTextApplication()) {
        if (const auto gio = env.findProgram("gio")) {
            if (const auto entry = env.desktopEntryPath(*id))
                out.push_back({{*gio, {"launch", *entry, file}, {}}, true});
        }
        if (const auto gtkLaunch = env.findProgram("gtk-launch"))
            out.push_back({{*gtkLaunch, {*id, file}, {}}, true});
    }
    for (const char* name : kCommonEditors) {
        if (const auto path = env.findProgram(name))
            out.push_back({{*path, {file}, {}}, false});
    }
    return out;
}

bool open_in_text_editor(Session& session, const EditorEnvironment& env, const std::string& file) {
    for (const auto& c : editor_candidates(env, file)) {
        if (c.waitForSuccess) {
            const LaunchResult r = session.launcher.runAndWait(c.request);
            if (r.started && !r.crashed && r.exitCode == 0)
                return true;
        } else if (session.launcher.startDetached(c.request).started) {
            return true;
        }
    }
    session.message("Problem starting Notepad\nMake sure notepad.exe exists and is in your path.",
                    MessageIcon::Exclamation);
    return false;
}

bool open_run_message_file(Session& session, const EditorEnvironment& env,
                           const std::string& path) {
    if (path.empty() || !file_exists(path)) {
        session.message("Message file not found: " + path, MessageIcon::Exclamation);
        return false;
    }
    return open_in_text_editor(session, env, resolve_existing_path(path));
}

bool view_options_file(Session& session, const EditorEnvironment& env) {
    return open_in_text_editor(session, env,
                               session.join(session.settings.modeldir, session.scenario.optfile));
}

bool view_message_file(Session& session, const EditorEnvironment& env) {
    return open_in_text_editor(session, env,
                               session.join(session.scenario.msgdir, session.scenario.msgfile));
}

} // namespace kv
