#include "support/options_text.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace kv::test {

namespace {

const std::vector<std::string> kLines = {
    "Test scenario: comments outside packets pass through unchanged.",
    "",
    "/RUNFILES/",
    "ALLOC XREF         : /data/ALLOCATE/allocate.xrf",
    "ACTIVITY           : /data/ACTIVITY/activity.dat",
    "EXH TECHNOLOGY     : /data/TECH/tech-exh.dat",
    "EVP TECHNOLOGY     : /data/TECH/tech-evp.dat",
    "SEASONALITY        : /data/SEASON/season.dat",
    "REGIONS            : /data/SEASON/season.rgn",
    "MESSAGE            : /model/outputs/test1.msg",
    "OUTPUT DATA        : /model/outputs/test1.out",
    "EPS2 AMS           : ",
    "US COUNTIES FIPS   : /data/ALLOCATE/fips.dat",
    "RETROFIT           : /data/RETROFIT/retrofit.dat",
    "/END/",
    "",
    "/OPTIONS/",
    "Title 1            : Test run",
    "Title 2            : Second title",
    "Fuel RVP for gas   : 9.0",
    "Oxygen Weight %    : 2.0",
    "Gas sulfur %       : 0.0339",
    "Diesel sulfur %    : 0.0015",
    "Marine Dsl sulfur %: 0.0435",
    "CNG/LPG sulfur %   : 0.003",
    "Minimum temper. (F): 60.",
    "Maximum temper. (F): 84.",
    "Average temper. (F): 75.",
    "Altitude of region : LOW",
    "/END/",
    "",
    "/PERIOD/",
    "Period type        : Annual",
    "Summation type     : Typical day",
    "Year of episode    : 2026",
    "Season of year     : ",
    "Month of year      : ",
    "Weekday or weekend : Weekday",
    "Year of growth calc: 2025",
    "Year of tech sel   : 2024",
    "/END/",
    "",
    "/REGION/",
    "Region Level       : STATE",
    "California         : 06000",
    "Texas              : 48000",
    "/END/",
    "",
    "/SOURCE CATEGORY/",
    "                   :2265004010",
    "                   :2270002015",
    "/END/",
    "",
    "/POP FILES/",
    "Population File    : /data/pop/ca.pop",
    "Population File    : /data/pop/tx.pop",
    "/END/",
    "",
    "/ALLOC FILES/",
    "Census population  : /data/ALLOCATE/ca_pop.alo",
    "Family housing     : /data/ALLOCATE/ca_house.alo",
    "/END/",
    "",
    "/GROWTH FILES/",
    "Growth FILE        : /data/growth/nation.grw",
    "/END/",
    "",
    "/EMFAC FILES/",
    "THC exhaust        : /data/emsfac/exhthc.emf",
    "CO exhaust         : /data/emsfac/exhco.emf",
    "RuningLoss         : /data/emsfac/runloss.emf",
    "/END/",
    "",
    "/DETERIORATE FILES/",
    "THC exhaust        : /data/detfac/exhthc.det",
    "/END/",
    "",
    "/STAGE II/",
    "Control Factor     : 0.0",
    "/END/",
    "",
    "/MODELYEAR OUT/",
    "EXHAUST BMY OUT    : ",
    "EVAP BMY OUT       : ",
    "/END/",
    "",
    "/DAILY FILES/",
    "DAILY TEMPS/RVP    : /data/DAILY/daytmp.txt",
    "/END/",
};

// Lines [begin, end) of the packet that starts with `name`; begin == end when absent.
std::pair<std::size_t, std::size_t> packet_range(std::string_view text, std::string_view name) {
    const auto begin = text.find(name);
    if (begin == std::string_view::npos)
        return {text.size(), text.size()};
    auto end = text.find("/END/", begin);
    end = text.find('\n', end);
    return {begin, end == std::string_view::npos ? text.size() : end + 1};
}

} // namespace

std::string complete_options_file(std::string_view eol) {
    std::string text;
    for (const auto& line : kLines) {
        text += line;
        text += eol;
    }
    return text;
}

std::string without_packet(std::string_view text, std::string_view name) {
    const auto [begin, end] = packet_range(text, name);
    return std::string(text.substr(0, begin)) + std::string(text.substr(end));
}

std::string with_packet_body(std::string_view text, std::string_view name, std::string_view body) {
    const auto [begin, end] = packet_range(text, name);
    return std::string(text.substr(0, begin)) + std::string(name) + "\r\n" + std::string(body) +
           "/END/\r\n" + std::string(text.substr(end));
}

namespace {

// Each packet's name and its body lines, without CR, in the order of the text.
std::vector<std::pair<std::string, std::vector<std::string>>> packets_of(std::string_view text) {
    std::vector<std::pair<std::string, std::vector<std::string>>> packets;
    bool inside = false;
    std::size_t at = 0;
    while (at < text.size()) {
        auto end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(at, end - at));
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const bool header = line.size() > 2 && line.front() == '/' && line.back() == '/';
        if (inside && line.find("/END/") != std::string::npos)
            inside = false;
        else if (inside)
            packets.back().second.push_back(line);
        else if (header && line != "/END/") {
            packets.push_back({line, {}});
            inside = true;
        }
    }
    return packets;
}

} // namespace

std::vector<std::string> changed_packets(std::string_view before, std::string_view after) {
    const auto a = packets_of(before);
    const auto b = packets_of(after);
    const auto body = [](const auto& packets, const std::string& name) {
        for (const auto& [n, lines] : packets)
            if (n == name)
                return std::optional(lines);
        return std::optional<std::vector<std::string>>();
    };
    std::vector<std::string> changed;
    for (const auto* packets : {&a, &b})
        for (const auto& [name, lines] : *packets)
            if (body(a, name) != body(b, name) &&
                std::find(changed.begin(), changed.end(), name) == changed.end())
                changed.push_back(name);
    return changed;
}

} // namespace kv::test
