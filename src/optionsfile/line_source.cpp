#include "optionsfile/line_source.h"

#include "shell/text.h"

#include <sstream>

namespace kv {

LineSource LineSource::fromStream(std::istream& in) {
    std::ostringstream buffer;
    if (in.peek() != std::char_traits<char>::eof())
        buffer << in.rdbuf();
    return LineSource(std::move(buffer).str());
}

bool LineSource::next(std::string& line) {
    if (pos_ >= text_.size())
        return false;
    const std::size_t end = find_line_break(text_, pos_);
    if (end == std::string::npos) {
        line.assign(text_, pos_, std::string::npos);
        pos_ = text_.size();
        return true;
    }
    line.assign(text_, pos_, end - pos_);
    pos_ = end + 1;
    if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n')
        ++pos_;
    return true;
}

} // namespace kv
