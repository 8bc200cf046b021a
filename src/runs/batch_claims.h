#pragma once

#include "shell/path_rules.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kv {

struct Scenario;

// The identity of an existing file: its device and inode (none where the system offers none).
using FileId = std::pair<unsigned long long, unsigned long long>;

// Where paths lead, as a batch compares them. A path's key is the real path of its longest
// part that exists (links followed, and a missing name matched without regard to case in its
// folder, as the core model finds names), joined with the rest, all in lower case: "out/RES.MSG"
// and "out/res.msg", or "same/res.msg" with "same" a link to "out", give one key, while
// "link/../x.msg" keeps the folder the link leads to. Folders are looked at once each.
class PathKeys {
public:
    std::string key(const std::string& path);
    // The file itself, when it exists (one stat).
    static std::optional<FileId> fileId(const std::string& path);

private:
    std::filesystem::path resolved(const std::filesystem::path& path);
    // The entries of an existing folder by their names in lower case.
    const std::unordered_map<std::string, std::string>& entries(const std::filesystem::path& dir);

    std::unordered_map<std::string, std::filesystem::path> resolvedDirs_;
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> listings_;
};

// Files named by path, each taken once: by the same text (in any case where case does not
// count) or as the same existing file reached another way. One stat per file.
class DistinctFiles {
public:
    explicit DistinctFiles(PathRules rules) : rules_(rules) {}
    // False when the file was added before.
    bool add(const std::string& path);

private:
    PathRules rules_;
    std::set<std::string> paths_;
    std::set<FileId> ids_;
};

// The files a batch's runs write and the options files they run on, by owner (the index of
// the options file in the batch). No output may be written by two files, and no output may
// land on another options file of the batch: the model would overwrite it, and its own run
// would then save over the model's output.
class BatchClaims {
public:
    BatchClaims() = default;
    // Relative output names are taken from `modelDir`, where the model runs.
    BatchClaims(std::string modelDir, PathRules rules);

    // What clashes: an output of `writer` that `other` writes too (it claimed it first), or
    // that is `other`, an options file of the batch.
    struct Clash {
        std::size_t writer = 0;
        std::size_t other = 0;
        std::string path;       // the output as `writer` names it
        std::string descriptor; // "MESSAGE", "OUTPUT DATA", ...
        bool optionsFile = false;
    };

    // Every options file of the batch, also a refused one, since an output must not destroy
    // it; answers the clash when an output claimed already is this file.
    std::optional<Clash> addOptionsFile(std::size_t owner, const std::string& path);
    // Claims the output files of `scenario` for `owner`. When one of them is another file's
    // output or another options file of the batch, claims nothing and answers the clash.
    std::optional<Clash> claimOutputs(std::size_t owner, const Scenario& scenario);
    // Gives up what `owner` claimed (its file changed, or it will not run).
    void releaseOutputs(std::size_t owner);
    // Looks at the disk afresh at the next claim (files and folders made since).
    void forgetDisk() { keys_ = PathKeys(); }

private:
    struct Output {
        std::size_t owner = 0;
        std::string path;
        std::string descriptor;
    };
    std::vector<Output> outputsOf(std::size_t owner, const Scenario& scenario) const;

    std::string modelDir_;
    PathRules rules_ = PathRules::native();
    PathKeys keys_;
    std::map<std::string, std::set<std::size_t>> optionsByKey_;
    std::map<FileId, std::set<std::size_t>> optionsById_;
    std::map<std::string, Output> outputsByKey_;
    std::map<FileId, Output> outputsById_;
};

} // namespace kv
