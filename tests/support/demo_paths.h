#pragma once

// The programs of this build and its demo installation, for the tests that run them.
#include "support/run_program.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kv::test {

inline const std::string kKvopt = KV_BINARY_DIR "/bin/kvopt";
inline const std::string kModel = KV_DEMO_DIR "/model";
inline const std::string kData = KV_DEMO_DIR "/data";

// Whether the demo's reference database was built; the tests that read the demo skip without.
inline bool demo_refdb_built() {
    return std::filesystem::exists(kModel + "/reports/reports.sqlite");
}

// kvopt with `args`, on the demo installation.
inline ProgramResult kvopt_on_demo(std::vector<std::string> args) {
    args.insert(args.begin(), {kKvopt, "--model-dir", kModel, "--data-dir", kData});
    return run_program(args);
}

} // namespace kv::test
