#include "runs/batch_claims.h"

#include "optionsfile/scenario.h"
#include "shell/text.h"

#include <algorithm>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kv {

namespace fs = std::filesystem;

std::string PathKeys::key(const std::string& path) {
    const fs::path p(path);
    return lower(resolved(p).string());
}

std::optional<FileId> PathKeys::fileId(const std::string& path) {
#ifndef _WIN32
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return FileId{st.st_dev, st.st_ino};
#else
    (void)path;
#endif
    return std::nullopt;
}

const std::unordered_map<std::string, std::string>& PathKeys::entries(const fs::path& dir) {
    const auto [it, added] = listings_.try_emplace(dir.string());
    if (added) {
        std::error_code ec;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
            const std::string name = entry.path().filename().string();
            it->second.emplace(lower(name), name);
        }
    }
    return it->second;
}

fs::path PathKeys::resolved(const fs::path& path) {
    if (path.empty() || path == path.root_path() || !path.has_relative_path())
        return path;
    // Folders recur in every output of a batch: each is resolved once. The file at the end is
    // looked at every time, since models make their outputs while the batch runs.
    const fs::path parentPath = path.parent_path();
    const std::string text = parentPath.string();
    auto cached = resolvedDirs_.find(text);
    if (cached == resolvedDirs_.end())
        cached = resolvedDirs_.emplace(text, resolved(parentPath)).first;
    const fs::path& parent = cached->second;
    const fs::path name = path.filename();
    if (name.empty() || name == ".")
        return parent;
    if (name == "..")
        return parent.parent_path(); // the parent is a real path: ".." is its folder

    std::error_code ec;
    fs::path candidate = parent / name;
    fs::file_status st = fs::symlink_status(candidate, ec);
    if (!fs::exists(st)) {
        const auto& names = entries(parent);
        const auto found = names.find(lower(name.string()));
        if (found == names.end())
            return candidate;
        candidate = parent / found->second;
        st = fs::symlink_status(candidate, ec);
    }
    if (fs::is_symlink(st)) {
        fs::path real = fs::weakly_canonical(candidate, ec);
        if (!ec)
            return real;
    }
    return candidate;
}

bool DistinctFiles::add(const std::string& path) {
    const auto id = PathKeys::fileId(path);
    if (id && ids_.contains(*id))
        return false;
    if (!paths_.insert(rules_.caseSensitive ? path : lower(path)).second)
        return false;
    if (id)
        ids_.insert(*id);
    return true;
}

BatchClaims::BatchClaims(std::string modelDir, PathRules rules)
    : modelDir_(std::move(modelDir)), rules_(rules) {}

std::optional<BatchClaims::Clash> BatchClaims::addOptionsFile(std::size_t owner,
                                                              const std::string& path) {
    const std::string key = keys_.key(path);
    const auto id = PathKeys::fileId(path);
    optionsByKey_[key].insert(owner);
    if (id)
        optionsById_[*id].insert(owner);
    const Output* claimed = nullptr;
    if (const auto it = outputsByKey_.find(key); it != outputsByKey_.end())
        claimed = &it->second;
    else if (const auto byId = id ? outputsById_.find(*id) : outputsById_.end();
             byId != outputsById_.end())
        claimed = &byId->second;
    if (claimed == nullptr || claimed->owner == owner)
        return std::nullopt;
    return Clash{claimed->owner, owner, claimed->path, claimed->descriptor, true};
}

std::vector<BatchClaims::Output> BatchClaims::outputsOf(std::size_t owner,
                                                        const Scenario& sc) const {
    std::vector<Output> files;
    const auto add = [&](const std::string& path, std::string_view descriptor) {
        if (path.empty())
            return;
        // The model runs in the model directory: a relative name lands there.
        std::string full = rules_.isAbsolute(path) ? path : rules_.join(modelDir_, path);
        files.push_back({owner, std::move(full), std::string(descriptor)});
    };
    if (!sc.msgfile.empty())
        add(rules_.join(sc.msgdir, sc.msgfile), "MESSAGE");
    if (!sc.outfile.empty())
        add(rules_.join(sc.outdir, sc.outfile), "OUTPUT DATA");
    if (sc.bmy_on) {
        add(sc.runfiles[kExhaustBmyOut], "EXHAUST BMY OUT");
        add(sc.runfiles[kEvapBmyOut], "EVAP BMY OUT");
    }
    return files;
}

std::optional<BatchClaims::Clash> BatchClaims::claimOutputs(std::size_t owner,
                                                            const Scenario& scenario) {
    struct Claim {
        std::string key;
        std::optional<FileId> id;
        const Output* output = nullptr;
    };
    const std::vector<Output> outputs = outputsOf(owner, scenario);
    std::vector<Claim> claims;
    const auto otherThan =
        [owner](const std::set<std::size_t>& owners) -> std::optional<std::size_t> {
        for (const std::size_t o : owners) {
            if (o != owner)
                return o;
        }
        return std::nullopt;
    };
    for (const Output& out : outputs) {
        // Either separator names a folder where the model opens a file.
        const std::string path = rules_.nativeSeparators(out.path);
        Claim claim{keys_.key(path), PathKeys::fileId(path), &out};
        const auto clash = [&](std::size_t other, bool optionsFile) {
            return Clash{owner, other, out.path, out.descriptor, optionsFile};
        };
        if (const auto it = outputsByKey_.find(claim.key);
            it != outputsByKey_.end() && it->second.owner != owner)
            return clash(it->second.owner, false);
        if (const auto it = optionsByKey_.find(claim.key); it != optionsByKey_.end())
            if (const auto other = otherThan(it->second))
                return clash(*other, true);
        if (claim.id) {
            if (const auto it = outputsById_.find(*claim.id);
                it != outputsById_.end() && it->second.owner != owner)
                return clash(it->second.owner, false);
            if (const auto it = optionsById_.find(*claim.id); it != optionsById_.end())
                if (const auto other = otherThan(it->second))
                    return clash(*other, true);
        }
        claims.push_back(std::move(claim));
    }
    for (const Claim& claim : claims) {
        outputsByKey_.emplace(claim.key, *claim.output);
        if (claim.id)
            outputsById_.emplace(*claim.id, *claim.output);
    }
    return std::nullopt;
}

void BatchClaims::releaseOutputs(std::size_t owner) {
    std::erase_if(outputsByKey_,
                  [owner](const auto& entry) { return entry.second.owner == owner; });
    std::erase_if(outputsById_, [owner](const auto& entry) { return entry.second.owner == owner; });
}

} // namespace kv
