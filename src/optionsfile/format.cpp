#include "optionsfile/format.h"

#include "shell/text.h"

namespace kv::format {

std::string_view packet_name(Packet packet) {
    switch (packet) {
    case Packet::Runfiles:
        return "/RUNFILES/";
    case Packet::PopFiles:
        return "/POP FILES/";
    case Packet::Options:
        return "/OPTIONS/";
    case Packet::Period:
        return "/PERIOD/";
    case Packet::EmfacFiles:
        return "/EMFAC FILES/";
    case Packet::DeteriorateFiles:
        return "/DETERIORATE FILES/";
    case Packet::Region:
        return "/REGION/";
    case Packet::SourceCategory:
        return "/SOURCE CATEGORY/";
    case Packet::AllocFiles:
        return "/ALLOC FILES/";
    case Packet::GrowthFiles:
        return "/GROWTH FILES/";
    case Packet::StageII:
        return "/STAGE II/";
    case Packet::ModelyearOut:
        return "/MODELYEAR OUT/";
    case Packet::DailyFiles:
        return "/DAILY FILES/";
    }
    return {};
}

std::optional<Packet> packet_opened_by(std::string_view line) {
    const std::string u = upper(trim_left(line));
    for (Packet packet : kReaderOrder) {
        if (u.starts_with(packet_name(packet)))
            return packet;
    }
    return std::nullopt;
}

std::string by_model_year_path(std::string_view outputPath, std::string_view extension) {
    const auto nameStart = outputPath.find_last_of("\\/");
    const auto dot = outputPath.rfind('.');
    const bool dotInName =
        dot != std::string_view::npos && (nameStart == std::string_view::npos || dot > nameStart);
    std::string out(dotInName ? outputPath.substr(0, dot + 1) : outputPath);
    if (!dotInName)
        out += '.';
    out += extension;
    return out;
}

} // namespace kv::format
