#include "optionsfile/writer.h"
#include "support/options_text.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>
#include <random>

namespace kv::test {
namespace {

class ReaderRobustnessTest : public SessionTest {
protected:
    // Reads a damaged file, then writes it with itself as the template: neither may crash,
    // and a read that ended must have said why.
    void readAndWrite(const std::string& text) {
        ui.messages.clear();
        const ReadOutcome outcome = readText(text);
        if (outcome != ReadOutcome::Loaded) {
            EXPECT_FALSE(ui.messages.empty());
        }
        std::istringstream in(text);
        std::ostringstream out;
        EXPECT_TRUE(write_options_stream(sc(), in, out, PathRules::posix(), "now").ok);
    }
};

// The file cut after every byte of its first packets and after every line: a truncated
// packet is never a crash.
TEST_F(ReaderRobustnessTest, TruncatedAnywhere) {
    sc().prevoptfile = "previous.opt";
    const std::string full = complete_options_file();
    for (std::size_t cut = 0; cut < full.size(); cut += (cut < 1200 ? 1 : 37))
        readAndWrite(full.substr(0, cut));
}

// Random bytes changed, deterministic so that a failure can be replayed.
TEST_F(ReaderRobustnessTest, DamagedBytes) {
    sc().prevoptfile = "previous.opt";
    const std::string full = complete_options_file();
    std::mt19937 random(20261207);
    std::uniform_int_distribution<std::size_t> position(0, full.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 400; ++round) {
        std::string text = full;
        for (int k = 0; k < 1 + round % 8; ++k)
            text[position(random)] = static_cast<char>(byte(random));
        readAndWrite(text);
    }
}

} // namespace
} // namespace kv::test
