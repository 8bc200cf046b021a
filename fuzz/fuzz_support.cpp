#include "fuzz_support.h"

#include "optionsfile/writer.h"
#include "shell/text.h"

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

namespace {

std::string norm(std::string_view value) {
    return upper(trim(value));
}

} // namespace

std::string carried(const Scenario& sc) {
    std::ostringstream o;
    for (std::size_t slot = 0; slot <= kRetrofit; ++slot) {
        std::string value = trim(sc.runfiles[slot]);
        // A file without a MESSAGE or OUTPUT DATA line leaves the slot empty; the line the
        // writer gives it then names the options file's directory.
        if ((slot == kMessage || slot == kOutputData) && value.empty())
            value = sc.optdir + "/";
        if (slot != kNet)
            o << "runfile " << slot << ": " << value << '\n';
    }
    if (sc.found_modelyear)
        o << "bmy " << sc.bmy_on << ' ' << trim(sc.runfiles[kExhaustBmyOut]) << ' '
          << trim(sc.runfiles[kEvapBmyOut]) << '\n';
    if (sc.found_daily)
        o << "daily: " << trim(sc.runfiles[kDailyTempsRvp]) << '\n';
    for (const std::string* v :
         {&sc.title1str, &sc.title2str, &sc.fulrvpstr, &sc.pcoxygenstr, &sc.so2gasstr,
          &sc.so2dieselstr, &sc.so2marinedieselstr, &sc.so2cngstr, &sc.mintempstr, &sc.maxtempstr,
          &sc.avgtempstr, &sc.altitudestr})
        o << "option: " << norm(*v) << '\n';
    // Written as "0.0" while no control factor is known, as "0" when it is empty.
    const std::string stage2 = sc.stage2_known ? sc.stage2str : "0.0";
    o << "stage2: " << norm(stage2.empty() ? "0" : stage2) << '\n';
    o << "period " << sc.periodindex << ' ' << sc.ptypeindex << ' ' << norm(sc.yearstr) << ' '
      << sc.weekindex << ' ' << norm(sc.growthyearstr) << ' ' << norm(sc.techyearstr);
    // The season and the month are written only for the period type that uses them.
    if (sc.periodindex == 2)
        o << " season " << sc.seasonindex;
    if (sc.periodindex == 1)
        o << " month " << sc.monthindex;
    o << "\nregion level " << sc.regionlevel << '\n';
    for (const auto& region : sc.regions)
        o << "region: " << region->code << '\n';
    o << "sources " << sc.sources_on << '\n';
    for (std::size_t i = 0; sc.sources_on && i < sc.sourceCount(); ++i)
        o << "source: " << sc.sources[i].scc << '\n';
    // A label is read back up to its colon.
    const auto list = [&o](const char* name, const AllocCollection& files) {
        for (const auto& entry : files)
            o << name << ": " << entry->descriptor.substr(0, entry->descriptor.find(':') + 1) << '|'
              << trim(entry->allocfile) << '\n';
    };
    list("pop", sc.popfiles);
    list("alloc", sc.allocfiles);
    for (std::size_t i = 0; i < sc.growthCount(); ++i)
        o << "growth: " << trim(sc.growthfiles[i]) << '\n';
    for (std::size_t slot = 0; slot < 15; ++slot)
        o << "emfac " << slot << ": " << trim(sc.emfacfiles[slot]) << '\n';
    for (std::size_t slot = 0; slot < 15; ++slot)
        o << "deter " << slot << ": " << trim(sc.detfiles[slot]) << '\n';
    return o.str();
}

} // namespace kv::fuzz
