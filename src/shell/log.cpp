#include "shell/log.h"

#include "shell/file_locations.h"

namespace kv {

bool Log::open(const std::filesystem::path& path) {
    close();
    create_private_file(path);
    file_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file_)
        return false;
    target_ = &file_;
    return true;
}

void Log::attach(std::ostream& stream) {
    close();
    target_ = &stream;
}

void Log::write(std::string_view line) {
    if (target_ == nullptr)
        return;
    *target_ << line << "\r\n";
    target_->flush();
}

void Log::close() {
    if (file_.is_open())
        file_.close();
    target_ = nullptr;
}

bool start_run_log(Log& log, const std::filesystem::path& stateDir) {
    if (!log.open(stateDir / std::string(Log::kFileName)))
        return false;
    log.write("Starting new run");
    return true;
}

void end_run_log(Log& log) {
    log.write("Ending run");
    log.write("****************************");
    log.close();
}

} // namespace kv
