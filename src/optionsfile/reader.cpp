#include "optionsfile/reader.h"

#include "shell/session.h"

namespace kv {

// Placeholder: the packet readers land next.
ReadOutcome read_options(Session&) { return ReadOutcome::Failed; }
ReadOutcome read_options_stream(Session&, std::istream&, const std::string&) {
    return ReadOutcome::Failed;
}
std::optional<ReadOutcome> select_new_options_file(Session&) { return std::nullopt; }
FileDialogRequest options_file_request(const Session&, std::string title) {
    FileDialogRequest r;
    r.title = std::move(title);
    return r;
}
void skip_packet(std::istream&) {}
std::optional<int> list_index(std::string_view, std::size_t, char) { return std::nullopt; }
const PeriodNames& load_period_names() {
    static const PeriodNames names{};
    return names;
}
bool read_line(std::istream& in, std::string& line) {
    line.clear();
    int c = in.get();
    if (c == std::char_traits<char>::eof())
        return false;
    while (c != std::char_traits<char>::eof() && c != '\n' && c != '\r') {
        line.push_back(static_cast<char>(c));
        c = in.get();
    }
    if (c == '\r' && in.peek() == '\n')
        in.get();
    return true;
}

} // namespace kv
