#include "shell/status.h"

#include "shell/current_dir.h"
#include "shell/dialog_helpers.h"
#include "shell/session.h"
#include "shell/text.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <optional>

namespace kv {

namespace fs = std::filesystem;

namespace {

// The shown name: the bare file name when the file lies in the model's outputs directory,
// otherwise directory, separator and name; always in lower case.
std::string shown_name(const std::string& dir, const std::string& file, const Settings& settings,
                       const PathRules& rules) {
    if (iequals(dir, rules.join(settings.modeldir, "outputs")))
        return lower(file);
    return lower(rules.join(dir, file));
}

std::optional<std::int64_t> to_epoch_seconds(fs::file_time_type t) {
    const auto sys = std::chrono::file_clock::to_sys(t);
    return std::chrono::duration_cast<std::chrono::seconds>(sys.time_since_epoch()).count();
}

// Blanks padding the name to its field (taken from a run of 12), the size right-aligned in
// 8 places (from a run of 11), " bytes " and the date. A name longer than its field or a
// size longer than 8 digits cannot be laid out: no size and date part then.
std::optional<std::string> size_and_date(const std::string& name, std::size_t field,
                                         const std::string& path) {
    if (name.size() > field)
        return std::nullopt;
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec)
        return std::nullopt;
    const auto time = fs::last_write_time(path, ec);
    if (ec)
        return std::nullopt;
    const std::string digits = std::to_string(size);
    if (digits.size() > 8)
        return std::nullopt;
    std::string part(std::min<std::size_t>(field - name.size(), 12), ' ');
    part += std::string(8 - digits.size(), ' ');
    part += digits;
    part += " bytes ";
    part += general_date_time(*to_epoch_seconds(time));
    return part;
}

// The path of a file in a directory, as it exists on disk; empty when it does not.
std::string existing_file(const PathRules& rules, const std::string& dir, const std::string& file) {
    if (file.empty())
        return {};
    const std::string found = resolve_existing_path(rules.join(dir, file));
    std::error_code ec;
    if (found.empty() || !fs::is_regular_file(found, ec))
        return {};
    return found;
}

} // namespace

std::string caption_text(std::string_view optfile) {
    return std::string(kAppTitle) + " (" + lower(optfile) + ")";
}

std::tm local_time(std::time_t t) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return local;
}

std::string general_date_time(std::int64_t secondsSinceEpoch) {
    const std::tm local = local_time(static_cast<std::time_t>(secondsSinceEpoch));
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d:%02d %s", local.tm_mon + 1, local.tm_mday,
                  local.tm_year + 1900, hour12, local.tm_min, local.tm_sec,
                  local.tm_hour < 12 ? "AM" : "PM");
    return buf;
}

StatusDisplay status_display(const Scenario& sc, const Settings& settings, const PathRules& rules) {
    std::string line1 = "Simulation Run Title       : " + sc.title1str;
    std::string line2 =
        "Current Message File     : " + shown_name(sc.msgdir, sc.msgfile, settings, rules);
    std::string line3 =
        "Current Output Data File : " + shown_name(sc.outdir, sc.outfile, settings, rules);

    StatusDisplay status;
    if (const std::string out = existing_file(rules, sc.outdir, sc.outfile); !out.empty()) {
        if (const auto part = size_and_date(sc.outfile, 15, out))
            line3 += *part;
    }
    if (const std::string msg = existing_file(rules, sc.msgdir, sc.msgfile); !msg.empty()) {
        if (const auto part = size_and_date(sc.msgfile, 13, msg))
            line2 += *part;
        status.viewMessageVisible = true;
    }
    status.text = line1 + "\n" + line2 + "\n" + line3;
    return status;
}

StatusLineParts status_line_parts(std::string_view line, const PathRules& rules) {
    StatusLineParts parts;
    const auto colon = line.find(": ");
    if (colon == std::string_view::npos) {
        parts.rest = line;
        return parts;
    }
    parts.head = line.substr(0, colon + 2);
    const std::string_view value = line.substr(colon + 2);
    // The size and date part: blanks, the size, " bytes " and a date that holds separators
    // of its own, so the file name ends before it.
    std::size_t nameEnd = value.size();
    if (const auto bytes = value.rfind(" bytes "); bytes != std::string_view::npos) {
        std::size_t digits = bytes;
        while (digits > 0 && value[digits - 1] >= '0' && value[digits - 1] <= '9')
            --digits;
        std::size_t blanks = digits;
        while (blanks > 0 && value[blanks - 1] == ' ')
            --blanks;
        if (digits < bytes && blanks < digits)
            nameEnd = blanks;
    }
    const auto sep = value.substr(0, nameEnd).find_last_of(rules.separator);
    const std::size_t dirEnd = sep == std::string_view::npos ? 0 : sep + 1;
    parts.directory = value.substr(0, dirEnd);
    parts.rest = value.substr(dirEnd);
    return parts;
}

void set_caption(Session& session) {
    session.ui.setCaption(caption_text(session.scenario.optfile));
}

void show_status(Session& session) {
    session.ui.setStatus(status_display(session.scenario, session.settings, session.rules));
    // The model directory is left current, where relative data paths are found.
    make_current(session.settings.modeldir);
}

} // namespace kv
