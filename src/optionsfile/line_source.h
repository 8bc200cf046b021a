#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>

namespace kv {

// The lines of a whole text held in memory. Lines end in CR LF, LF or a lone CR; a last line
// without an end still counts. Reading the whole file first keeps the line loop free of
// stream calls, which matters for files of many thousand lines or a single huge one.
class LineSource {
public:
    explicit LineSource(std::string text) : text_(std::move(text)) {}
    static LineSource fromStream(std::istream& in);

    // The next line, without its end. False at the end of the text.
    bool next(std::string& line);
    bool atEnd() const { return pos_ >= text_.size(); }

    // Where the next line starts, to come back to it.
    std::size_t position() const { return pos_; }
    void seek(std::size_t position) { pos_ = position; }

private:
    std::string text_;
    std::size_t pos_ = 0;
};

} // namespace kv
