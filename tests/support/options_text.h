#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kv::test {

// A complete options file in the writer's own layout, lines joined by `eol`. Its regions
// (California and Texas at level STATE) and source categories exist in the demo data; its
// paths lie under /data and /model.
std::string complete_options_file(std::string_view eol = "\r\n");

// The text without the packet that starts with the line `name` (through its "/END/").
std::string without_packet(std::string_view text, std::string_view name);
// The text with the body of packet `name` replaced by `body` (lines ended by CR LF).
std::string with_packet_body(std::string_view text, std::string_view name, std::string_view body);
// The packet lines ("/RUNFILES/" ...) whose packet is missing from one of the two texts or has
// another body in each (line ends not counted), in the order of `before`, then of `after`.
std::vector<std::string> changed_packets(std::string_view before, std::string_view after);

} // namespace kv::test
