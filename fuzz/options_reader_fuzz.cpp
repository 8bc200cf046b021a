// The options-file reader on arbitrary bytes: it must end, without a memory fault, whatever
// the file holds.
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kv::fuzz::FuzzSession fuzz;
    fuzz.read(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
