#include "optionsfile/writer.h"

#include "shell/session.h"

namespace kv {

// Placeholder: the packet writers land next.
WriteResult write_options_stream(Scenario&, std::istream&, std::ostream&, const PathRules&,
                                 const std::string&) {
    return {false, 75, "Path/File access error", {}};
}
bool newoptions(Session&) { return false; }
bool write_options_file(Session&, const std::string&, const std::string&) { return false; }
std::string header_line(const std::string& headerTime) {
    return "Written by Kelvaro interface at " + headerTime;
}
std::string current_general_date_time() { return {}; }

} // namespace kv
