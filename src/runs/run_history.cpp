#include "runs/run_history.h"

#include "optionsfile/format.h"
#include "shell/dialog_helpers.h"
#include "shell/file_locations.h"
#include "shell/session.h"
#include "shell/text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <glib.h>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
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

// A name that is not UTF-8 (a Latin-1 file name) cannot be a JSON string as it is: beside
// the readable text, where the dump puts U+FFFD for each such byte, the line keeps the name's
// bytes under the key + "_bytes", with "%" and every byte outside printable ASCII as "%XX".
constexpr std::string_view kBytesSuffix = "_bytes";

std::string percent_encoded(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F && c != '%') {
            text += c;
            continue;
        }
        char buf[4];
        std::snprintf(buf, sizeof buf, "%%%02X", byte);
        text += buf;
    }
    return text;
}

std::optional<std::string> percent_decoded(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        const int high = i + 1 < text.size() ? g_ascii_xdigit_value(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? g_ascii_xdigit_value(text[i + 2]) : -1;
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return bytes;
}

void put_name(nlohmann::ordered_json& j, const std::string& key, const std::string& name) {
    j[key] = name;
    if (!g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr))
        j[key + std::string(kBytesSuffix)] = percent_encoded(name);
}

nlohmann::ordered_json file_json(const RecordedFile& file) {
    nlohmann::ordered_json j = nlohmann::ordered_json::object();
    put_name(j, "path", file.path);
    j["size"] = file.size ? json(*file.size) : json(nullptr);
    return j;
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

// The name recorded under `key`: its bytes when the line keeps them.
std::string name_of(const json& j, const char* key) {
    if (const auto bytes = optional_of<std::string>(j, (key + std::string(kBytesSuffix)).c_str()))
        if (auto name = percent_decoded(*bytes))
            return std::move(*name);
    return string_of(j, key);
}

RecordedFile file_of(const json& j) {
    RecordedFile file;
    if (!j.is_object())
        return file;
    file.path = name_of(j, "path");
    if (const auto s = j.find("size"); s != j.end() && s->is_number_unsigned())
        file.size = s->get<std::uintmax_t>();
    return file;
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

// "0:12", "12:05", "1:02:03": a clock's reading, for times that run on.
std::string clock_text(double seconds) {
    const long total = std::lround(std::max(seconds, 0.0));
    char buf[32];
    if (total < 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld", total / 60, total % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    return buf;
}

std::string duration_text(double seconds) {
    char buf[32];
    if (seconds < 59.95) {
        std::snprintf(buf, sizeof buf, "%.1f s", std::max(seconds, 0.0));
        return buf;
    }
    return clock_text(seconds);
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

namespace {

// Ten characters of Crockford's base 32 (no i, l, o, u) from the low 50 bits.
std::string base32_id(std::uint64_t bits) {
    constexpr std::string_view kDigits = "0123456789abcdefghjkmnpqrstvwxyz";
    std::string id(10, '0');
    for (auto c = id.rbegin(); c != id.rend(); ++c, bits >>= 5)
        *c = kDigits[bits & 31];
    return id;
}

// The id of a line written before runs had one: from the line's hash.
std::string id_of_line(std::string_view line) {
    return base32_id(std::stoull(sha256_hex(line).substr(0, 16), nullptr, 16));
}

} // namespace

std::string new_run_id() {
    std::random_device random;
    const std::uint64_t bits = (std::uint64_t{random()} << 32) ^ random();
    return base32_id(bits);
}

RunRecord run_record(const RunFacts& facts, const LaunchResult& launch) {
    RunRecord r;
    r.id = facts.id.empty() ? new_run_id() : facts.id;
    r.start = iso8601_local(facts.start);
    r.end = iso8601_local(facts.end);
    r.durationSeconds =
        std::round(std::chrono::duration<double>(facts.end - facts.start).count() * 1000) / 1000;
    r.optionsFile = facts.optionsFile;
    if (facts.options)
        r.options = *facts.options;
    r.optionsKept = facts.optionsKept;
    r.model = facts.model;
    const LaunchEnding ending = launch_ending(launch);
    r.outcome = ending.outcome;
    r.exitStatus = ending.exitStatus;
    r.signal = ending.signal;
    r.messageFile = recorded_file(facts.messageFile);
    r.outputFile = recorded_file(facts.outputFile);
    r.batch = facts.batch;
    r.consoleFile = recorded_file(facts.consoleFile);
    return r;
}

std::string history_line(const RunRecord& r) {
    // The keys in the order people read them.
    // The start comes first: a listing finds it there without parsing the rest.
    nlohmann::ordered_json j = {
        {"start", r.start},
        {"id", r.id},
        {"end", r.end},
        {"duration_s", r.durationSeconds},
    };
    put_name(j, "options_file", r.optionsFile);
    j["options_sha256"] = r.options.sha256;
    j["options_sha256_no_header"] = r.options.sha256NoHeader;
    if (!r.optionsKept.empty())
        j["options_kept"] = r.optionsKept;
    put_name(j, "model", r.model);
    j["outcome"] = outcome_text(r.outcome);
    j["exit_status"] = r.exitStatus ? json(*r.exitStatus) : json(nullptr);
    j["signal"] = r.signal ? json(*r.signal) : json(nullptr);
    j["message_file"] = file_json(r.messageFile);
    j["output_file"] = file_json(r.outputFile);
    j["batch"] = r.batch ? json(*r.batch) : json(nullptr);
    if (r.consoleFile.path.empty())
        j["console_file"] = nullptr;
    else
        j["console_file"] = file_json(r.consoleFile);
    // The readable text of a name that is not UTF-8; its bytes are kept beside it.
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<RunRecord> parse_history_line(std::string_view line) {
    const json j = json::parse(line, nullptr, false);
    if (!j.is_object())
        return std::nullopt;
    RunRecord r;
    r.start = string_of(j, "start");
    r.optionsFile = name_of(j, "options_file");
    const auto outcome = outcome_of(string_of(j, "outcome"));
    if (!parse_iso8601(r.start) || r.optionsFile.empty() || !outcome)
        return std::nullopt;
    r.outcome = *outcome;
    r.id = string_of(j, "id");
    if (r.id.empty())
        r.id = id_of_line(line);
    r.end = string_of(j, "end");
    if (const auto d = j.find("duration_s"); d != j.end() && d->is_number())
        r.durationSeconds = d->get<double>();
    r.options.sha256 = string_of(j, "options_sha256");
    r.options.sha256NoHeader = string_of(j, "options_sha256_no_header");
    r.optionsKept = string_of(j, "options_kept");
    r.model = name_of(j, "model");
    r.exitStatus = optional_of<int>(j, "exit_status");
    r.signal = optional_of<int>(j, "signal");
    if (const auto m = j.find("message_file"); m != j.end())
        r.messageFile = file_of(*m);
    if (const auto o = j.find("output_file"); o != j.end())
        r.outputFile = file_of(*o);
    r.batch = optional_of<std::string>(j, "batch");
    if (const auto c = j.find("console_file"); c != j.end())
        r.consoleFile = file_of(*c);
    return r;
}

#ifndef _WIN32

std::string append_run_record(const fs::path& file, const RunRecord& record) {
    if (file.has_parent_path())
        make_private_directories(file.parent_path());
    // Read access too: the file's last byte is looked at.
    const int fd = ::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
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

namespace {

// Where a run's line lies in the file, and when the run started.
struct IndexedLine {
    std::chrono::system_clock::time_point start;
    std::uint64_t offset = 0;
    std::size_t length = 0;
    std::size_t order = 0;
};

// The start time of a line, read without parsing the rest where the line begins as this
// program writes it; nullopt when it has none.
std::optional<std::chrono::system_clock::time_point> line_start(std::string_view line) {
    constexpr std::string_view kLead = "{\"start\":\"";
    if (line.starts_with(kLead)) {
        const auto close = line.find('"', kLead.size());
        if (close != std::string_view::npos)
            return parse_iso8601(line.substr(kLead.size(), close - kLead.size()));
    }
    const json j = json::parse(line, nullptr, false);
    if (!j.is_object())
        return std::nullopt;
    return parse_iso8601(string_of(j, "start"));
}

// Every line with a start time, selected by `since`, newest start first; of two runs started
// in the same second, the one recorded later.
std::vector<IndexedLine> index_lines(std::istream& in, const HistorySelection& selection) {
    std::vector<IndexedLine> lines;
    std::string line;
    std::uint64_t offset = 0;
    while (std::getline(in, line)) {
        const std::uint64_t next = offset + line.size() + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto start = line_start(line);
        if (start && (!selection.since || *start >= *selection.since))
            lines.push_back({*start, offset, line.size(), lines.size()});
        offset = next;
    }
    std::sort(lines.begin(), lines.end(), [](const IndexedLine& a, const IndexedLine& b) {
        return a.start != b.start ? a.start > b.start : a.order > b.order;
    });
    return lines;
}

} // namespace

bool visit_run_history(const fs::path& file, const HistorySelection& selection,
                       const std::function<void(HistoryEntry&&)>& visit) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<IndexedLine> lines = index_lines(in, selection);
    // Only the lines shown are parsed in full, one at a time: the file is read twice, but
    // never held whole.
    in.clear();
    std::size_t shown = 0;
    std::string line;
    for (const IndexedLine& at : lines) {
        if (selection.limit && shown == *selection.limit)
            return true;
        line.resize(at.length);
        if (!in.seekg(static_cast<std::streamoff>(at.offset)) ||
            !in.read(line.data(), static_cast<std::streamsize>(at.length)))
            break;
        if (auto record = parse_history_line(line)) {
            ++shown;
            visit({std::move(*record), line});
        }
    }
    return false;
}

std::vector<HistoryEntry> read_run_history(const fs::path& file) {
    std::vector<HistoryEntry> entries;
    visit_run_history(file, {}, [&entries](HistoryEntry&& e) { entries.push_back(std::move(e)); });
    return entries;
}

namespace {

bool differs(const RunRecord& record, const std::optional<OptionsFingerprint>& now) {
    if (!now)
        return true;
    if (now->sha256 == record.options.sha256)
        return false;
    return record.options.sha256NoHeader.empty() ||
           now->sha256NoHeader != record.options.sha256NoHeader;
}

} // namespace

bool options_changed_since(const RunRecord& record) {
    return differs(record, fingerprint_options_file(record.optionsFile));
}

bool OptionsChangeCheck::changedSince(const RunRecord& record) {
    auto found = now_.find(record.optionsFile);
    if (found == now_.end())
        found =
            now_.emplace(record.optionsFile, fingerprint_options_file(record.optionsFile)).first;
    return differs(record, found->second);
}

HistoryRow history_row(const RunRecord& record, OptionsChangeCheck& check) {
    HistoryRow row;
    row.id = record.id;
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
    row.optionsChanged = check.changedSince(record);
    row.messageFile = record.messageFile.path;
    return row;
}

HistoryRow history_row(const RunRecord& record) {
    OptionsChangeCheck check;
    return history_row(record, check);
}

std::string history_row_text(const HistoryRow& row) {
    std::string text = row.id + "  " + row.time + "  " +
                       escape_control_characters(row.optionsFile) + "  " + row.duration + "  " +
                       row.outcome;
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
    // The clock counts nanoseconds: it holds the years 1678 to 2261.
    if (y < 1678 || y > 2261)
        return std::nullopt;
    const std::chrono::year_month_day ymd{std::chrono::year(y), std::chrono::month(mo),
                                          std::chrono::day(d)};
    if (!ymd.ok())
        return std::nullopt;
    const auto local = std::chrono::sys_days(ymd) + std::chrono::hours(h) +
                       std::chrono::minutes(mi) + std::chrono::seconds(s);
    return std::chrono::system_clock::time_point(local - std::chrono::seconds(offset));
}

std::optional<std::chrono::system_clock::time_point> parse_history_date(std::string_view text) {
    if (const auto exact = parse_iso8601(text))
        return exact;
    // Local time: a date, with a time of day after "T" or a blank, its seconds optional.
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, n = 0;
    const std::string str(text);
    char sep = 0;
    const int fields = std::sscanf(str.c_str(), "%4d-%2d-%2d%n%c%2d:%2d%n:%2d%n", &y, &mo, &d, &n,
                                   &sep, &h, &mi, &n, &sec, &n);
    const bool dateOnly = fields == 3 && n == 10;
    const bool minutes = fields == 6 && n == 16;
    const bool seconds = fields == 7 && n == 19;
    if (!(dateOnly || ((minutes || seconds) && (sep == 'T' || sep == ' '))) ||
        static_cast<std::size_t>(n) != str.size())
        return std::nullopt;
    // Checked as a time with an offset, then taken as local time.
    char iso[32];
    std::snprintf(iso, sizeof iso, "%04d-%02d-%02dT%02d:%02d:%02dZ", y, mo, d, h, mi, sec);
    if (!parse_iso8601(iso))
        return std::nullopt;
    std::tm local{};
    local.tm_year = y - 1900;
    local.tm_mon = mo - 1;
    local.tm_mday = d;
    local.tm_hour = h;
    local.tm_min = mi;
    local.tm_sec = sec;
    local.tm_isdst = -1;
    const std::time_t t = std::mktime(&local);
    if (t == static_cast<std::time_t>(-1))
        return std::nullopt;
    return std::chrono::system_clock::from_time_t(t);
}

} // namespace kv
