#include "runs/kept_options.h"

#include "shell/text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <set>
#include <sstream>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kv {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kKeptExtension = ".opt";

std::optional<std::string> read_bytes(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in || in.bad())
        return std::nullopt;
    return std::move(text).str();
}

bool is_sha256_hex(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// Writes `content` under a name of its own in `folder` and renames it to `target`: a reader
// never sees a copy half written, and two runs keeping the same content at once both end
// with the same file.
bool write_whole(const fs::path& folder, const fs::path& target, std::string_view content) {
    const fs::path partial =
        folder / (".keep-" + target.filename().string() + "-" + new_run_id() + ".tmp");
    {
        std::ofstream out(partial, std::ios::binary);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        if (!out) {
            std::error_code ignored;
            fs::remove(partial, ignored);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(partial, target, ec);
    if (ec)
        fs::remove(partial, ec);
    return !ec;
}

} // namespace

void take_options_as_run(RunFacts& facts, const fs::path& stateDir) {
    facts.optionsKept.clear();
    const auto content = read_bytes(facts.optionsFile);
    if (!content) {
        facts.options.reset();
        return;
    }
    facts.options = fingerprint_options_text(*content);
    const std::string name = facts.options->sha256 + std::string(kKeptExtension);
    const fs::path folder = stateDir / std::string(kKeptOptionsFolder);
    std::error_code ec;
    fs::create_directories(folder, ec);
    // Kept once per content: the name is the content's hash. A copy kept before is touched,
    // so that a prune while this run goes on leaves it (see prune_run_history).
    const fs::path path = folder / name;
    if (fs::is_regular_file(path, ec)) {
        fs::last_write_time(path, fs::file_time_type::clock::now(), ec);
        facts.optionsKept = std::string(kKeptOptionsFolder) + "/" + name;
    } else if (write_whole(folder, path, *content)) {
        facts.optionsKept = std::string(kKeptOptionsFolder) + "/" + name;
    }
}

fs::path kept_options_path(const fs::path& stateDir, const RunRecord& record) {
    // Only a name this program makes: a line edited by hand cannot lead anywhere else.
    const std::string prefix = std::string(kKeptOptionsFolder) + "/";
    const std::string_view kept = record.optionsKept;
    if (!kept.starts_with(prefix) || !kept.ends_with(kKeptExtension) ||
        !is_sha256_hex(kept.substr(prefix.size(), kept.size() - prefix.size() - 4)))
        return {};
    return stateDir / std::string(kKeptOptionsFolder) / std::string(kept.substr(prefix.size()));
}

std::optional<RunRecord> find_run(const fs::path& historyFile, std::string_view run,
                                  std::string& error) {
    std::vector<HistoryEntry> runs = read_run_history(historyFile);
    if (run.starts_with('-')) {
        std::size_t n = 0;
        const auto [end, ec] = std::from_chars(run.data() + 1, run.data() + run.size(), n);
        if (ec != std::errc() || end != run.data() + run.size() || n == 0) {
            error = "a run is named by its id or as -N, the N-th newest: not " + std::string(run);
            return std::nullopt;
        }
        if (n > runs.size()) {
            error = "the history holds " + std::to_string(runs.size()) + " runs, not " +
                    std::to_string(n);
            return std::nullopt;
        }
        return std::move(runs[n - 1].record);
    }
    for (HistoryEntry& entry : runs) {
        if (iequals(entry.record.id, run))
            return std::move(entry.record);
    }
    error = "no run " + escape_control_characters(run) + " in the history";
    return std::nullopt;
}

std::optional<std::string> read_kept_options(const fs::path& stateDir, const RunRecord& record,
                                             std::string& error) {
    const fs::path path = kept_options_path(stateDir, record);
    if (path.empty()) {
        error = "run " + record.id +
                " kept no copy of its options file: it was recorded before runs kept them";
        return std::nullopt;
    }
    auto content = read_bytes(path);
    if (!content) {
        error = "the copy of run " + record.id + "'s options file is gone: " + path.string();
        return std::nullopt;
    }
    if (sha256_hex(*content) != path.stem().string()) {
        error = "the copy of run " + record.id + "'s options file is damaged: " + path.string();
        return std::nullopt;
    }
    return content;
}

PruneResult prune_run_history(const fs::path& stateDir,
                              std::chrono::system_clock::time_point cutoff) {
    PruneResult result;
    const fs::path history = stateDir / std::string(kRunHistoryFileName);
    std::set<std::string> named; // the kept copies the remaining records name
    for (int attempt = 0;; ++attempt) {
        named.clear();
        result.recordsRemoved = 0;
        const auto text = read_bytes(history);
        if (!text)
            break; // no history: every kept copy goes
        std::string kept;
        std::istringstream lines(*text);
        for (std::string line; std::getline(lines, line);) {
            const auto record = parse_history_line(line);
            const auto start = record ? parse_iso8601(record->start) : std::nullopt;
            if (start && *start < cutoff) {
                ++result.recordsRemoved;
                continue;
            }
            if (record)
                named.insert(kept_options_path(stateDir, *record).filename().string());
            kept += line + "\n";
        }
        if (result.recordsRemoved == 0)
            break;
        const fs::path partial = stateDir / (std::string(kRunHistoryFileName) + ".prune");
        {
            std::ofstream out(partial, std::ios::binary);
            out << kept;
            out.flush();
            if (!out) {
                result.error = "Cannot write " + partial.string();
                return result;
            }
        }
        // A run recorded while the new history was written: read it again.
        std::error_code ec;
        if (fs::file_size(history, ec) != text->size() && attempt < 5)
            continue;
        fs::rename(partial, history, ec);
        if (ec) {
            fs::remove(partial, ec);
            result.error = "Cannot replace " + history.string();
            return result;
        }
        break;
    }
    std::error_code ec;
    // The cutoff on the clock of file times.
    const auto fileCutoff =
        fs::file_time_type::clock::now() - (std::chrono::system_clock::now() - cutoff);
    for (const auto& entry :
         fs::directory_iterator(stateDir / std::string(kKeptOptionsFolder), ec)) {
        const std::string name = entry.path().filename().string();
        // A copy kept or touched since the cutoff may belong to a run still going on, whose
        // record is written when it ends.
        const bool recent = entry.last_write_time(ec) >= fileCutoff;
        if (name.ends_with(kKeptExtension) && !named.contains(name) && !recent) {
            std::error_code removeError;
            if (fs::remove(entry.path(), removeError))
                ++result.filesRemoved;
        }
    }
    // A copy opened as a run is read when it is opened; after that only its untitled
    // scenario matters, which Save writes elsewhere.
    for (const auto& entry :
         fs::directory_iterator(stateDir / std::string(kOpenedRunsFolder), ec)) {
        auto newest = entry.last_write_time(ec);
        for (const auto& file : fs::directory_iterator(entry.path(), ec))
            newest = std::max(newest, file.last_write_time(ec));
        if (newest >= fileCutoff)
            continue;
        std::error_code removeError;
        const auto removed = fs::remove_all(entry.path(), removeError);
        if (removed != static_cast<std::uintmax_t>(-1) && removed > 1)
            result.filesRemoved += static_cast<std::size_t>(removed - 1); // not the folder
    }
    return result;
}

} // namespace kv
