#include "fuzz_support.h"

#include "optionsfile/writer.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace kv::fuzz {

void check(bool condition, const char* expression, const std::string& what) {
    if (condition)
        return;
    std::fprintf(stderr, "Check failed: %s\n", expression);
    std::fwrite(what.data(), 1, what.size(), stderr); // may hold NUL bytes
    std::fputc('\n', stderr);
    std::abort();
}

namespace {

// Loaded once: the CSV files of the demo are read from the source tree.
const std::shared_ptr<test::FakeReferenceDb>& reference_data() {
    static const auto db = test::demo_reference_data();
    return db;
}

} // namespace

FuzzSession::FuzzSession(std::filesystem::path programDir) {
    refdbs.db = reference_data();
    refdbs.db->queries.clear();
    session =
        std::make_unique<Session>(ui, launcher, refdbs, std::move(programDir), PathRules::posix());
    session->settings.modeldir = "/model";
    session->settings.datadir = "/data";
    session->log.attach(log);
}

ReadOutcome FuzzSession::read(std::string_view text) {
    Scenario& sc = session->scenario;
    sc.optdir = "/runs";
    sc.optfile = "fuzz.opt";
    sc.prevoptdir = sc.optdir;
    sc.prevoptfile = sc.optfile;
    std::istringstream in{std::string(text)};
    return read_options_stream(*session, in, session->join(sc.optdir, sc.optfile));
}

std::string FuzzSession::write(std::string_view templ, std::vector<std::string>* notes) {
    std::istringstream in{std::string(templ)};
    std::ostringstream out;
    const WriteResult result =
        write_options_stream(session->scenario, in, out, session->rules, "1/2/2026 3:04:05 AM");
    KV_FUZZ_CHECK(result.ok, "the writer failed on a stream in memory");
    if (notes)
        *notes = result.notes;
    return out.str();
}

} // namespace kv::fuzz
