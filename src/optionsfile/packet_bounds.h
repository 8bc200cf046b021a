#pragma once

#include "optionsfile/format.h"
#include "optionsfile/line_source.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Where the packets of an options file end. The reader and the writer both take every
// packet's extent from here, so a packet the reader reads is exactly the packet the writer
// regenerates or copies.
namespace kv {

// True when the line names a packet: with blanks removed at both ends it is "/", a name and
// "/". The name is one of the managed packets in any case, or another packet's name: a
// capital letter followed by capitals, digits, blanks, "-" or "_". "/END/" names no packet,
// and neither does a value line: a labelled line does not begin with "/", and a path such as
// "/data/" or "/Data/x.dat" is not a name.
bool names_packet(std::string_view line);

// A packet that begins at a line outside every packet: a managed packet at a line that
// begins with its name after leading blanks (as the reader has always found them), any
// other packet at a line that names it.
struct PacketStart {
    std::optional<format::Packet> managed; // empty for a packet this program does not manage
    std::string name;                      // "/NAME/", upper-cased
};
std::optional<PacketStart> packet_started_by(std::string_view line);

// The body of one packet, read line by line from a source positioned after its name line.
// The packet ends at its terminator, which is consumed:
// - "/END/" after optional blanks, any case, the rest of the line ignored. (Only the factor
//   and source packets used to accept the blanks; elsewhere an indented "/END/" was read as
//   a value, which a regenerated packet then wrote as its terminator, cutting it short.)
// - /REGION/ ends at a line whose value (the text after its first colon, or the whole line)
//   is "/END/", blanks around it allowed;
// - /PERIOD/ is positional: its ninth line is the terminator whatever it holds.
// A packet whose terminator is missing ends before the next line that names a packet (for a
// packet this program does not manage, also before a line that begins a managed packet, so
// that every managed packet the reader finds is found here too), or at the end of the file.
// That line is left in the source for the caller.
class PacketBody {
public:
    enum class End { Terminator, NextPacket, EndOfFile };

    PacketBody(LineSource& lines, std::optional<format::Packet> packet)
        : lines_(lines), packet_(packet) {}

    // The next body line; false at the end of the packet.
    bool next(std::string& line);
    // Reads to the end of the packet.
    void skip();

    // How the packet ended; meaningful once next() has answered false.
    End end() const { return end_.value_or(End::EndOfFile); }
    // The terminator line as it stands in the file, when the packet ended with one.
    const std::string& terminator() const { return terminator_; }

private:
    bool isTerminator(std::string_view line) const;
    bool endsUnterminated(std::string_view line) const;

    LineSource& lines_;
    std::optional<format::Packet> packet_;
    std::size_t count_ = 0;
    std::optional<End> end_;
    std::string terminator_;
};

} // namespace kv
