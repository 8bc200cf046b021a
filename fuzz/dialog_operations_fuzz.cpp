// The dialogs' own operations on generated options files. An input is decoded into an options
// file (which packets, in which order, with values taken from small tables of good and bad
// values) and a sequence of steps: a dialog opened on its Qt-free logic, driven by what its
// window forwards (typing, clicks, Add, Delete, Replace, the Open dialog's answers) and left
// with OK, Cancel, Escape or the close button (answering the close question either way), as a
// person would leave it; another file read; a save. Then:
// - a file reads alike whatever was read or edited before it;
// - what a dialog's close stored is what the dialog's OK accepts;
// - a save succeeds, the saved file opens again with no message that reading the template
//   did not give, and what it carries is what the scenario holds: the scenario the user sees.
//   The by-model-year and daily files count only where the template has their packets, which
//   the writer never appends.
#include "advanced/factor_files_dialog.h"
#include "advanced/geoalloc_dialog.h"
#include "advanced/growth_dialog.h"
#include "advanced/population_dialog.h"
#include "advanced/single_file_dialog.h"
#include "editors/options_dialog.h"
#include "editors/period_dialog.h"
#include "editors/region_dialog.h"
#include "editors/sources_dialog.h"
#include "fuzz_support.h"
#include "optionsfile/format.h"
#include "shell/text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <fuzzer/FuzzedDataProvider.h>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace kv;
namespace fs = std::filesystem;

// A data tree on disk, made once per run and removed at its end, so that existence checks,
// the Open dialogs' answers and the Region dialog's rebuild of the file lists find real files.
class DataTree {
public:
    DataTree() : root_(fs::temp_directory_path() / ("kv-fuzz-ops-" + std::to_string(getpid()))) {
        fs::remove_all(root_);
        for (const char* file : kFiles) {
            const fs::path path = root_ / file;
            fs::create_directories(path.parent_path());
            std::ofstream(path) << "x\n";
        }
    }
    ~DataTree() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    DataTree(const DataTree&) = delete;
    DataTree& operator=(const DataTree&) = delete;

    const fs::path& root() const { return root_; }
    std::string path(std::string_view relative) const { return (root_ / relative).string(); }

    // Files of the tree, below its root (the program's directory of the session).
    static constexpr std::array kFiles = {"data/ALLOCATE/ca_pop.alo",
                                          "data/ALLOCATE/ca_house.alo",
                                          "data/ALLOCATE/tx_pop.alo",
                                          "data/ALLOCATE/nv_golf.alo",
                                          "data/ALLOCATE/us_pop.alo",
                                          "data/ALLOCATE/allocate.xrf",
                                          "data/pop/ca.pop",
                                          "data/pop/TX.POP",
                                          "data/pop/us.pop",
                                          "data/growth/nation.grw",
                                          "data/growth/nö wth.grw",
                                          "data/growth/a\nb.grw",
                                          "data/emsfac/exhthc.emf",
                                          "data/emsfac/nox mix.emf",
                                          "data/detfac/exhthc.det",
                                          "data/detfac/bsfc.det",
                                          "data/ACTIVITY/activity.dat",
                                          "data/SEASON/season.dat",
                                          "data/SEASON/season.rgn",
                                          "data/TECH/exh.dat",
                                          "data/TECH/evp.dat",
                                          "data/DAILY/daytmp.txt",
                                          "data/RETROFIT/retrofit.dat",
                                          "data/ALLOCATE/fips.dat",
                                          "data/a:b.dat"};

private:
    fs::path root_;
};

const DataTree& tree() {
    static const DataTree data;
    return data;
}

// Paths a person may type or choose: existing files (absolute and relative to the program's
// directory, one with a line break in its name), missing ones, an empty one, and some holding
// line breaks. A short table, so that each is chosen often.
const std::vector<std::string>& paths() {
    static const std::vector<std::string> table = {
        "",
        tree().path("data/pop/ca.pop"),
        tree().path("data/growth/nation.grw"),
        tree().path("data/growth/nö wth.grw"),
        tree().path("data/growth/a\nb.grw"),
        tree().path("data/emsfac/exhthc.emf"),
        tree().path("data/detfac/bsfc.det"),
        tree().path("data/ALLOCATE/ca_house.alo"),
        tree().path("data/ALLOCATE/allocate.xrf"),
        tree().path("data/a:b.dat"),
        "data/ACTIVITY/activity.dat",
        tree().path("data/none.dat"),
        tree().path("data/growth/nation.grw") + "\n/END/\nx.grw",
        " " + tree().path("data/pop/TX.POP") + " ",
    };
    return table;
}

// Texts a person may type into the Options and Period fields.
constexpr std::array<std::string_view, 28> kTexts = {
    "",     "9.0",    "6",           "16",  "17",    "-40",    "120",   "121",    "0.5",
    "0.6",  "70",     "60",          "65",  "abc",   "****",   " 2030", "2030",   "1969",
    "2051", "2000.4", "Mixed Title", "1e3", "99999", "2030\n", "2.0",   "0.0339", "Title\r\n/END/",
    "low"};

// Region codes: whole states, counties, a code the reference data lacks.
constexpr std::array<std::string_view, 8> kRegionCodes = {"06000", "48000", "32000", "06037",
                                                          "06059", "48201", "32003", "06998"};
constexpr std::array<std::string_view, 6> kSccs = {"2265002015", "2265004010", "2270002015",
                                                   "2265001010", "2260000000", "1234567890"};

// ---------------------------------------------------------------------------------------
// The generated options file.

class FileGenerator {
public:
    explicit FileGenerator(FuzzedDataProvider& in) : in_(in) {}

    std::string make() {
        using format::Packet;
        std::vector<Packet> order = {
            Packet::Runfiles,         Packet::Options,        Packet::Period,
            Packet::Region,           Packet::SourceCategory, Packet::PopFiles,
            Packet::AllocFiles,       Packet::GrowthFiles,    Packet::EmfacFiles,
            Packet::DeteriorateFiles, Packet::StageII,        Packet::ModelyearOut,
            Packet::DailyFiles};
        for (int swaps = in_.ConsumeIntegralInRange(0, 3); swaps > 0; --swaps) {
            const auto a = in_.ConsumeIntegralInRange<std::size_t>(0, order.size() - 1);
            const auto b = in_.ConsumeIntegralInRange<std::size_t>(0, order.size() - 1);
            std::swap(order[a], order[b]);
        }
        std::string text = "Generated options file\r\n";
        for (const Packet packet : order) {
            const bool required = packet == Packet::Runfiles || packet == Packet::Options ||
                                  packet == Packet::Period || packet == Packet::Region ||
                                  packet == Packet::PopFiles || packet == Packet::AllocFiles ||
                                  packet == Packet::EmfacFiles;
            if (!required && !in_.ConsumeBool())
                continue;
            text += std::string(format::packet_name(packet)) + "\r\n" + body(packet) + "/END/\r\n";
            if (in_.ConsumeBool())
                text += "\r\n";
        }
        return text;
    }

private:
    std::string pick(const std::vector<std::string>& table) {
        return table[in_.ConsumeIntegralInRange<std::size_t>(0, table.size() - 1)];
    }
    template <std::size_t N> std::string pick(const std::array<std::string_view, N>& table) {
        return std::string(table[in_.ConsumeIntegralInRange<std::size_t>(0, N - 1)]);
    }
    // A path as a file holds it: never with a line break.
    std::string filePath() {
        std::string path = pick(paths());
        return holds_line_break(path) ? tree().path("data/none.dat") : path;
    }
    std::string labelled(std::string_view label, const std::string& value) {
        return std::string(label) + value + "\r\n";
    }
    std::string value() {
        const std::string text = pick(kTexts);
        return holds_line_break(text) ? "" : text;
    }

    std::string body(format::Packet packet) {
        using format::Packet;
        std::string b;
        switch (packet) {
        case Packet::Runfiles:
            for (std::size_t slot = 0; slot <= kRetrofit; ++slot) {
                const std::string descriptor(format::runfiledescriptors[slot]);
                if (slot == kMessage || slot == kOutputData)
                    b += descriptor + "   : " +
                         tree().path(slot == kMessage ? "out/f.msg" : "out/f.out") + "\r\n";
                else if (in_.ConsumeBool())
                    b += descriptor + "   : " + filePath() + "\r\n";
            }
            return b;
        case Packet::Options: {
            // A short packet leaves the values after it unset.
            const int count = in_.ConsumeIntegralInRange(6, 12);
            for (int i = 0; i < count; ++i) {
                if (i == 6 && in_.ConsumeBool())
                    continue; // no marine line
                b += labelled(format::kOptionsLabels[static_cast<std::size_t>(i)],
                              i == 11 ? pick(std::array<std::string_view, 3>{"LOW", "high", ""})
                                      : value());
            }
            return b;
        }
        case Packet::Period: {
            const std::array<std::string_view, 3> types = {"Annual", "Monthly", "Seasonal"};
            const std::array<std::string_view, 2> sums = {"Typical day", "Period total"};
            const std::array<std::string_view, 4> seasons = {"Winter", "Autumn", "", "Nowhen"};
            const std::array<std::string_view, 4> months = {"March", "December", "", "Smarch"};
            const std::array<std::string_view, 3> weeks = {"Weekday", "Weekend", "x"};
            const std::string values[8] = {pick(types),  pick(sums),  value(), pick(seasons),
                                           pick(months), pick(weeks), value(), value()};
            for (std::size_t i = 0; i < 8; ++i)
                b += labelled(format::kPeriodLabels[i], values[i]);
            return b;
        }
        case Packet::Region: {
            b += labelled(format::kRegionLevelLabel, pick(format::kRegionLevelKeywords));
            for (int n = in_.ConsumeIntegralInRange(0, 3); n > 0; --n)
                b += labelled("Somewhere          : ", pick(kRegionCodes));
            return b;
        }
        case Packet::SourceCategory:
            for (int n = in_.ConsumeIntegralInRange(0, 3); n > 0; --n)
                b += std::string(format::kSourcePrefix) + pick(kSccs) + "\r\n";
            return b;
        case Packet::PopFiles:
        case Packet::AllocFiles:
            for (int n = in_.ConsumeIntegralInRange(0, 3); n > 0; --n)
                b += labelled(in_.ConsumeBool() ? "Population File    : " : "Census population  :",
                              filePath());
            return b;
        case Packet::GrowthFiles:
            for (int n = in_.ConsumeIntegralInRange(0, 2); n > 0; --n)
                b += labelled(format::kGrowthLabel, filePath());
            return b;
        case Packet::EmfacFiles:
        case Packet::DeteriorateFiles:
            for (int n = in_.ConsumeIntegralInRange(0, 3); n > 0; --n) {
                const std::string_view label =
                    format::kPollutantLabels[in_.ConsumeIntegralInRange<std::size_t>(0, 14)];
                b +=
                    std::string(label) +
                    std::string(format::kLabelPad.substr(std::min(label.size(), std::size_t{19}))) +
                    filePath() + "\r\n";
            }
            return b;
        case Packet::StageII:
            return labelled(format::kStageIILabel, value());
        case Packet::ModelyearOut:
            return labelled("EXHAUST BMY OUT    : ",
                            in_.ConsumeBool() ? tree().path("out/f.bmx") : "") +
                   labelled("EVAP BMY OUT       : ", "");
        case Packet::DailyFiles:
            return labelled("DAILY TEMPS/RVP    : ", filePath());
        }
        return b;
    }

    FuzzedDataProvider& in_;
};

// ---------------------------------------------------------------------------------------
// What a scenario holds, as text, to compare.

// Everything a read sets, flags and working copies included, exactly.
std::string read_state(const Scenario& sc) {
    std::ostringstream o;
    for (const std::string& f : sc.runfiles)
        o << f << '|';
    o << sc.msgdir << '|' << sc.msgfile << '|' << sc.outdir << '|' << sc.outfile << '|' << sc.bmy_on
      << '\n';
    for (const std::string* v :
         {&sc.title1str, &sc.title2str, &sc.fulrvpstr, &sc.pcoxygenstr, &sc.so2gasstr,
          &sc.so2dieselstr, &sc.so2marinedieselstr, &sc.so2cngstr, &sc.mintempstr, &sc.maxtempstr,
          &sc.avgtempstr, &sc.altitudestr, &sc.humidstr, &sc.stage2str, &sc.yearstr,
          &sc.growthyearstr, &sc.techyearstr})
        o << *v << '|';
    o << sc.stage2_known << sc.periodindex << sc.ptypeindex << sc.seasonindex << sc.monthindex
      << sc.weekindex << sc.regionlevel << '\n';
    for (const RegionCollection* regions : {&sc.regions, &sc.regions_saved}) {
        for (const auto& r : *regions)
            o << r->code << ' ' << r->county << ' ' << r->statename << ' ' << r->abbr << ' '
              << r->isState << '|';
        o << '\n';
    }
    for (const SourceEntry& s : sc.sources)
        o << s.scc << '|';
    o << sc.sources_on << '\n';
    for (const AllocCollection* list :
         {&sc.allocfiles, &sc.allocfiles_saved, &sc.popfiles, &sc.popfiles_saved}) {
        for (const auto& e : *list)
            o << e->descriptor << e->allocfile << '|';
        o << '\n';
    }
    for (const std::string& g : sc.growthfiles)
        o << g << '|';
    for (const std::string& f : sc.emfacfiles)
        o << f << '|';
    for (const std::string& f : sc.detfiles)
        o << f << '|';
    for (const bool flag :
         {sc.found_runfiles, sc.found_options,   sc.found_period,   sc.found_region,
          sc.found_source,   sc.found_pop,       sc.found_alloc,    sc.found_growth,
          sc.found_emfac,    sc.found_deter,     sc.found_stage2,   sc.found_modelyear,
          sc.found_daily,    sc.changed_options, sc.changed_stage2, sc.changed_period,
          sc.changed_region, sc.changed_pop,     sc.changed_alloc,  sc.changed_growth,
          sc.changed_emfac})
        o << flag;
    return o.str();
}

// ---------------------------------------------------------------------------------------
// A run of steps on one session.

class Run {
public:
    explicit Run(FuzzedDataProvider& in)
        : in_(in), fuzz_(tree().root()), options_(s()), period_(s()), region_(s()), sources_(s()),
          growth_(s()), population_(s()), alloc_(s()), emission_(s(), emission_factors()),
          deterioration_(s(), deterioration_factors()) {
        s().settings.datadir = tree().path("data");
        for (const SingleFileMember& member : single_file_members())
            singles_.push_back(std::make_unique<SingleFileDialog>(s(), member));
    }

    void go() {
        if (!readNew())
            return;
        for (int steps = 0; steps < 24 && in_.remaining_bytes() > 0; ++steps) {
            switch (in_.ConsumeIntegralInRange(0, 19)) {
            case 0:
                if (!readNew())
                    return;
                break;
            case 1:
                save();
                break;
            default:
                useDialog(
                    in_.ConsumeIntegralInRange<int>(0, 8 + static_cast<int>(singles_.size())));
            }
        }
        save();
    }

private:
    Session& s() { return *fuzz_.session; }
    Scenario& sc() { return s().scenario; }
    test::ScriptedUserInterface& ui() { return fuzz_.ui; }

    int number(int high) { return in_.ConsumeIntegralInRange(0, high); }
    std::size_t index(std::size_t count) {
        return count == 0 ? 0 : in_.ConsumeIntegralInRange<std::size_t>(0, count - 1);
    }
    std::string path() { return paths()[index(paths().size())]; }
    std::string text() { return std::string(kTexts[index(kTexts.size())]); }
    // The next Open dialog answers with a path of the table, or is cancelled.
    void answerOpenDialog() {
        if (in_.ConsumeBool())
            ui().answerFile(path());
    }
    void forgetAnswers() {
        ui().fileAnswers.clear();
        ui().yesNoAnswers.clear();
    }

    // File > Open of a generated file; it must read as it reads in a fresh session.
    bool readNew() {
        templ_ = FileGenerator(in_).make();
        s().scenarioReplacing();
        if (fuzz_.read(templ_) != ReadOutcome::Loaded || !ui().dialogs.empty())
            return false;
        kv::fuzz::FuzzSession fresh(tree().root());
        fresh.session->settings.datadir = s().settings.datadir;
        KV_FUZZ_CHECK(fresh.read(templ_) == ReadOutcome::Loaded, "a file read once reads no more");
        KV_FUZZ_CHECK(read_state(sc()) == read_state(fresh.scenario()),
                      "a read keeps something of what came before it:\n" + templ_);
        templMessages_ = ui().messageTexts();
        ui().messages.clear();
        return true;
    }

    // Save in place; the saved file must open again and carry what the scenario holds.
    void save() {
        std::vector<std::string> notes;
        std::istringstream in(templ_);
        std::ostringstream out;
        const WriteResult result =
            write_options_stream(sc(), in, out, s().rules, "1/2/2026 3:04:05 AM");
        KV_FUZZ_CHECK(result.ok,
                      "the save failed: " + result.refusal + "\n--- template ---\n" + templ_);
        const std::string saved = out.str();
        const std::string what = "\n--- template ---\n" + templ_ + "\n--- saved ---\n" + saved;

        kv::fuzz::FuzzSession back(tree().root());
        back.session->settings.datadir = s().settings.datadir;
        KV_FUZZ_CHECK(back.read(saved) == ReadOutcome::Loaded && back.ui.dialogs.empty(),
                      "the saved file does not open" + what);
        // A packet copied unchanged may say again what it said when the template was read
        // (counties under a level without counties, a file named twice); nothing else.
        const std::vector<std::string> messages = back.ui.messageTexts();
        for (const std::string& message : messages) {
            KV_FUZZ_CHECK(std::find(templMessages_.begin(), templMessages_.end(), message) !=
                              templMessages_.end(),
                          "the saved file reads with a new message: " + message + what);
        }
        const std::string expected = kv::fuzz::carried(sc());
        const std::string readBack = kv::fuzz::carried(back.scenario());
        KV_FUZZ_CHECK(readBack == expected,
                      "the saved file carries other values:\n--- scenario ---\n" + expected +
                          "--- read back ---\n" + readBack + what);
        templ_ = saved;
        templMessages_ = messages;
        s().scenarioMatchesFile();
    }

    // A dialog opened, driven and left. Each `act` is one thing its window forwards; `leave`
    // is one way out, true when the dialog closed.
    void drive(const std::function<void()>& load, const std::function<void()>& act,
               const std::function<bool(int)>& leave) {
        load();
        for (int round = 0; round < 4; ++round) {
            for (int n = number(6); n > 0; --n) {
                act();
                forgetAnswers();
            }
            const bool closed = leave(round == 3 ? 1 : number(3));
            forgetAnswers();
            if (closed)
                return;
        }
    }
    // The close button of a window whose logic asks first: the question answered either way.
    template <class Dialog> bool closeButton(Dialog& dialog) {
        ui().answerYesNo(in_.ConsumeBool());
        if (!dialog.mayClose())
            return false;
        dialog.unload();
        return true;
    }

    // A dialog used and left: whatever its close stored is what its OK accepts.
    void useDialog(int which) {
        const std::string before = kv::fuzz::carried(sc());
        openDialog(which);
        if (kv::fuzz::carried(sc()) != before)
            KV_FUZZ_CHECK(okAccepts(which), "dialog " + std::to_string(which) +
                                                " stored values its OK refuses:\n" + templ_);
    }

    // Whether the OK of a dialog opened anew on the scenario accepts what it shows.
    bool okAccepts(int which) {
        kv::fuzz::FuzzSession probe(tree().root());
        probe.session->settings.datadir = s().settings.datadir;
        probe.scenario() = sc();
        Session& p = *probe.session;
        switch (which) {
        case 0: {
            OptionsDialog d(p);
            d.load();
            return d.recheck();
        }
        case 1: {
            PeriodDialog d(p);
            d.load();
            return d.ok();
        }
        case 7:
        case 8: {
            FactorFilesDialog d(p, which == 7 ? emission_factors() : deterioration_factors());
            d.load();
            return d.testexist();
        }
        default:
            if (which < 9)
                return true; // no check at OK
            SingleFileDialog d(p, single_file_members()[static_cast<std::size_t>(which - 9)]);
            d.load();
            return d.ok();
        }
    }

    void openDialog(int which) {
        switch (which) {
        case 0:
            return drive([&] { options_.load(); }, [&] { optionsAct(); },
                         [&](int way) {
                             switch (way) {
                             case 0: // OK
                                 return options_.recheck() && closeButton(options_);
                             case 1: // Cancel, Escape
                                 options_.cancel();
                                 return closeButton(options_);
                             default:
                                 return closeButton(options_);
                             }
                         });
        case 1:
            return drive([&] { period_.load(); }, [&] { periodAct(); },
                         [&](int way) {
                             if (way == 0)
                                 return period_.ok() && closeButton(period_);
                             if (way == 1)
                                 period_.cancel();
                             return closeButton(period_);
                         });
        case 2:
            return drive([&] { region_.load(); }, [&] { regionAct(); },
                         [&](int way) {
                             if (way == 0)
                                 region_.ok();
                             else if (way == 1)
                                 in_.ConsumeBool() ? region_.cancel() : region_.escape();
                             region_.unload();
                             return true;
                         });
        case 3:
            return drive([&] { sources_.load(); }, [&] { sourcesAct(); },
                         [&](int way) {
                             if (way == 1)
                                 sources_.keyDown(SourcesDialog::KeyEscape);
                             return true;
                         });
        case 4:
        case 5: {
            FileListDialog& list = which == 4 ? static_cast<FileListDialog&>(growth_) : population_;
            return drive([&] { which == 4 ? growth_.load() : population_.load(); },
                         [&] { listAct(list, which == 4); },
                         [&](int way) {
                             if (way == 0)
                                 list.ok();
                             else if (way == 1)
                                 list.cancel();
                             list.unload();
                             return true;
                         });
        }
        case 6:
            return drive([&] { alloc_.load(); }, [&] { allocAct(); },
                         [&](int way) {
                             if (way == 0 && !alloc_.ok())
                                 return false;
                             if (way == 1)
                                 alloc_.cancel();
                             alloc_.unload();
                             return true;
                         });
        case 7:
        case 8: {
            FactorFilesDialog& d = which == 7 ? emission_ : deterioration_;
            return drive([&] { d.load(); },
                         [&] {
                             const std::size_t row = index(kFactorRowCount);
                             if (in_.ConsumeBool()) {
                                 answerOpenDialog();
                                 d.choose(row);
                             } else if (!d.member().hiddenRows[row]) {
                                 d.setText(row, path());
                             }
                         },
                         [&](int way) {
                             if (way == 0)
                                 return d.testexist() && closeButton(d);
                             if (way == 1)
                                 d.cancel();
                             return closeButton(d);
                         });
        }
        default: {
            SingleFileDialog& d = *singles_[static_cast<std::size_t>(which - 9)];
            return drive([&] { d.load(); },
                         [&] {
                             const std::size_t row = index(d.member().rows.size());
                             if (d.member().rows[row].hidden)
                                 return;
                             switch (number(2)) {
                             case 0:
                                 d.setText(row, path());
                                 break;
                             case 1:
                                 answerOpenDialog();
                                 d.change(row);
                                 break;
                             default:
                                 d.setByModelYear(in_.ConsumeBool());
                             }
                         },
                         [&](int way) {
                             if (way == 0)
                                 return d.ok() && closeButton(d);
                             if (way == 1)
                                 d.cancel();
                             return closeButton(d);
                         });
        }
        }
    }

    void optionsAct() {
        const auto field = static_cast<OptionsDialog::Field>(index(OptionsDialog::kFieldCount));
        switch (number(3)) {
        case 0:
            options_.setText(field, text());
            break;
        case 1:
            options_.gotFocus(field);
            break;
        case 2:
            options_.lostFocus(field);
            break;
        default:
            options_.setAltitude(in_.ConsumeBool() ? OptionsDialog::Low : OptionsDialog::High);
        }
    }

    void periodAct() {
        if (in_.ConsumeBool()) {
            period_.setYear(static_cast<PeriodDialog::YearField>(index(PeriodDialog::kYearCount)),
                            text());
            return;
        }
        const auto& info = PeriodDialog::arrays()[index(PeriodDialog::kArrayCount)];
        // Only an enabled button can be clicked.
        if (period_.enabled(info.array))
            period_.click(info.array, static_cast<int>(index(info.captions.size())));
    }

    void regionAct() {
        switch (number(5)) {
        case 0:
            region_.levelClicked(number(3)); // the four visible level buttons
            break;
        case 1:
            region_.stateClicked(static_cast<int>(index(region_.stateLines().size())));
            break;
        case 2:
            region_.countyClicked(static_cast<int>(index(region_.countyLines().size())));
            break;
        case 3: // Add, or a double click in a list
            region_.add();
            break;
        case 4:
            region_.selectLines({static_cast<int>(index(region_.selectionLines().size()))});
            break;
        default:
            region_.del();
        }
    }

    void sourcesAct() {
        switch (number(5)) {
        case 0:
            sources_.segmentClick(
                static_cast<std::int16_t>(number(SourcesDialog::kVisibleSegments - 1)));
            break;
        case 1:
            sources_.fuelClick(static_cast<std::int16_t>(number(SourcesDialog::kVisibleFuels - 1)));
            break;
        case 2:
            sources_.srcactClick(static_cast<std::int16_t>(number(1)));
            break;
        case 3:
            sources_.add(static_cast<std::int16_t>(number(1)));
            break;
        case 4: {
            const std::size_t line = index(sources_.lines().size());
            sources_.setChosen(static_cast<SourcesDialog::List>(number(2)), line, true);
            sources_.setCurrentLine(line);
            break;
        }
        default:
            sources_.remove();
        }
    }

    void select(ListSelection& selection) {
        const std::size_t line = index(selection.size());
        selection.setSelected(line, in_.ConsumeBool());
        selection.setCurrent(line);
    }

    void listAct(FileListDialog& list, bool isGrowth) {
        switch (number(4)) {
        case 0:
            answerOpenDialog();
            list.add();
            break;
        case 1:
            select(list.selection());
            isGrowth ? static_cast<void>(growth_.click()) : population_.click();
            break;
        case 2:
            isGrowth ? growth_.setTxtgrow(path()) : population_.setSelEdit(path());
            break;
        case 3:
            list.del();
            break;
        default:
            list.replace();
        }
    }

    void allocAct() {
        switch (number(5)) {
        case 0:
            answerOpenDialog();
            alloc_.add();
            break;
        case 1:
            select(alloc_.selection());
            alloc_.click();
            break;
        case 2:
            alloc_.setSelEdit(path());
            break;
        case 3:
            alloc_.del();
            break;
        case 4:
            alloc_.replace();
            break;
        default:
            if (in_.ConsumeBool()) {
                alloc_.setTxtalloc(path());
            } else {
                answerOpenDialog();
                alloc_.changeLookup();
            }
        }
    }

    FuzzedDataProvider& in_;
    kv::fuzz::FuzzSession fuzz_;
    std::string templ_;
    std::vector<std::string> templMessages_; // what reading the template said
    // The dialogs live as long as the program, as their single instances do.
    OptionsDialog options_;
    PeriodDialog period_;
    RegionDialog region_;
    SourcesDialog sources_;
    GrowthDialog growth_;
    PopulationDialog population_;
    GeoAllocDialog alloc_;
    FactorFilesDialog emission_;
    FactorFilesDialog deterioration_;
    std::vector<std::unique_ptr<SingleFileDialog>> singles_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Run(in).go();
    return 0;
}
