#pragma once

#include "sets/sweep.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kv {

class Session;

// The logic of the Batch window's Add Variations dialog: a scenario set of the current
// options file as kvopt sweep writes it, from rows of (value name, values) and one row of
// regions, each file listed in the batch.
class VariationsDialog {
public:
    static constexpr std::size_t kRowCount = 3;

    explicit VariationsDialog(Session& session);

    // The names a row may vary ("yearstr", ..., "runfiles.0" ... "runfiles.14"), in order.
    static std::vector<std::string> valueNames();

    // A row: a value name (empty: the row is not used) and its values, "2020,2025" or
    // "2020..2050/5".
    void setRow(std::size_t row, std::string name, std::string values);
    // LEVEL=ENTRY,...: one file per entry; empty: the template's region.
    void setEachRegion(std::string text);
    void setFolder(std::string folder);
    const std::string& folder() const { return folder_; }

    // What Create would write: "12 files", "1 file", or why it cannot ("yearstr: ...").
    std::string countText() const;

    // Create: writes the set into the folder as kvopt sweep does (the folder made, refused
    // when it holds files), every file checked by the dialogs. A refused variation or any
    // other failure is shown and nothing is written. Answers the files written.
    std::optional<std::vector<std::string>> create();

private:
    std::optional<std::vector<SetMember>> members(std::string& error) const;

    Session& session_;
    std::array<std::pair<std::string, std::string>, kRowCount> rows_;
    std::string eachRegion_;
    std::string folder_;
};

} // namespace kv
