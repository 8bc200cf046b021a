#pragma once

#include "optionsfile/scenario.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class Session;

// The logic of the Sources dialog (form `sorces`): all equipment sources, or an explicit list
// of SCC codes built by querying the equipment table with a segment and a fuel. It edits the
// scenario's list in place and keeps the list as it was at opening, for Cancel.
//
// The three lists of the window (`Selected`, `lstcodes`, `CodeDesc`) are one model here:
// line i of each stands for entry i of `sources`; a line holds what each list shows and
// whether it is selected in each list. The window only displays it.
class SourcesDialog {
public:
    // The three lists of the window.
    enum List { Selected = 0, lstcodes = 1, CodeDesc = 2 };
    static constexpr std::size_t kListCount = 3;

    struct Line {
        std::string description;               // what `Selected` shows
        std::string code;                      // what `lstcodes` shows
        std::string codeDesc;                  // what `CodeDesc` shows
        std::array<bool, kListCount> chosen{}; // selected in each list
    };

    // The Add buttons (`Addsel`).
    enum AddButton : std::int16_t { AddSegment = 0, AddEquipment = 1 };

    // The segment buttons, 13 ("Option1") never shown; the fuel buttons, 3 and 4 never shown.
    static constexpr std::int16_t kSegmentCount = 14;
    static constexpr std::int16_t kVisibleSegments = 13;
    static constexpr std::int16_t kFuelCount = 5;
    static constexpr std::int16_t kVisibleFuels = 3;
    static constexpr std::int16_t kAllSegments = 0, kRailway = 11, kMarineRec = 12,
                                  kHiddenSegment = 13;
    static constexpr std::int16_t kHiddenFuel = 3;
    // Captions as the buttons hold them ("&&" shows as one "&").
    static std::string_view segmentCaption(std::int16_t index);
    static std::string_view fuelCaption(std::int16_t index);
    static constexpr std::array<std::string_view, 2> kSourceModeCaptions = {"Selected sources",
                                                                            "All Sources"};
    static constexpr std::array<std::string_view, 2> kAddCaptions = {"Add Segment",
                                                                     "Add Equipment"};

    static constexpr std::string_view kNoEquipment = "No Equipment selected";
    static constexpr std::string_view kNoFuel = "No Fuel Selected";
    // The list's positions are 16-bit: at most this many entries.
    static constexpr std::size_t kMaxSources = 32767;

    // Virtual key codes the form's key handler acts on.
    enum Key : int { KeyBack = 8, KeyEscape = 27, KeyDelete = 46, KeyF12 = 123 };

    explicit SourcesDialog(Session& session);

    // Opening: keeps the list for Cancel, shows it, and forgets the segment and fuel chosen.
    void load();

    // Handlers.
    void segmentClick(std::int16_t index);
    void fuelClick(std::int16_t index);
    void srcactClick(std::int16_t index);
    // Add (`Addsel`): queries the equipment table and appends every new code. False when it
    // stopped on an error (its message has been shown).
    bool add(std::int16_t Index);
    // Remove Selection: drops every line selected in any list, when `Selected` has a current
    // line.
    void remove();
    // Cancel: puts the list back as it was at opening; the dialog then closes.
    void cancel();
    // A key pressed anywhere in the dialog (virtual key code). True when the dialog closes.
    bool keyDown(int keyCode);

    // What the widgets report about the lists.
    void setChosen(List list, std::size_t line, bool chosen);
    void setCurrentLine(std::optional<std::size_t> line) { current_ = line; }

    // The dialog's public operations.
    static std::string equipstr(std::string_view text);
    std::string selection(std::int16_t Index, std::int16_t lseg);
    std::string marine_sql(std::int16_t Index) const;
    void src_active();
    void save_input_sources();
    void restore_input_sources();

    // What the window shows.
    const std::vector<Line>& lines() const { return lines_; }
    std::optional<std::size_t> currentLine() const { return current_; }
    // Changes whenever lines are added or removed, so a window knows when to rebuild.
    std::uint64_t linesRevision() const { return revision_; }
    bool codesVisible() const { return codesVisible_; }
    // The lists, Add buttons and both frames are usable only for selected sources.
    bool choicesEnabled() const;
    const std::string& segText() const { return seg_; }

    std::int16_t segindex() const { return segindex_; }
    std::int16_t fuelindex() const { return fuelindex_; }
    const std::string& segprefix() const { return segprefix_; }
    const std::string& savedprefix() const { return savedprefix_; }

private:
    void addLine(std::string description, std::string code, std::string codeDesc);
    void fillLines();

    Session& session_;
    std::vector<SourceEntry> savedsources_{SourceEntry{}};
    bool savedsources_on_ = false;
    bool savedfound_source_ = false;
    std::int16_t segindex_ = -1;
    std::int16_t fuelindex_ = -1;
    std::string segprefix_;
    std::string savedprefix_;
    std::string seg_; // the text field `seg`

    std::vector<Line> lines_;
    std::optional<std::size_t> current_;
    std::uint64_t revision_ = 0;
    bool codesVisible_ = true;
};

} // namespace kv
