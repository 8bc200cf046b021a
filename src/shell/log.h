#pragma once

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string_view>

namespace kv {

// The program's log, "region.txt" in the state directory: one plain line per entry,
// emptied at every start. Writing to a closed log does nothing, as does a log that could
// not be opened: the log never stops the program.
class Log {
public:
    static constexpr std::string_view kFileName = "region.txt";

    // Opens the file for writing, emptying it. False when it cannot be opened.
    bool open(const std::filesystem::path& path);
    // Writes to a stream the caller owns (tests, kvopt --log).
    void attach(std::ostream& stream);
    void write(std::string_view line);
    void close();
    bool isOpen() const { return target_ != nullptr; }

private:
    std::ofstream file_;
    std::ostream* target_ = nullptr;
};

// Opens "region.txt" in the state directory, emptying it, and writes
// "Starting new run".
bool start_run_log(Log& log, const std::filesystem::path& stateDir);
// Writes "Ending run" and a line of 28 asterisks, then closes the log.
void end_run_log(Log& log);

} // namespace kv
