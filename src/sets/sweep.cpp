#include "sets/sweep.h"

#include "optionsfile/access_pattern.h"
#include "optionsfile/csv.h"
#include "optionsfile/reader.h"
#include "optionsfile/scenario_values.h"
#include "optionsfile/writer.h"
#include "runs/batch_session.h"
#include "shell/current_dir.h"
#include "shell/file_commands.h"
#include "shell/text.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <glib.h>
#include <map>
#include <set>
#include <sstream>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kv {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kRegionColumn = "region";
constexpr std::string_view kNameColumn = "name";
constexpr std::size_t kMaxNameBytes = 120;

std::optional<long long> whole_number(std::string_view text) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// FIRST..LAST/STEP: the values, or nullopt when the text is no such range.
std::optional<std::vector<std::string>> range_values(std::string_view text, std::string& error) {
    const auto dots = text.find("..");
    if (dots == std::string_view::npos)
        return std::nullopt;
    const auto slash = text.find('/', dots);
    const auto first = whole_number(trim(text.substr(0, dots)));
    const auto last = whole_number(trim(text.substr(dots + 2, slash - dots - 2)));
    const auto step = slash == std::string_view::npos ? std::optional<long long>(1)
                                                      : whole_number(trim(text.substr(slash + 1)));
    if (!first || !last || !step || *step <= 0 || *last < *first) {
        error = "a range is FIRST..LAST/STEP in whole numbers, FIRST up to LAST, STEP above 0";
        return std::vector<std::string>{};
    }
    if ((*last - *first) / *step >= static_cast<long long>(kMaxSetFiles)) {
        error = "the range takes more than " + std::to_string(kMaxSetFiles) + " values";
        return std::vector<std::string>{};
    }
    std::vector<std::string> values;
    for (long long v = *first; v <= *last; v += *step)
        values.push_back(std::to_string(v));
    return values;
}

// Whether `name` is a name a value can be set by.
bool settable(const std::string& name) {
    Scenario probe;
    return !set_scenario_value(probe, name, "0").starts_with("unknown scenario item");
}

std::string region_label(const RegionRequest& region) {
    std::string label;
    for (const std::string& entry : region.entries)
        label += (label.empty() ? "" : "+") + entry;
    return label.empty() ? region_request_text(region) : label;
}

std::string default_name(const SetMember& member, std::string_view templateName) {
    if (!member.name.empty())
        return member.name;
    std::string name(templateName);
    for (const auto& [item, value] : member.values)
        name += "-" + item + "-" + value;
    if (member.region)
        name += "-region-" + region_label(*member.region);
    return name;
}

std::optional<std::string> expand_pattern(std::string_view pattern, const SetMember& member,
                                          std::string_view templateName, const std::string& number,
                                          std::string& error) {
    std::string name;
    for (std::size_t at = 0; at < pattern.size();) {
        const auto open = pattern.find('{', at);
        name += pattern.substr(at, open - at);
        if (open == std::string_view::npos)
            break;
        const auto close = pattern.find('}', open);
        if (close == std::string_view::npos) {
            error = "--name: a \"{\" is not closed";
            return std::nullopt;
        }
        const std::string token(pattern.substr(open + 1, close - open - 1));
        if (token == "template") {
            name += templateName;
        } else if (token == "n") {
            name += number;
        } else if (token == kNameColumn) {
            name += member.name;
        } else if (token == kRegionColumn) {
            name += member.region ? region_label(*member.region) : "";
        } else if (settable(token)) {
            for (const auto& [item, value] : member.values) {
                if (item == token)
                    name += value;
            }
        } else {
            error = "--name: {" + token +
                    "} names nothing (placeholders: {template}, {n}, "
                    "{name}, {region} and value names)";
            return std::nullopt;
        }
        at = close + 1;
    }
    return name;
}

// The name as file systems that ignore case compare it, for every alphabet.
std::string case_folded(const std::string& name) {
    gchar* folded = g_utf8_casefold(name.data(), static_cast<gssize>(name.size()));
    std::string text = folded != nullptr ? folded : lower(name);
    g_free(folded);
    return text;
}

} // namespace

std::optional<Variation> parse_variation(const std::string& text, std::string& error) {
    const auto eq = text.find('=');
    Variation variation;
    variation.name = trim(text.substr(0, eq));
    if (eq == std::string::npos || variation.name.empty()) {
        error = "--vary takes NAME=V1,V2,... or NAME=FIRST..LAST/STEP";
        return std::nullopt;
    }
    if (!settable(variation.name)) {
        error = "--vary: unknown scenario item: " + variation.name;
        return std::nullopt;
    }
    const std::string_view values = std::string_view(text).substr(eq + 1);
    if (auto range = range_values(values, error)) {
        if (!error.empty())
            return std::nullopt;
        variation.values = std::move(*range);
    } else {
        std::size_t at = 0;
        while (true) {
            const auto comma = values.find(',', at);
            variation.values.emplace_back(values.substr(at, comma - at));
            if (comma == std::string_view::npos)
                break;
            at = comma + 1;
        }
    }
    for (const std::string& value : variation.values) {
        if (std::string why = assignment_error(variation.name + "=" + value); !why.empty()) {
            error = "--vary: " + why;
            return std::nullopt;
        }
    }
    return variation;
}

std::size_t product_size(const std::vector<Variation>& variations,
                         const std::optional<RegionRequest>& eachRegion) {
    std::size_t count = 1;
    const auto times = [&count](std::size_t n) { count = std::min(count * n, kMaxSetFiles + 1); };
    for (const Variation& v : variations)
        times(v.values.size());
    if (eachRegion)
        times(eachRegion->entries.size());
    return count;
}

std::optional<std::vector<SetMember>>
product_members(const std::vector<Variation>& variations,
                const std::optional<RegionRequest>& eachRegion, std::string& error) {
    const std::size_t count = product_size(variations, eachRegion);
    if (count > kMaxSetFiles) {
        error = "the set would hold more than " + std::to_string(kMaxSetFiles) + " files";
        return std::nullopt;
    }
    std::vector<SetMember> members(count);
    // Mixed-radix counting: the last factor (the regions) varies fastest.
    std::size_t period = count;
    for (const Variation& v : variations) {
        period /= std::max<std::size_t>(v.values.size(), 1);
        for (std::size_t i = 0; i < count; ++i)
            members[i].values.emplace_back(v.name, v.values[i / period % v.values.size()]);
    }
    if (eachRegion) {
        for (std::size_t i = 0; i < count; ++i)
            members[i].region = RegionRequest{
                eachRegion->level, {eachRegion->entries[i % eachRegion->entries.size()]}};
    }
    return members;
}

std::optional<std::vector<SetMember>> table_members(const CsvTable& table, std::string& error) {
    const std::vector<std::string>& columns = table.data.columns;
    for (const std::string& column : columns) {
        if (column != kRegionColumn && column != kNameColumn && !settable(column)) {
            error = "column \"" + column + "\" is no value name, region or name";
            return std::nullopt;
        }
    }
    std::vector<SetMember> members;
    for (std::size_t row = 0; row < table.data.rows.size(); ++row) {
        const std::string where = "line " + std::to_string(table.lines.at(row)) + ": ";
        SetMember member;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::string& cell = table.data.rows[row][c];
            if (cell.empty())
                continue;
            if (columns[c] == kNameColumn) {
                member.name = cell;
            } else if (columns[c] == kRegionColumn) {
                std::string why;
                member.region = parse_region_request(cell, why);
                if (!member.region) {
                    error = where + why;
                    return std::nullopt;
                }
            } else if (std::string why = assignment_error(columns[c] + "=" + cell); !why.empty()) {
                error = where + why;
                return std::nullopt;
            } else {
                member.values.emplace_back(columns[c], cell);
            }
        }
        members.push_back(std::move(member));
    }
    return members;
}

std::string safe_file_name(std::string_view text) {
    std::string name;
    bool gap = false;
    for (const char32_t c : decode_utf8_strict(text)) {
        const bool keep = c < 0x110000 && (g_unichar_isalnum(static_cast<gunichar>(c)) ||
                                           c == '-' || c == '_' || c == '+');
        if (!keep) {
            gap = true;
            continue;
        }
        char bytes[8];
        const auto length = static_cast<std::size_t>(g_unichar_to_utf8(c, bytes));
        const std::size_t gapBytes = gap && !name.empty() ? 1 : 0;
        if (name.size() + gapBytes + length > kMaxNameBytes)
            break;
        if (gapBytes != 0)
            name += '_';
        gap = false;
        name.append(bytes, length);
    }
    // A leading "-" would read as an option to many programs.
    if (name.empty() || name.front() == '-')
        name.insert(name.begin(), '_');
    return name.size() > kMaxNameBytes ? name.substr(0, kMaxNameBytes) : name;
}

std::optional<std::vector<std::string>> member_file_names(const std::vector<SetMember>& members,
                                                          std::string_view templateName,
                                                          std::string_view pattern,
                                                          std::string& error) {
    const bool byDefault = pattern.empty() || pattern == kDefaultNamePattern;
    const std::size_t width = std::to_string(members.size()).size();
    std::vector<std::string> names;
    std::set<std::string> taken; // case-folded: "Été" and "été" are one file on some systems
    for (std::size_t i = 0; i < members.size(); ++i) {
        std::string number = std::to_string(i + 1);
        number.insert(0, width - number.size(), '0');
        std::optional<std::string> raw =
            byDefault ? default_name(members[i], templateName)
                      : expand_pattern(pattern, members[i], templateName, number, error);
        if (!raw)
            return std::nullopt;
        const std::string base = safe_file_name(*raw);
        std::string name = base;
        for (int n = 2; !taken.insert(case_folded(name)).second; ++n) {
            const std::string suffix = "-" + std::to_string(n);
            name = safe_file_name(base.substr(0, kMaxNameBytes - suffix.size())) + suffix;
        }
        names.push_back(std::move(name));
    }
    return names;
}

// ---------------------------------------------------------------------------------------
// Writing a set

struct SetWriter::Impl {
    Impl(const BatchContext& context, SweepRequest r) : request(std::move(r)), reader(context) {}

    SweepRequest request;
    BatchSession reader;
    std::optional<KeepCurrentDir> keepDir;
    Scenario templ;
    std::vector<std::string> names;
    std::vector<bool> accepted;
    fs::path staging;
    bool madeFolder = false;
    bool ended = false;
    std::size_t next = 0;
    SweepResult result;

    fs::path finalPath(std::size_t i) const { return request.folder / (names[i] + ".opt"); }

    bool fail(std::string error) {
        result.errors.push_back(std::move(error));
        ended = true;
        return false;
    }

    // The folder: made when missing, refused when it holds files (unless forced).
    bool prepareFolder() {
        std::error_code ec;
        if (!fs::exists(request.folder, ec)) {
            fs::create_directories(request.folder, ec);
            if (ec)
                return fail("Cannot make the folder " + request.folder.string() + ": " +
                            ec.message());
            madeFolder = true;
        } else if (!fs::is_directory(request.folder, ec)) {
            return fail(request.folder.string() + " is not a folder");
        } else if (!request.force) {
            for (const auto& entry : fs::directory_iterator(request.folder, ec)) {
                if (!entry.is_directory(ec))
                    return fail("The folder " + request.folder.string() +
                                " holds files already: choose an empty one, or --force");
            }
        }
#ifndef _WIN32
        std::string pattern = (request.folder / ".kvsweep-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return fail("Cannot write into the folder " + request.folder.string() + ": " +
                        std::generic_category().message(errno));
        staging = pattern;
#else
        staging = request.folder / ".kvsweep";
        fs::create_directories(staging, ec);
#endif
        return true;
    }

    bool begin() {
        keepDir.emplace();
        std::string error;
        const auto fileNames =
            member_file_names(request.members, fs::path(request.templateFile).stem().string(),
                              request.namePattern, error);
        if (!fileNames)
            return fail(error);
        names = *fileNames;
        reader.setCurrentFile(request.templateFile);
        if (read_options(reader.session) != ReadOutcome::Loaded) {
            std::string error = "The template " + request.templateFile + " was refused";
            for (const std::string& message : reader.takeMessages())
                error += "\n" + message;
            return fail(error);
        }
        reader.takeMessages();
        templ = reader.session.scenario;
        accepted.assign(names.size(), false);
        return prepareFolder();
    }

    bool writeNext() {
        if (ended || next >= request.members.size())
            return false;
        const std::size_t i = next++;
        const SetMember& member = request.members[i];
        Session& session = reader.session;
        session.scenario = templ;
        ScenarioEdits edits;
        for (const auto& [name, value] : member.values)
            edits.sets.push_back(name + "=" + value);
        edits.region = member.region;
        std::string why = take_altitude_as_the_dialog_does(edits.sets);
        if (why.empty() && !apply_scenario_edits(session, edits, true))
            why = "refused";
        if (!why.empty()) {
            std::vector<std::string> messages = reader.takeMessages();
            if (messages.empty())
                messages.push_back(why);
            result.refused.push_back({finalPath(i).string(), std::move(messages)});
            ended = !request.keepGoing;
            return !ended;
        }
        // Named as Save as names a new file in the set's folder, written in the hidden one.
        Scenario& sc = session.scenario;
        sc.newoptdir = request.folder.string();
        sc.newoptfile = names[i] + ".opt";
        name_outputs_after_new_file(sc, session.rules);
        sc.newoptdir = staging.string();
        if (!newoptions(session)) {
            std::vector<std::string> messages = reader.takeMessages();
            std::string text = "Cannot write " + finalPath(i).string();
            for (const std::string& m : messages)
                text += "\n" + m;
            return fail(text);
        }
        reader.takeMessages();
        accepted[i] = true;
        return next < request.members.size();
    }

    // Moves each accepted file into the folder: never over a file there unless forced.
    bool install() {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (!accepted[i])
                continue;
            const fs::path from = staging / (names[i] + ".opt");
            const fs::path to = finalPath(i);
            std::error_code ec;
            if (request.force) {
                fs::rename(from, to, ec);
            } else {
                fs::create_hard_link(from, to, ec);
                if (!ec)
                    fs::remove(from, ec);
            }
            if (ec)
                return fail("Cannot write " + to.string() + ": " + ec.message());
            result.written.push_back(to.string());
        }
        return true;
    }

    // The list of the set: each file and the values it was given.
    bool writeList() {
        RecordSet table;
        table.columns.push_back("file");
        std::map<std::string, std::size_t> position;
        bool regions = false;
        for (const SetMember& member : request.members) {
            for (const auto& [name, value] : member.values) {
                if (position.emplace(name, table.columns.size()).second)
                    table.columns.push_back(name);
            }
            regions = regions || member.region.has_value();
        }
        if (regions)
            table.columns.emplace_back(kRegionColumn);
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (!accepted[i])
                continue;
            std::vector<std::string> row(table.columns.size());
            row[0] = names[i] + ".opt";
            for (const auto& [name, value] : request.members[i].values)
                row[position[name]] = value;
            if (request.members[i].region)
                row.back() = region_request_text(*request.members[i].region);
            table.rows.push_back(std::move(row));
        }
        const fs::path list = request.folder / std::string(kSweepListName);
        const fs::path partial = staging / std::string(kSweepListName);
        std::ofstream out(partial, std::ios::binary);
        write_csv(out, table);
        out.close();
        std::error_code ec;
        if (out)
            fs::rename(partial, list, ec);
        if (!out || ec)
            return fail("Cannot write " + list.string());
        return true;
    }

    SweepResult finish(bool cancel) {
        result.cancelled = cancel;
        const bool whole = result.errors.empty() && !cancel && next == request.members.size() &&
                           (request.keepGoing || result.refused.empty());
        if (whole && install() && !result.written.empty())
            writeList();
        std::error_code ec;
        if (!staging.empty())
            fs::remove_all(staging, ec);
        if (result.written.empty() && madeFolder)
            fs::remove(request.folder, ec);
        keepDir.reset();
        return std::move(result);
    }
};

SetWriter::SetWriter(const BatchContext& context, SweepRequest request)
    : impl_(std::make_unique<Impl>(context, std::move(request))) {}

SetWriter::~SetWriter() = default;

bool SetWriter::begin() {
    return impl_->begin();
}

bool SetWriter::writeNext() {
    return impl_->writeNext();
}

std::size_t SetWriter::done() const {
    return impl_->next;
}

std::size_t SetWriter::total() const {
    return impl_->request.members.size();
}

SweepResult SetWriter::finish(bool cancel) {
    return impl_->finish(cancel);
}

SweepResult write_sweep(const BatchContext& context, SweepRequest request,
                        const std::function<bool()>& stopRequested) {
    SetWriter writer(context, std::move(request));
    bool cancelled = false;
    if (writer.begin()) {
        do {
            if (stopRequested && stopRequested()) {
                cancelled = true;
                break;
            }
        } while (writer.writeNext());
    }
    return writer.finish(cancelled);
}

} // namespace kv
