#include "optionsfile/packet_bounds.h"

#include "shell/text.h"

namespace kv {

using format::Packet;

namespace {

bool is_capital(char c) {
    return c >= 'A' && c <= 'Z';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<Packet> managed_named(std::string_view upperName) {
    for (Packet packet : format::kReaderOrder) {
        if (format::packet_name(packet) == upperName)
            return packet;
    }
    return std::nullopt;
}

// The name of a packet this program does not manage, as such packets are written: capitals
// first, then capitals, digits, blanks, "-" and "_".
bool is_other_packet_name(std::string_view name) {
    if (name.empty() || !is_capital(name.front()))
        return false;
    for (char c : name) {
        if (!is_capital(c) && !is_digit(c) && c != ' ' && c != '-' && c != '_')
            return false;
    }
    return true;
}

bool starts_with_end(std::string_view text) {
    return upper(text.substr(0, 5)) == format::kEnd;
}

} // namespace

bool names_packet(std::string_view line) {
    // Asked of every line: most are values, and only a line whose first character after the
    // blanks is "/" can name a packet.
    const auto first = line.find_first_not_of(' ');
    if (first == std::string_view::npos || line[first] != '/')
        return false;
    const std::string t = trim(line);
    if (t.size() < 3 || t.front() != '/' || t.back() != '/')
        return false;
    const std::string_view name = std::string_view(t).substr(1, t.size() - 2);
    if (name.find('/') != std::string_view::npos || iequals(name, "END"))
        return false;
    return managed_named(upper(t)).has_value() || is_other_packet_name(name);
}

std::optional<PacketStart> packet_started_by(std::string_view line) {
    if (const auto packet = format::packet_opened_by(line))
        return PacketStart{packet, std::string(format::packet_name(*packet))};
    if (names_packet(line))
        return PacketStart{std::nullopt, upper(trim(line))};
    return std::nullopt;
}

bool PacketBody::isTerminator(std::string_view line) const {
    if (packet_ == Packet::Region) // a region line without "/" is never "/END/"
        return line.find('/') != std::string_view::npos && colon_value(line) == format::kEnd;
    if (packet_ == Packet::Period)
        return count_ == 9;
    return starts_with_end(trim_left(line));
}

bool PacketBody::endsUnterminated(std::string_view line) const {
    return names_packet(line) || (!packet_ && format::packet_opened_by(line));
}

bool PacketBody::next(std::string& line) {
    if (end_)
        return false;
    const std::size_t start = lines_.position();
    if (!lines_.next(line)) {
        end_ = End::EndOfFile;
        return false;
    }
    ++count_;
    if (endsUnterminated(line)) {
        lines_.seek(start);
        end_ = End::NextPacket;
        return false;
    }
    if (isTerminator(line)) {
        terminator_ = line;
        end_ = End::Terminator;
        return false;
    }
    return true;
}

void PacketBody::skip() {
    std::string line;
    while (next(line)) {
    }
}

} // namespace kv
