#include "sources_option.h"

#include "editors/sources_dialog.h"
#include "shell/text.h"

#include <iostream>
#include <sstream>

namespace kvopt {

namespace {

using kv::SourcesDialog;

constexpr const char* kUsage = "all, none or add=SEGMENT,FUEL,segment|equipment";

// A caption as the button shows it ("Lawn && Garden" shows as "Lawn & Garden").
std::string shown(std::string_view caption) {
    std::string text;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        text += caption[i];
        if (caption[i] == '&' && i + 1 < caption.size() && caption[i + 1] == '&')
            ++i;
    }
    return text;
}

// A visible button of a frame, by its caption (either form, any case) or its index.
std::optional<std::int16_t> button_of(const std::string& text, std::int16_t visible,
                                      std::string_view (*caption)(std::int16_t)) {
    for (std::int16_t i = 0; i < visible; ++i) {
        if (text == std::to_string(i) || kv::iequals(text, caption(i)) ||
            kv::iequals(text, shown(caption(i))))
            return i;
    }
    return std::nullopt;
}

std::string choices(std::int16_t visible, std::string_view (*caption)(std::int16_t)) {
    std::string list;
    for (std::int16_t i = 0; i < visible; ++i)
        list += (i ? ", " : "") + std::to_string(i) + " \"" + shown(caption(i)) + "\"";
    return list;
}

std::optional<SourcesAction> parse_one(const std::string& value, std::string& error) {
    const std::string trimmed = kv::trim(value);
    if (kv::iequals(trimmed, "all"))
        return SourcesAction{SourcesAction::All};
    if (kv::iequals(trimmed, "none"))
        return SourcesAction{SourcesAction::None};
    if (!kv::iequals(trimmed.substr(0, 4), "add=")) {
        error = "--sources takes " + std::string(kUsage) + ", not \"" + value + "\"";
        return std::nullopt;
    }
    std::vector<std::string> parts;
    std::stringstream in(trimmed.substr(4));
    for (std::string part; std::getline(in, part, ',');)
        parts.push_back(kv::trim(part));
    if (parts.size() != 3) {
        error = "--sources add= takes SEGMENT,FUEL,segment|equipment, not \"" + value + "\"";
        return std::nullopt;
    }
    SourcesAction action{SourcesAction::Add};
    const auto segment =
        button_of(parts[0], SourcesDialog::kVisibleSegments, &SourcesDialog::segmentCaption);
    if (!segment) {
        error = "--sources: no segment \"" + parts[0] + "\"; one of " +
                choices(SourcesDialog::kVisibleSegments, &SourcesDialog::segmentCaption);
        return std::nullopt;
    }
    const auto fuel =
        button_of(parts[1], SourcesDialog::kVisibleFuels, &SourcesDialog::fuelCaption);
    if (!fuel) {
        error = "--sources: no fuel \"" + parts[1] + "\"; one of " +
                choices(SourcesDialog::kVisibleFuels, &SourcesDialog::fuelCaption);
        return std::nullopt;
    }
    if (kv::iequals(parts[2], "segment")) {
        action.button = SourcesDialog::AddSegment;
    } else if (kv::iequals(parts[2], "equipment")) {
        action.button = SourcesDialog::AddEquipment;
    } else {
        error =
            "--sources: the third part of add= is segment or equipment, not \"" + parts[2] + "\"";
        return std::nullopt;
    }
    action.segment = *segment;
    action.fuel = *fuel;
    return action;
}

} // namespace

void add_sources_option(CLI::App& save, std::vector<std::string>& values) {
    save.add_option(
        "--sources", values,
        "Source categories as the Sources dialog chooses them, applied in order: "
        "all (All Sources), none (selected sources, empty list) or "
        "add=SEGMENT,FUEL,segment|equipment (the Add Segment or Add Equipment button; "
        "SEGMENT and FUEL by caption or index, such as add=\"Marine Rec\",Diesel,segment)");
}

std::optional<std::vector<SourcesAction>>
parse_sources_actions(const std::vector<std::string>& values) {
    std::vector<SourcesAction> actions;
    for (const std::string& value : values) {
        std::string error;
        const auto action = parse_one(value, error);
        if (!action) {
            std::cerr << "kvopt save: " << error << '\n';
            return std::nullopt;
        }
        actions.push_back(*action);
    }
    return actions;
}

bool apply_sources_actions(kv::Session& session, const std::vector<SourcesAction>& actions) {
    if (actions.empty())
        return true;
    SourcesDialog dialog(session);
    dialog.load();
    for (const SourcesAction& action : actions) {
        switch (action.kind) {
        case SourcesAction::All:
            dialog.srcactClick(1);
            break;
        case SourcesAction::None:
            dialog.srcactClick(0);
            // Every line chosen, then Remove Selection.
            for (std::size_t i = 0; i < dialog.lines().size(); ++i)
                dialog.setChosen(SourcesDialog::Selected, i, true);
            dialog.setCurrentLine(0);
            dialog.remove();
            break;
        case SourcesAction::Add:
            // The Add buttons are usable only with "Selected sources" chosen.
            if (!dialog.choicesEnabled())
                dialog.srcactClick(0);
            dialog.segmentClick(action.segment);
            dialog.fuelClick(action.fuel);
            if (!dialog.add(action.button))
                return false;
            break;
        }
    }
    return true;
}

} // namespace kvopt
