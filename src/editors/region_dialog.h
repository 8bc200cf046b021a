#pragma once

#include "optionsfile/jet_query.h"
#include "optionsfile/scenario.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class Session;

// The logic of the Region dialog (form `Region`): the level of the run and the states or
// counties it covers. The scenario's `regions_saved` is the working selection; the
// selection list the window shows is built from it, one line per entry shown, and each line
// knows its entry, so removing a line removes exactly the entry it shows. The state list,
// the county list (`countylist`, filled from the reference database) and the selection are
// all held here; the window shows them and hands every click on to this class.
class RegionDialog {
public:
    // The level buttons `optreg`, by index; the last one is never shown.
    enum Level : std::int16_t {
        FiftyStates = 0,
        StateLevel = 1,
        CountyLevel = 2,
        UsTotal = 3,
        Option1 = 4,
    };
    static constexpr int kLevelCount = 5;
    static const std::array<std::string_view, kLevelCount>& levelCaptions();

    static constexpr std::string_view kNothingSelected = "No State/County selected";
    static constexpr std::string_view kAlreadySelected = " already selected";

    // One line of the selection list and the entry of `regions_saved` it shows.
    struct Line {
        std::string text;
        RegionCollection::Ptr entry;
    };

    explicit RegionDialog(Session& session);

    // Opening: takes the scenario's region as the working selection and shows it.
    void load();

    // A click on the level button n.
    void levelClicked(int n);
    // Leaving the county level (C_S, for the state level or any other) drops the county
    // entries; state to county (S_C) keeps everything.
    void regionb_consistent(bool S_C, bool C_S);
    // Rebuilds the selection list and `regionabbrs` from `regions_saved`.
    void regsel();
    // Fills the state list with the names of `allstates`.
    void loadstates();

    // A click on line `line` of the state list; at the county level it lists that state's
    // counties from the reference database.
    void stateClicked(int line);
    // A click on line `line` of the county list.
    void countyClicked(int line);
    // The lines now selected in the selection list.
    void selectLines(const std::vector<int>& lines);

    // Add (also a double click in either list) and Del (also Backspace and Delete).
    void add();
    void del();

    // OK marks the region as changed; the window then closes and unload() commits it.
    void ok();
    // Cancel and Escape put the scenario back as it was at opening; nothing is committed.
    void cancel();
    void escape();
    // Closing, whichever way: commits the selection and the level, and rebuilds the
    // allocation and population lists from the entries committed.
    void unload();

    // Rebuilds the allocation and population lists for `curlevel` and `regionabbrs`.
    void pop_alloc();

    // The county query for a state entry, as logged and as run.
    static JetQuery county_query(const RegionCls& state);
    // How the selection list and its messages name an entry: a state by its name, a county
    // by its name, a blank and its state's abbreviation.
    static std::string entry_name(const RegionCls& entry);

    // What the window shows.
    std::int16_t curlevel() const { return curlevel_; }
    bool addEnabled() const { return addEnabled_; }
    const std::vector<std::string>& stateLines() const { return stateLines_; }
    std::optional<int> stateLine() const { return stateLine_; }
    std::vector<std::string> countyLines() const;
    std::optional<int> countyLine() const { return countyLine_; }
    const std::vector<Line>& selectionLines() const { return lines_; }
    const std::vector<int>& selectedLines() const { return selected_; }

    const RegionCollection& allstates() const { return allstates_; }
    const RegionCollection& countylist() const { return countylist_; }
    const RegionCollection& openregions() const { return openregions_; }
    std::int16_t openlevel() const { return openlevel_; }
    bool statesclicked() const { return statesclicked_; }
    const std::vector<std::string>& regionabbrs() const { return regionabbrs_; }

private:
    void listCounties(const RegionCls& state);
    void clearCounties();
    void addEntry(const RegionCollection::Ptr& entry);
    void restoreOpening();

    Session& session_;
    RegionCollection allstates_;
    RegionCollection countylist_;
    RegionCollection openregions_;
    std::int16_t openlevel_ = 0;
    std::int16_t curlevel_ = 0;
    bool statesclicked_ = false;
    std::vector<std::string> regionabbrs_;

    std::vector<std::string> stateLines_;
    std::optional<int> stateLine_;
    std::optional<int> countyLine_;
    std::vector<Line> lines_;
    std::vector<int> selected_;
    bool addEnabled_ = true;

    // What Cancel and Escape put back: the working selection and the region flag as they
    // were before opening, and whether this opening is being left without a commit.
    RegionCollection savedAtOpening_;
    bool changedAtOpening_ = false;
    bool discarded_ = false;
};

} // namespace kv
