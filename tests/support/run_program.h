#pragma once

#include <string>
#include <vector>

namespace kv::test {

struct ProgramResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program with arguments (no shell) and collects its exit status and output.
ProgramResult run_program(const std::vector<std::string>& argv, const std::string& workingDir = {});

} // namespace kv::test
