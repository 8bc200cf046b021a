#pragma once

#include "runs/console_log.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// A text file (a message file, a run's console log) as the message viewer shows it: the
// offsets of its lines, never its text, so that a file of any size opens at once and costs a
// few bytes a line; a line is read from the file when it is shown or searched. The lines that
// hold "error" or "warning" (any case) are marked. A file that grows (a run in progress) is
// followed by refresh(); one that shrinks (written anew) is read again from its start.
class LineIndex {
public:
    // The longest part of a line that is shown and searched.
    static constexpr std::size_t kMaxLineShown = 4096;

    LineIndex() = default;
    LineIndex(const LineIndex&) = delete;
    LineIndex& operator=(const LineIndex&) = delete;

    // Opens the file and indexes what it holds; false when it cannot be read.
    bool open(const std::filesystem::path& path);
    const std::filesystem::path& path() const { return path_; }
    // Indexes what was added since; answers whether the lines changed.
    bool refresh();

    std::size_t lineCount() const { return starts_.size(); }
    // Line `i` (0-based) without its line end (LF or CR LF), at most kMaxLineShown bytes.
    std::string line(std::size_t i) const;
    // The 0-based lines that hold "error" or "warning" in any case, in order.
    const std::vector<std::size_t>& markedLines() const { return marks_; }
    bool marked(std::size_t i) const;

    // The next line after `from` (or before it, backwards) that holds `text` in any case,
    // wrapping round the file; `from` itself is looked at last. Nothing when no line does.
    std::optional<std::size_t> find(std::string_view text, std::size_t from, bool forward) const;

private:
    void reset();
    void scan(const char* data, std::size_t size);
    void endLine();

    std::filesystem::path path_;
    UniqueFd fd_;
    std::vector<std::uint64_t> starts_; // where each line starts; the last may be unended
    std::vector<std::size_t> marks_;
    std::uint64_t indexed_ = 0; // bytes indexed
    bool lineOpen_ = false;     // the last line has no line end yet
    std::string head_;          // the start of the open line, lower case, for the marks
    std::string lowered_;       // the chunk being indexed, lower case
};

// Whether a line holds "error" or "warning" in any case.
bool is_marked_line(std::string_view line);

// Where View Message File shows a message file: the viewer, or the outside editor. Kept in
// "kv-viewer.ini" beside kv-gui.ini (which keeps its six lines), one line "editor=outside" or
// "editor=viewer".
inline constexpr std::string_view kViewerPrefsFileName = "kv-viewer.ini";
enum class MessageFileOpener { Viewer, OutsideEditor };
MessageFileOpener read_message_file_opener(const std::filesystem::path& configDir);
// Answers an error text, empty on success.
std::string write_message_file_opener(const std::filesystem::path& configDir,
                                      MessageFileOpener opener);

} // namespace kv
