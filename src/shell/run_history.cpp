#include "shell/run_history.h"

#include "optionsfile/format.h"
#include "shell/dialog_helpers.h"
#include "shell/session.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <glib.h>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <type_traits>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kv {

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

constexpr std::string_view kOutcomeTexts[] = {"ok", "failed", "stopped", "not started"};

std::optional<HistoryOutcome> outcome_of(std::string_view text) {
    for (std::size_t i = 0; i < std::size(kOutcomeTexts); ++i) {
        if (kOutcomeTexts[i] == text)
            return static_cast<HistoryOutcome>(i);
    }
    return std::nullopt;
}

RecordedFile recorded_file(const std::string& path) {
    RecordedFile file{path, std::nullopt};
    if (path.empty())
        return file;
    const std::string found = resolve_existing_path(path);
    std::error_code ec;
    if (!found.empty() && fs::is_regular_file(found, ec)) {
        file.path = found;
        const auto size = fs::file_size(found, ec);
        if (!ec)
            file.size = size;
    }
    return file;
}

nlohmann::ordered_json file_json(const RecordedFile& file) {
    return {{"path", file.path}, {"size", file.size ? json(*file.size) : json(nullptr)}};
}

RecordedFile file_of(const json& j) {
    RecordedFile file;
    if (!j.is_object())
        return file;
    if (const auto p = j.find("path"); p != j.end() && p->is_string())
        file.path = p->get<std::string>();
    if (const auto s = j.find("size"); s != j.end() && s->is_number_unsigned())
        file.size = s->get<std::uintmax_t>();
    return file;
}

template <class T> std::optional<T> optional_of(const json& j, const char* key) {
    const auto it = j.find(key);
    if (it == j.end() || it->is_null())
        return std::nullopt;
    if constexpr (std::is_same_v<T, std::string>) {
        if (!it->is_string())
            return std::nullopt;
    } else if (!it->is_number_integer()) {
        return std::nullopt;
    }
    return it->get<T>();
}

std::string string_of(const json& j, const char* key) {
    return optional_of<std::string>(j, key).value_or("");
}

std::optional<std::string> read_whole_file(const std::string& path) {
    // A directory opens as a stream on Linux and fails only when read.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return std::move(text).str();
}

#ifndef _WIN32
// Writes all of `text`, resuming after a short write or an interrupted one.
bool write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}
#endif

} // namespace

std::string duration_text(double seconds) {
    char buf[32];
    if (seconds < 59.95) {
        std::snprintf(buf, sizeof buf, "%.1f s", std::max(seconds, 0.0));
        return buf;
    }
    const long total = std::lround(seconds);
    if (total < 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld", total / 60, total % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    return buf;
}

fs::path run_history_file(const Session& session) {
    return session.stateDir / std::string(kRunHistoryFileName);
}

std::string_view outcome_text(HistoryOutcome outcome) {
    return kOutcomeTexts[static_cast<std::size_t>(outcome)];
}

std::string sha256_hex(std::string_view data) {
    // GLib is linked already (the Access reader needs it); its checksums are well kept.
    const std::unique_ptr<gchar, decltype(&g_free)> hex(
        g_compute_checksum_for_data(G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(data.data()),
                                    data.size()),
        g_free);
    return hex ? std::string(hex.get()) : std::string();
}

OptionsFingerprint fingerprint_options_text(std::string_view content) {
    OptionsFingerprint f;
    f.sha256 = sha256_hex(content);
    std::string_view body = content;
    if (body.starts_with(format::kHeaderText)) {
        const auto lineEnd = body.find('\n');
        body = lineEnd == std::string_view::npos ? std::string_view() : body.substr(lineEnd + 1);
    }
    f.sha256NoHeader = body.size() == content.size() ? f.sha256 : sha256_hex(body);
    return f;
}

std::optional<OptionsFingerprint> fingerprint_options_file(const std::string& path) {
    const auto content = read_whole_file(path);
    if (!content)
        return std::nullopt;
    return fingerprint_options_text(*content);
}

LaunchEnding launch_ending(const LaunchResult& launch) {
    LaunchEnding ending;
    if (!launch.started)
        return ending;
    if (launch.signal != 0)
        ending.signal = launch.signal;
    else
        ending.exitStatus = launch.exitCode;
    if (launch.stopped)
        ending.outcome = HistoryOutcome::Stopped;
    else
        ending.outcome = launch.signal == 0 && launch.exitCode == 0 ? HistoryOutcome::Ok
                                                                    : HistoryOutcome::Failed;
    return ending;
}

RunRecord run_record(const RunFacts& facts, const LaunchResult& launch) {
    RunRecord r;
    r.start = iso8601_local(facts.start);
    r.end = iso8601_local(facts.end);
    r.durationSeconds =
        std::round(std::chrono::duration<double>(facts.end - facts.start).count() * 1000) / 1000;
    r.optionsFile = facts.optionsFile;
    if (facts.options)
        r.options = *facts.options;
    r.model = facts.model;
    const LaunchEnding ending = launch_ending(launch);
    r.outcome = ending.outcome;
    r.exitStatus = ending.exitStatus;
    r.signal = ending.signal;
    r.messageFile = recorded_file(facts.messageFile);
    r.outputFile = recorded_file(facts.outputFile);
    r.batch = facts.batch;
    return r;
}

std::string history_line(const RunRecord& r) {
    // The keys in the order people read them.
    const nlohmann::ordered_json j = {
        {"start", r.start},
        {"end", r.end},
        {"duration_s", r.durationSeconds},
        {"options_file", r.optionsFile},
        {"options_sha256", r.options.sha256},
        {"options_sha256_no_header", r.options.sha256NoHeader},
        {"model", r.model},
        {"outcome", outcome_text(r.outcome)},
        {"exit_status", r.exitStatus ? json(*r.exitStatus) : json(nullptr)},
        {"signal", r.signal ? json(*r.signal) : json(nullptr)},
        {"message_file", file_json(r.messageFile)},
        {"output_file", file_json(r.outputFile)},
        {"batch", r.batch ? json(*r.batch) : json(nullptr)},
    };
    // A path that is not valid UTF-8 must not cost the run its record.
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<RunRecord> parse_history_line(std::string_view line) {
    const json j = json::parse(line, nullptr, false);
    if (!j.is_object())
        return std::nullopt;
    RunRecord r;
    r.start = string_of(j, "start");
    r.optionsFile = string_of(j, "options_file");
    const auto outcome = outcome_of(string_of(j, "outcome"));
    if (!parse_iso8601(r.start) || r.optionsFile.empty() || !outcome)
        return std::nullopt;
    r.outcome = *outcome;
    r.end = string_of(j, "end");
    if (const auto d = j.find("duration_s"); d != j.end() && d->is_number())
        r.durationSeconds = d->get<double>();
    r.options.sha256 = string_of(j, "options_sha256");
    r.options.sha256NoHeader = string_of(j, "options_sha256_no_header");
    r.model = string_of(j, "model");
    r.exitStatus = optional_of<int>(j, "exit_status");
    r.signal = optional_of<int>(j, "signal");
    if (const auto m = j.find("message_file"); m != j.end())
        r.messageFile = file_of(*m);
    if (const auto o = j.find("output_file"); o != j.end())
        r.outputFile = file_of(*o);
    r.batch = optional_of<std::string>(j, "batch");
    return r;
}

#ifndef _WIN32

std::string append_run_record(const fs::path& file, const RunRecord& record) {
    std::error_code ec;
    if (file.has_parent_path())
        fs::create_directories(file.parent_path(), ec);
    // Read access too: the file's last byte is looked at.
    const int fd = ::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return std::strerror(errno);
    std::string text = history_line(record) + "\n";
    // A line cut short by an earlier crash would swallow this one: start on a line of our
    // own. (Two writers may both add the line end; an empty line is skipped on reading.)
    struct stat st {};
    char last = '\n';
    if (::fstat(fd, &st) == 0 && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 &&
        last != '\n')
        text.insert(text.begin(), '\n');
    const bool written = write_all(fd, text);
    const int writeErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!written)
        return std::strerror(writeErrno);
    return closed ? std::string() : std::string(std::strerror(errno));
}

#else

std::string append_run_record(const fs::path& file, const RunRecord& record) {
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << history_line(record) << '\n';
    return out ? std::string() : std::string("cannot write the file");
}

#endif

std::vector<HistoryEntry> read_run_history(const fs::path& file) {
    struct Dated {
        std::chrono::system_clock::time_point start;
        std::size_t order;
        HistoryEntry entry;
    };
    std::vector<Dated> runs;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        auto record = parse_history_line(line);
        if (!record)
            continue;
        const auto start = *parse_iso8601(record->start);
        runs.push_back({start, runs.size(), {std::move(*record), line}});
    }
    // Newest start first; of two runs started in the same second, the one recorded later.
    std::sort(runs.begin(), runs.end(), [](const Dated& a, const Dated& b) {
        return a.start != b.start ? a.start > b.start : a.order > b.order;
    });
    std::vector<HistoryEntry> entries;
    entries.reserve(runs.size());
    for (auto& r : runs)
        entries.push_back(std::move(r.entry));
    return entries;
}

bool options_changed_since(const RunRecord& record) {
    const auto now = fingerprint_options_file(record.optionsFile);
    if (!now)
        return true;
    if (now->sha256 == record.options.sha256)
        return false;
    return record.options.sha256NoHeader.empty() ||
           now->sha256NoHeader != record.options.sha256NoHeader;
}

HistoryRow history_row(const RunRecord& record) {
    HistoryRow row;
    row.time = record.start.substr(0, 19);
    if (row.time.size() > 10 && row.time[10] == 'T')
        row.time[10] = ' ';
    row.optionsFile = record.optionsFile;
    row.duration = duration_text(record.durationSeconds);
    row.outcome = std::string(outcome_text(record.outcome));
    if (record.outcome == HistoryOutcome::Failed && record.signal)
        row.outcome += " (signal " + std::to_string(*record.signal) + ")";
    else if (record.outcome == HistoryOutcome::Failed && record.exitStatus)
        row.outcome += " (exit status " + std::to_string(*record.exitStatus) + ")";
    row.optionsChanged = options_changed_since(record);
    row.messageFile = record.messageFile.path;
    return row;
}

std::string history_row_text(const HistoryRow& row) {
    std::string text = row.time + "  " + row.optionsFile + "  " + row.duration + "  " + row.outcome;
    if (row.optionsChanged)
        text += "  " + std::string(kOptionsChangedNote);
    return text;
}

std::string iso8601_local(std::chrono::system_clock::time_point t) {
    const std::time_t secs = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    long offset = 0;
#ifdef _WIN32
    localtime_s(&local, &secs);
    std::tm utc{};
    gmtime_s(&utc, &secs);
    offset = static_cast<long>(std::difftime(std::mktime(&local), std::mktime(&utc)));
#else
    localtime_r(&secs, &local);
    offset = local.tm_gmtoff;
#endif
    char buf[40];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &local);
    const char sign = offset < 0 ? '-' : '+';
    const long a = std::labs(offset) / 60;
    char zone[8];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", sign, a / 60 % 100, a % 60);
    return std::string(buf) + zone;
}

std::optional<std::chrono::system_clock::time_point> parse_iso8601(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS, optional fraction, then Z or +HH:MM / -HH:MM.
    int y, mo, d, h, mi, s, n = 0;
    const std::string str(text);
    if (std::sscanf(str.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &s, &n) != 6 ||
        n != 19)
        return std::nullopt;
    std::size_t i = 19;
    if (i < str.size() && str[i] == '.') {
        ++i;
        while (i < str.size() && std::isdigit(static_cast<unsigned char>(str[i])))
            ++i;
    }
    long offset = 0;
    if (i < str.size() && str[i] == 'Z') {
        ++i;
    } else if (i + 6 == str.size() && (str[i] == '+' || str[i] == '-') && str[i + 3] == ':') {
        int oh = 0, om = 0;
        if (std::sscanf(str.c_str() + i + 1, "%2d:%2d", &oh, &om) != 2)
            return std::nullopt;
        offset = (oh * 60L + om) * 60L * (str[i] == '-' ? -1 : 1);
        i += 6;
    } else {
        return std::nullopt;
    }
    if (i != str.size() || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
        return std::nullopt;
    const std::chrono::year_month_day ymd{std::chrono::year(y), std::chrono::month(mo),
                                          std::chrono::day(d)};
    if (!ymd.ok())
        return std::nullopt;
    const auto local = std::chrono::sys_days(ymd) + std::chrono::hours(h) +
                       std::chrono::minutes(mi) + std::chrono::seconds(s);
    return std::chrono::system_clock::time_point(local - std::chrono::seconds(offset));
}

} // namespace kv
