#include "editors/region_files.h"

#include "advanced/alloc_tables.h"
#include "shell/dialog_helpers.h"
#include "shell/session.h"
#include "shell/text.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

namespace kv {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kAllocDescriptor = "Allocation File    :";
constexpr std::string_view kPopDescriptor = "Population File    : ";
constexpr int kAllocCodes = 19;

// One folder of the data tree as it is on disk.
struct Folder {
    std::string path;               // as found; empty when the folder does not exist
    std::vector<std::string> names; // its files, in the order of the scan
};

bool name_before(const std::string& a, const std::string& b) {
    const std::string ua = upper(a), ub = upper(b);
    return ua != ub ? ua < ub : a < b;
}

// The files of a folder of the data tree, the folder found whatever its case. A folder
// that is not there holds no files; one that cannot be read is an error.
Folder scan_folder(const std::string& spelled) {
    Folder folder;
    const std::string found = resolve_existing_path(spelled);
    std::error_code ec;
    if (found.empty() || !fs::is_directory(found, ec))
        return folder;
    folder.path = found;
    fs::directory_iterator it(found, ec);
    if (ec)
        throw std::system_error(ec);
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            throw std::system_error(ec);
        std::error_code typeError;
        if (it->is_regular_file(typeError))
            folder.names.push_back(it->path().filename().string());
    }
    if (ec)
        throw std::system_error(ec);
    std::sort(folder.names.begin(), folder.names.end(), name_before);
    return folder;
}

bool starts_with_key(std::string_view name, std::string_view key) {
    return name.size() >= key.size() && iequals(name.substr(0, key.size()), key);
}

bool ends_with_alo(std::string_view name) {
    return name.size() >= 4 && iequals(name.substr(name.size() - 4), ".alo");
}

// The descriptor of an allocation file: the label of the code the name carries after the
// key, else the general one.
std::string alloc_descriptor(std::string_view key, std::string_view name) {
    for (int n = 1; n <= kAllocCodes; ++n) {
        if (iequals(std::string(key) + std::string(alloc_code(n)), name))
            return std::string(alloc_label(n));
    }
    return std::string(kAllocDescriptor);
}

} // namespace

std::vector<std::string> region_abbreviations(const RegionCollection& entries) {
    std::vector<std::string> abbrs;
    for (const auto& entry : entries) {
        if (std::find(abbrs.begin(), abbrs.end(), entry->abbr) == abbrs.end())
            abbrs.push_back(entry->abbr);
    }
    return abbrs;
}

bool pop_alloc(Session& session, std::int16_t level, const std::vector<std::string>& abbrs) {
    const std::string& datadir = session.settings.datadir;
    const char sep = session.rules.separator;
    const std::string allocdir = session.join(datadir, "ALLOCATE") + sep;
    const std::string popdir = session.join(datadir, "POP") + sep;
    const std::vector<std::string> keys =
        level == 0 || level == 3 ? std::vector<std::string>{"US"} : abbrs;

    // Both folders are read before anything changes, so a failure leaves the lists whole.
    Folder alloc, pop;
    try {
        alloc = scan_folder(allocdir);
        pop = scan_folder(popdir);
    } catch (const std::exception&) {
        session.message("pop_alloc error " + allocdir + " " + popdir);
        return false;
    }

    Scenario& sc = session.scenario;
    sc.allocfiles_saved.clear();
    sc.popfiles_saved.clear();
    for (const std::string& key : keys) {
        if (key.empty())
            continue;
        for (const std::string& name : alloc.names) {
            if (!starts_with_key(name, key) || !ends_with_alo(name))
                continue;
            auto entry = std::make_shared<AllocCls>();
            entry->descriptor = alloc_descriptor(key, name);
            entry->allocfile = session.join(alloc.path, name);
            const std::string path = entry->allocfile;
            // Two names differing only in case are one file to the lists (and on Windows).
            sc.allocfiles_saved.add(std::move(entry), path);
        }
        const auto popfile =
            std::find_if(pop.names.begin(), pop.names.end(),
                         [&](const std::string& n) { return iequals(n, key + ".pop"); });
        if (popfile != pop.names.end()) {
            auto entry = std::make_shared<AllocCls>();
            entry->descriptor = std::string(kPopDescriptor);
            entry->allocfile = session.join(pop.path, *popfile);
            const std::string path = entry->allocfile;
            sc.popfiles_saved.add(std::move(entry), path);
        }
    }
    copy_file_collection(sc.allocfiles_saved, sc.allocfiles);
    copy_file_collection(sc.popfiles_saved, sc.popfiles);
    sc.changed_alloc = true;
    sc.changed_pop = true;
    return true;
}

} // namespace kv
