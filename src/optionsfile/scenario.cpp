#include "optionsfile/scenario.h"

namespace kv {

std::string SourceEntry::fixedScc(std::string_view code) {
    std::string out(code.substr(0, 10));
    out.resize(10, ' ');
    return out;
}

void Scenario::appendSource(SourceEntry entry) {
    if (sources.empty())
        sources.emplace_back();
    sources.back() = std::move(entry);
    sources.emplace_back();
}

void Scenario::appendGrowthFile(std::string path) {
    if (growthfiles.empty())
        growthfiles.emplace_back();
    growthfiles.back() = std::move(path);
    growthfiles.emplace_back();
}

void Scenario::resetForRead() {
    Scenario fresh;
    fresh.optfile = std::move(optfile);
    fresh.optdir = std::move(optdir);
    fresh.newoptfile = std::move(newoptfile);
    fresh.newoptdir = std::move(newoptdir);
    fresh.prevoptfile = std::move(prevoptfile);
    fresh.prevoptdir = std::move(prevoptdir);
    *this = std::move(fresh);
}

bool Scenario::foundNoPacket() const {
    return !(found_runfiles || found_options || found_period || found_region || found_source ||
             found_pop || found_alloc || found_growth || found_emfac || found_deter ||
             found_stage2 || found_modelyear || found_daily);
}

void copy_file_collection(const AllocCollection& source, AllocCollection& target) {
    // Every file is kept under its path, so the copy shares the list until one changes.
    target = source;
}

} // namespace kv
