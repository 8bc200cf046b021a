#pragma once

#include "optionsfile/keyed_collection.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

// One region line of /REGION/. The reader sets only `code`; the region check completes the
// other fields from the reference database or drops the entry.
struct RegionCls {
    std::string code;
    std::string county;
    std::string statename;
    std::string abbr;
    bool isState = false;
};

// One line of /ALLOC FILES/ or /POP FILES/: the label up to and including its colon, kept as
// read so that it is written back unchanged, and the file path.
struct AllocCls {
    std::string descriptor;
    std::string allocfile;
};

// One equipment source category: a 10-character SCC and its description.
struct SourceEntry {
    std::string scc;
    std::string description;

    // Cuts or blank-pads a code to the fixed width of 10 characters.
    static std::string fixedScc(std::string_view code);
};

using RegionCollection = KeyedCollection<RegionCls>;
using AllocCollection = KeyedCollection<AllocCls>;

inline constexpr std::size_t kRunFileCount = 15;
inline constexpr std::size_t kFactorSlotCount = 16; // slots 0 to 14 used, 15 never

// Run-file slots by their position in the descriptor table.
enum RunFileSlot : std::size_t {
    kAllocXref = 0,
    kActivity = 1,
    kExhTechnology = 2,
    kEvpTechnology = 3,
    kSeasonality = 4,
    kRegionsFile = 5,
    kMessage = 6,
    kOutputData = 7,
    kEps2Ams = 8,
    kNet = 9,
    kUsCountiesFips = 10,
    kRetrofit = 11,
    kExhaustBmyOut = 12,
    kEvapBmyOut = 13,
    kDailyTempsRvp = 14,
};

// The in-memory mirror of the options file being worked on. Flags are booleans, indices are
// 16-bit, and option values are held as text, never as numbers.
struct Scenario {
    // File identity
    std::string optfile;
    std::string optdir;
    std::string newoptfile;
    std::string newoptdir;
    std::string prevoptfile;
    std::string prevoptdir;

    // Run files and their companions
    std::array<std::string, kRunFileCount> runfiles{};
    std::string msgdir;
    std::string msgfile;
    std::string outdir;
    std::string outfile;
    bool bmy_on = false;

    // /OPTIONS/
    std::string title1str;
    std::string title2str;
    std::string fulrvpstr;
    std::string pcoxygenstr;
    std::string so2gasstr;
    std::string so2dieselstr;
    std::string so2marinedieselstr;
    std::string so2cngstr;
    std::string mintempstr;
    std::string maxtempstr;
    std::string avgtempstr;
    std::string altitudestr;
    std::string humidstr; // edited by the Options dialog; not part of the file

    // /STAGE II/
    std::string stage2str;
    bool stage2_known = false;

    // /PERIOD/
    std::int16_t periodindex = 0;
    std::int16_t ptypeindex = 0;
    std::string yearstr;
    std::int16_t seasonindex = 0;
    std::int16_t monthindex = 0;
    std::int16_t weekindex = 0;
    std::string growthyearstr;
    std::string techyearstr;

    // /REGION/
    std::int16_t regionlevel = 0;
    RegionCollection regions;
    RegionCollection regions_saved;

    // /SOURCE CATEGORY/: n entries and one spare empty slot at the end
    std::vector<SourceEntry> sources{SourceEntry{}};
    bool sources_on = false;

    // File lists
    AllocCollection allocfiles;
    AllocCollection allocfiles_saved;
    AllocCollection popfiles;
    AllocCollection popfiles_saved;
    std::vector<std::string> growthfiles{std::string{}}; // n paths and one spare slot
    std::array<std::string, kFactorSlotCount> emfacfiles{};
    std::array<std::string, kFactorSlotCount> detfiles{};

    // Packet-found flags
    bool found_runfiles = false;
    bool found_options = false;
    bool found_period = false;
    bool found_region = false;
    bool found_source = false;
    bool found_pop = false;
    bool found_alloc = false;
    bool found_growth = false;
    bool found_emfac = false;
    bool found_deter = false;
    bool found_stage2 = false;
    bool found_modelyear = false;
    bool found_daily = false;

    // Edit flags
    bool changed_options = false;
    bool changed_stage2 = false; // the Options dialog's Stage II field changed
    bool changed_period = false;
    bool changed_region = false;
    bool changed_pop = false;
    bool changed_alloc = false;
    bool changed_growth = false;
    bool changed_emfac = false;

    // Helpers for the lists with a spare slot.
    std::size_t sourceCount() const { return sources.empty() ? 0 : sources.size() - 1; }
    std::size_t growthCount() const { return growthfiles.empty() ? 0 : growthfiles.size() - 1; }
    void resetSources() { sources.assign(1, SourceEntry{}); }
    // Fills the spare slot and adds a new empty one after it.
    void appendSource(SourceEntry entry);
    void appendGrowthFile(std::string path);
    // Everything but the file identity back to its state at program start, as each read of
    // an options file begins: what the file read holds then depends on that file alone, and
    // nothing of an earlier file, its edits included, reaches it.
    void resetForRead();
    // True while no packet of an options file has been read into the scenario: at start-up
    // after the default file was refused and no replacement was chosen.
    bool foundNoPacket() const;
};

// Empties the target, then adds every source entry in order, keyed by its `allocfile`.
void copy_file_collection(const AllocCollection& source, AllocCollection& target);
// Removes every entry, last first.
template <class T> void clear_collection(KeyedCollection<T>& collection) {
    collection.clear();
}

} // namespace kv
