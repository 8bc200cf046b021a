#include "sets/variations_dialog.h"

#include "optionsfile/scenario.h"
#include "optionsfile/scenario_values.h"
#include "runs/batch.h"
#include "shell/ports.h"
#include "shell/session.h"
#include "shell/text.h"

#include <filesystem>

namespace kv {

VariationsDialog::VariationsDialog(Session& session) : session_(session) {
    const Scenario& sc = session.scenario;
    const std::filesystem::path templ(sc.optfile);
    folder_ = session.join(sc.optdir, templ.stem().string() + "-set");
}

std::vector<std::string> VariationsDialog::valueNames() {
    std::vector<std::string> names;
    for (std::string& name : settable_scenario_names()) {
        if (name != "runfiles.N")
            names.push_back(std::move(name));
    }
    for (std::size_t slot = 0; slot < kRunFileCount; ++slot)
        names.push_back("runfiles." + std::to_string(slot));
    return names;
}

void VariationsDialog::setRow(std::size_t row, std::string name, std::string values) {
    rows_.at(row) = {trim(name), std::move(values)};
}

void VariationsDialog::setEachRegion(std::string text) {
    eachRegion_ = trim(text);
}

void VariationsDialog::setFolder(std::string folder) {
    folder_ = trim(folder);
}

std::optional<std::vector<SetMember>> VariationsDialog::members(std::string& error) const {
    std::vector<Variation> variations;
    for (const auto& [name, values] : rows_) {
        if (name.empty())
            continue;
        auto variation = parse_variation(name + "=" + values, error);
        if (!variation)
            return std::nullopt;
        variations.push_back(std::move(*variation));
    }
    std::optional<RegionRequest> eachRegion;
    if (!eachRegion_.empty()) {
        eachRegion = parse_region_request(eachRegion_, error);
        if (!eachRegion)
            return std::nullopt;
        if (eachRegion->entries.empty()) {
            error = "the regions are LEVEL=ENTRY,...";
            return std::nullopt;
        }
    }
    if (variations.empty() && !eachRegion) {
        error = "choose a value to vary";
        return std::nullopt;
    }
    return product_members(variations, eachRegion, error);
}

std::string VariationsDialog::countText() const {
    std::string error;
    const auto set = members(error);
    if (!set)
        return error;
    return std::to_string(set->size()) + (set->size() == 1 ? " file" : " files");
}

std::optional<std::vector<std::string>> VariationsDialog::create() {
    std::string error;
    auto set = members(error);
    if (!set) {
        session_.message("No files were written: " + error);
        return std::nullopt;
    }
    if (folder_.empty()) {
        session_.message("No files were written: choose a folder for them");
        return std::nullopt;
    }
    SweepRequest request;
    request.templateFile = session_.join(session_.scenario.optdir, session_.scenario.optfile);
    request.folder = folder_;
    request.members = std::move(*set);
    const SweepResult result = [&] {
        const BusyPointer busy(session_.ui);
        return write_sweep(batch_context(session_), std::move(request));
    }();
    if (result.complete())
        return result.written;
    std::string text = "No files were written.";
    for (const SweepRefusal& refusal : result.refused) {
        text += "\n\n" + refusal.file + " was refused:";
        for (const std::string& message : refusal.messages)
            text += "\n" + message;
    }
    for (const std::string& e : result.errors)
        text += "\n\n" + e;
    session_.message(text);
    return std::nullopt;
}

} // namespace kv
