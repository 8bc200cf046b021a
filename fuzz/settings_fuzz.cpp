// kv-gui.ini on arbitrary bytes: the six values read back unchanged from the text the
// program writes for them, and the settings check ends without a memory fault.
#include "fuzz_support.h"
#include "shell/settings.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

// One file of this process, rewritten for every input and removed at the end.
class ScratchFile {
public:
    ScratchFile() {
        path_ = (std::filesystem::temp_directory_path() / "kv-fuzz-settings-XXXXXX").string();
        const int fd = ::mkstemp(path_.data());
        kv::fuzz::check(fd >= 0, "mkstemp", path_);
        ::close(fd);
    }
    ~ScratchFile() { std::filesystem::remove(path_); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

const std::string& scratch_file() {
    static const ScratchFile file;
    return file.path();
}

void put(const std::string& text) {
    std::ofstream out(scratch_file(), std::ios::binary | std::ios::trunc);
    out << text;
    kv::fuzz::check(static_cast<bool>(out), "writing", scratch_file());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    put(text);
    kv::RecordedSettings first;
    KV_FUZZ_CHECK(kv::read_settings_file(scratch_file(), first), "read_settings_file");

    put(kv::settings_file_text(first.settings, first.optfile, first.newoptfile));
    kv::RecordedSettings second;
    KV_FUZZ_CHECK(kv::read_settings_file(scratch_file(), second), "read_settings_file again");
    const auto values = [](const kv::RecordedSettings& r) {
        return std::vector<std::string>{r.settings.modeldir, r.settings.modelexe,
                                        r.optfile,           r.newoptfile,
                                        r.settings.datadir,  r.settings.accessexe};
    };
    KV_FUZZ_CHECK(values(first) == values(second), "the written settings read back differently");

    put(text);
    kv::fuzz::FuzzSession fuzz;
    fuzz.session->settings.inipath = scratch_file();
    kv::check_settings(*fuzz.session);
    return 0;
}
