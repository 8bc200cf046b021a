#include "shell/demo_copy.h"

#include "runs/run_history.h"
#include "shell/file_commands.h"
#include "shell/session.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>
#include <utility>

namespace kv {

namespace fs = std::filesystem;

DemoPlaces demo_places(const fs::path& programDir, bool besideProgram,
                       const EnvironmentLookup& env) {
    if (besideProgram) {
        const fs::path demo = (programDir / ".." / "demo").lexically_normal();
        return {{}, demo, demo / "model" / std::string(kDemoModelName)};
    }
    return {(programDir / ".." / "share" / KV_PACKAGE_NAME / "demo").lexically_normal(),
            xdg_base_directory(env, "XDG_DATA_HOME", fs::path(".local") / "share") / "kelvaro" /
                "demo",
            programDir / std::string(kDemoModelName)};
}

DemoPlaces demo_places(const fs::path& programDir) {
    return demo_places(programDir, keeps_files_beside_program(programDir), process_environment);
}

namespace {

// The placeholders of the options file templates, as the build fills them in for its demo.
constexpr std::string_view kTemplateExtension = ".in";
constexpr std::string_view kDataPlaceholder = "@KV_DEMO_DATA@";
constexpr std::string_view kModelPlaceholder = "@KV_DEMO_MODEL@";

// Relative path (with '/') -> SHA-256 in hexadecimal.
using Manifest = std::map<std::string, std::string>;

std::optional<std::string> file_hash(const fs::path& path) {
    const std::optional<std::string> text = read_whole_file(path.string());
    return text ? std::optional(sha256_hex(*text)) : std::nullopt;
}

void replace_all(std::string& text, std::string_view what, std::string_view with) {
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

std::string filled_template(std::string text, const fs::path& folder) {
    replace_all(text, kDataPlaceholder, (folder / "data").string());
    replace_all(text, kModelPlaceholder, (folder / "model").string());
    return text;
}

Manifest read_manifest(const fs::path& path) {
    Manifest manifest;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        // "<hash>  <path>", as sha256sum writes it.
        const auto gap = line.find("  ");
        if (gap != std::string::npos)
            manifest[line.substr(gap + 2)] = line.substr(0, gap);
    }
    return manifest;
}

std::string manifest_text(const Manifest& manifest) {
    std::string text;
    for (const auto& [path, hash] : manifest)
        text += hash + "  " + path + "\n";
    return text;
}

// Writes `content` through a temporary file renamed into place, so that a copy that was
// interrupted never leaves half a file that would then count as changed by the user. Answers
// what went wrong, or nothing.
std::string write_file(const fs::path& path, const std::string& content) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    const fs::path part = path.string() + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << content;
        out.close();
        if (!out) {
            const std::string reason = std::generic_category().message(errno);
            fs::remove(part, ec);
            return "cannot write " + path.string() + ": " + reason;
        }
    }
    fs::rename(part, path, ec);
    if (ec) {
        fs::remove(part, ec);
        return "cannot write " + path.string() + ": " + ec.message();
    }
    return {};
}

// The installation's files, by their paths relative to `root`, in a stable order.
std::vector<fs::path> installed_files(const fs::path& root, std::error_code& ec) {
    std::vector<fs::path> files;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file())
            files.push_back(it->path().lexically_relative(root));
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

DemoCopyReport copy_demo(const DemoPlaces& places) {
    DemoCopyReport report;
    std::error_code ec;
    if (places.installed.empty()) {
        const fs::path scenario = places.folder / "model" / std::string(kDemoScenario);
        if (!fs::is_regular_file(scenario, ec))
            report.error = scenario.string() + " is missing.";
        return report;
    }
    const fs::path templateFile =
        places.installed / "model" / (std::string(kDemoScenario) + std::string(kTemplateExtension));
    if (!fs::is_regular_file(templateFile, ec)) {
        report.error = templateFile.string() + " is missing: the demo is not installed.";
        return report;
    }

    const fs::path manifestFile = places.folder / std::string(kDemoManifest);
    const Manifest before = read_manifest(manifestFile);
    Manifest after;
    std::error_code listing;
    const std::vector<fs::path> files = installed_files(places.installed, listing);
    if (listing) {
        report.error = "cannot read " + places.installed.string() + ": " + listing.message() + ".";
        return report;
    }
    for (const fs::path& source : files) {
        std::optional<std::string> content = read_whole_file((places.installed / source).string());
        if (!content) {
            report.error = "cannot read " + (places.installed / source).string() + ".";
            return report;
        }
        fs::path relative = source;
        if (relative.extension() == kTemplateExtension) {
            relative.replace_extension();
            content = filled_template(std::move(*content), places.folder);
        }
        const std::string key = relative.generic_string();
        const std::string wanted = sha256_hex(*content);
        const fs::path target = places.folder / relative;
        const std::optional<std::string> now = file_hash(target);
        const auto recorded = before.find(key);
        const bool asCopied = now && recorded != before.end() && recorded->second == *now;
        if (now != wanted && !asCopied && fs::exists(fs::symlink_status(target, ec))) {
            // Changed since it was copied, or not copied by this program: the user's file.
            report.kept.push_back(key);
            if (recorded != before.end())
                after.insert(*recorded);
            continue;
        }
        if (now != wanted) {
            report.error = write_file(target, *content);
            if (!report.error.empty())
                return report;
            report.written.push_back(key);
        }
        after[key] = wanted;
    }

    // The installed stand-in model, found by the name the demo's settings give it.
    const fs::path link = places.folder / "model" / std::string(kDemoModelName);
    if (!fs::exists(fs::symlink_status(link, ec))) {
        fs::create_symlink(places.model, link, ec);
        if (ec) {
            report.error = "cannot link " + link.string() + " to " + places.model.string() + ": " +
                           ec.message() + ".";
            return report;
        }
    }
    if (after != before || !fs::exists(manifestFile, ec))
        report.error = write_file(manifestFile, manifest_text(after));
    return report;
}

DemoScenario::DemoScenario(Session& session)
    : session_(session), listener_(session.onScenarioReplacing([this] { fileComing(); })) {}

DemoScenario::~DemoScenario() {
    session_.removeListener(listener_);
}

CommandOutcome DemoScenario::open(const DemoPlaces& places) {
    if (session_.modelRunning)
        return CommandOutcome::Refused;
    const DemoCopyReport copy = copy_demo(places);
    if (!copy.error.empty()) {
        session_.message("Cannot open the demo: " + copy.error, MessageIcon::Exclamation);
        return CommandOutcome::Failed;
    }
    places_ = places;
    const std::string scenario = session_.join((places.folder / "model").string(), kDemoScenario);
    return open_command(session_, [this, &scenario] {
        read_options_file(session_, scenario);
        return true;
    });
}

void DemoScenario::fileComing() {
    if (!places_)
        places_ = demo_places(session_.programDir);
    const fs::path model = places_->folder / "model";
    const bool demoFile = same_file(session_.rules, session_.scenario.optdir, model.string());
    if (demoFile == active_)
        return;
    active_ = demoFile;
    Settings& settings = session_.settings;
    if (demoFile) {
        // The reporting program stays the recorded one: the demo has no reports of its own.
        if (!settings.modeldir.empty())
            recorded_ = settings;
        settings.modeldir = model.string();
        settings.modelexe = kDemoModelName;
        settings.datadir = (places_->folder / "data").string();
    } else if (recorded_) {
        settings = *std::exchange(recorded_, std::nullopt);
    }
}

} // namespace kv
