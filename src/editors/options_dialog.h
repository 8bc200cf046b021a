#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

class Session;

// The logic of the Options dialog (form `Options`): run titles, fuel values, temperatures,
// Stage II and altitude. It works on the texts of its fields as the window shows them; the
// window hands every change, focus change and button on to it and shows the texts it holds.
class OptionsDialog {
public:
    // The text fields, in the order the dialog loads them.
    enum Field {
        Titleone,
        Titletwo,
        fulrvp,
        pcoxygen,
        so2gas,
        so2diesel,
        so2marinediesel,
        cngsulfur,
        Mintemp,
        Maxtemp,
        Avgtemp,
        Stage2,
    };
    static constexpr std::size_t kFieldCount = 12;

    // One field as the dialog shows it.
    struct FieldInfo {
        Field field;
        std::string_view name;  // the control's name
        std::string_view label; // the caption beside it
        bool checked;           // range-checked
        double low, high;       // the inclusive range of a checked field
    };
    static const std::array<FieldInfo, kFieldCount>& fields();

    // The altitude option buttons.
    enum Altitude { High = 0, Low = 1 };
    // The altitude a text names, trimmed and in any case ("LOW" or "HIGH"); nullopt for
    // any other text.
    static std::optional<Altitude> altitudeNamed(std::string_view text);
    // What the scenario holds for an altitude: "LOW" or "HIGH".
    static std::string_view altitudeValue(Altitude altitude);

    // Shown when the maximum temperature is below the minimum.
    static constexpr std::string_view kInvertedMessage =
        "Maximum temperature must be at least the minimum temperature";
    static constexpr std::string_view kAverageMessage =
        "Average must be between Minimum and Maximum";
    // What a field that failed its range check shows.
    static constexpr std::string_view kFailedMarker = "****";

    explicit OptionsDialog(Session& session);

    // Opening: fills the fields from the scenario, running their change handlers.
    void load();

    // A field's text changed, by typing or from code; line breaks are dropped. Setting the
    // text it has is no change.
    void setText(Field field, std::string text);
    void gotFocus(Field field);
    void lostFocus(Field field);
    void setAltitude(Altitude altitude) { altitude_ = altitude; }

    // The range check of one field; every check marks the options as touched.
    void limits(Field tbox, double i1, double i2);
    // Checks the field held in `focus` against its range.
    void check_data();
    // Checks every numeric field and the temperatures against each other.
    void check_all();
    // OK: answers true when nothing failed and the dialog closes.
    bool recheck();
    // Cancel and Escape: the dialog closes without storing, and the flags of the options
    // are as they were at opening, so a change committed by an earlier OK is still saved.
    void cancel();
    // Asked before every close: when the close would store fields that OK's check refuses,
    // asks whether to close without keeping the changes. Yes closes as Cancel does; No (false)
    // keeps the dialog open.
    bool mayClose();
    // Closing, whichever way: stores what the change flags allow.
    void unload();
    // The first message OK's check would show for the fields as they are, or nullopt when
    // they pass. Shows nothing and changes nothing.
    std::optional<std::string> firstFailure() const;

    const std::string& text(Field field) const { return texts_[field]; }
    Altitude altitude() const { return altitude_; }
    std::optional<Field> focus() const { return focus_; }
    std::optional<Field> errobj() const { return errobj_; }

private:
    void changed(Field field);
    double value(Field field) const;
    bool showsMarker(Field field) const;
    bool outOfRange(Field field, double i1, double i2) const;

    Session& session_;
    std::array<std::string, kFieldCount> texts_{};
    Altitude altitude_ = High;
    std::optional<Field> focus_;
    std::optional<Field> errobj_;
    bool cancelled_ = false;
    // The flags as they were before loading; Cancel puts them back.
    struct Flags {
        bool changedOptions = false;
        bool changedStage2 = false;
        bool stage2Known = false;
    } atOpening_;
};

} // namespace kv
