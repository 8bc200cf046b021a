#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The text form of the options file: packet names, descriptors, labels and columns.
namespace kv::format {

enum class Packet {
    Runfiles,
    PopFiles,
    Options,
    Period,
    EmfacFiles,
    DeteriorateFiles,
    Region,
    SourceCategory,
    AllocFiles,
    GrowthFiles,
    StageII,
    ModelyearOut,
    DailyFiles,
};

inline constexpr std::size_t kPacketCount = 13;

// In the order the reader compares them with a line.
inline constexpr std::array<Packet, kPacketCount> kReaderOrder = {
    Packet::Runfiles,   Packet::PopFiles,         Packet::Options, Packet::Period,
    Packet::EmfacFiles, Packet::DeteriorateFiles, Packet::Region,  Packet::SourceCategory,
    Packet::AllocFiles, Packet::GrowthFiles,      Packet::StageII, Packet::ModelyearOut,
    Packet::DailyFiles,
};

std::string_view packet_name(Packet packet);

// The managed packet a line opens: the line with leading blanks removed and upper-cased
// begins with the packet's name, slashes included.
std::optional<Packet> packet_opened_by(std::string_view line);

// A by-model-year file of the output data file `outputPath`: the path up to and including
// the last "." of its file name, followed by `extension` ("BMX", "BMV"); a file name without
// a "." gets one. The directory is never cut, whatever dots it holds.
std::string by_model_year_path(std::string_view outputPath, std::string_view extension);

inline constexpr std::string_view kEnd = "/END/";
inline constexpr std::string_view kHeaderText = "Written by Kelvaro interface at ";

// Sixteen-character run-file descriptors, by slot.
inline constexpr std::array<std::string_view, 15> runfiledescriptors = {
    "ALLOC XREF      ", "ACTIVITY        ", "EXH TECHNOLOGY  ", "EVP TECHNOLOGY  ",
    "SEASONALITY     ", "REGIONS         ", "MESSAGE         ", "OUTPUT DATA     ",
    "EPS2 AMS        ", "NET             ", "US COUNTIES FIPS", "RETROFIT        ",
    "EXHAUST BMY OUT ", "EVAP BMY OUT    ", "DAILY TEMPS/RVP ",
};
inline constexpr std::string_view kRunFileSeparator = "   : ";

// The pollutant keys that index the emission and deterioration factor slots.
inline constexpr std::string_view pollutantkeys =
    "THC EXHAUST|CO EXHAUST|NOX EXHAUST|PM EXHAUST|BSFC|CRANKCASE|SPILLAGE|DIURNAL|TANK PERM|"
    "NON-RM HOSE PERM|RM FILL NECK PERM|RM SUPPLY/RETURN|RM VENT PERM|HOT SOAKS|RUNINGLOSS";

// The labels written for slots 0 to 14 of /EMFAC FILES/ and /DETERIORATE FILES/.
inline constexpr std::array<std::string_view, 15> kPollutantLabels = {
    "THC exhaust",       "CO exhaust",       "NOX exhaust",  "PM exhaust", "BSFC",
    "Crankcase",         "Spillage",         "Diurnal",      "Tank Perm",  "Non-RM Hose Perm",
    "RM Fill Neck Perm", "RM Supply/Return", "RM Vent Perm", "Hot Soaks",  "RuningLoss",
};

// /OPTIONS/ labels, by position 1 to 12 (index 0 to 11).
inline constexpr std::array<std::string_view, 12> kOptionsLabels = {
    "Title 1            : ", "Title 2            : ", "Fuel RVP for gas   : ",
    "Oxygen Weight %    : ", "Gas sulfur %       : ", "Diesel sulfur %    : ",
    "Marine Dsl sulfur %: ", "CNG/LPG sulfur %   : ", "Minimum temper. (F): ",
    "Maximum temper. (F): ", "Average temper. (F): ", "Altitude of region : ",
};

// /PERIOD/ labels, by position 1 to 8.
inline constexpr std::array<std::string_view, 8> kPeriodLabels = {
    "Period type        : ", "Summation type     : ", "Year of episode    : ",
    "Season of year     : ", "Month of year      : ", "Weekday or weekend : ",
    "Year of growth calc: ", "Year of tech sel   : ",
};

inline constexpr std::array<std::string_view, 3> kPeriodTypeCaptions = {"Annual", "Monthly",
                                                                        "Seasonal"};
inline constexpr std::array<std::string_view, 2> kSummationCaptions = {"Typical day",
                                                                       "Period total"};

inline constexpr std::string_view kRegionLevelLabel = "Region Level       : ";
inline constexpr std::array<std::string_view, 4> kRegionLevelKeywords = {"50STATE", "STATE",
                                                                         "COUNTY", "US TOTAL"};
// The same levels as the Region dialog's buttons name them, and as messages name them.
inline constexpr std::array<std::string_view, 4> kRegionLevelCaptions = {"50 States", "State",
                                                                         "County", "US Total"};
inline constexpr std::string_view kStageIILabel = "Control Factor     : ";
inline constexpr std::string_view kGrowthLabel = "Growth FILE        : ";
inline constexpr std::string_view kSourcePrefix = "                   :";
// 19 blanks, a colon and a blank: labels are padded with its tail to reach column 22.
inline constexpr std::string_view kLabelPad = "                   : ";

} // namespace kv::format
