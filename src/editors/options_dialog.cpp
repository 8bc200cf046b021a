#include "editors/options_dialog.h"

#include "editors/numeric_text.h"
#include "shell/dialog_helpers.h"
#include "shell/session.h"
#include "shell/status.h"
#include "shell/text.h"

namespace kv {

namespace {

using F = OptionsDialog::Field;

// The scenario value behind each field.
std::string& scenario_value(Scenario& sc, F field) {
    switch (field) {
    case F::Titleone:
        return sc.title1str;
    case F::Titletwo:
        return sc.title2str;
    case F::fulrvp:
        return sc.fulrvpstr;
    case F::pcoxygen:
        return sc.pcoxygenstr;
    case F::so2gas:
        return sc.so2gasstr;
    case F::so2diesel:
        return sc.so2dieselstr;
    case F::so2marinediesel:
        return sc.so2marinedieselstr;
    case F::cngsulfur:
        return sc.so2cngstr;
    case F::Mintemp:
        return sc.mintempstr;
    case F::Maxtemp:
        return sc.maxtempstr;
    case F::Avgtemp:
        return sc.avgtempstr;
    case F::Stage2:
        break;
    }
    return sc.stage2str;
}

// The fields whose check runs when they are left.
bool checked_on_leaving(F field) {
    switch (field) {
    case F::fulrvp:
    case F::pcoxygen:
    case F::so2gas:
    case F::so2diesel:
    case F::Mintemp:
    case F::Maxtemp:
    case F::Avgtemp:
        return true;
    default:
        return false;
    }
}

// The fields that record themselves in `focus` when they receive it.
bool recorded_on_focus(F field) {
    switch (field) {
    case F::fulrvp:
    case F::pcoxygen:
    case F::so2gas:
    case F::so2diesel:
    case F::Mintemp:
    case F::Avgtemp:
        return true;
    default:
        return false;
    }
}

std::string range_message(double i1, double i2) {
    return "Invalid " + shortest_decimal(i1) + " to " + shortest_decimal(i2);
}

} // namespace

const std::array<OptionsDialog::FieldInfo, OptionsDialog::kFieldCount>& OptionsDialog::fields() {
    static const std::array<FieldInfo, kFieldCount> table{{
        {Titleone, "Titleone", "Title 1", false, 0, 0},
        {Titletwo, "Titletwo", "Title 2", false, 0, 0},
        {fulrvp, "fulrvp", " Fuel RVP for gas", true, 6, 16},
        {pcoxygen, "pcoxygen", "Oxygen weight %", true, 0, 5},
        {so2gas, "so2gas", "Gas Sulfur %", true, 0, 0.5},
        {so2diesel, "so2diesel", "Diesel Sulfur %", true, 0, 0.5},
        {so2marinediesel, "so2marinediesel", "Marine Diesel Sulfur %", true, 0, 0.5},
        {cngsulfur, "cngsulfur", "CNG/LPG Sulfur %", true, 0, 0.5},
        {Mintemp, "Mintemp", "Minimum temp (F)", true, -40, 120},
        {Maxtemp, "Maxtemp", "Maximum temp (F)", true, -40, 120},
        {Avgtemp, "Avgtemp", "Average temp (F)", true, -40, 120},
        {Stage2, "Stage2", "Stage II Control %", true, 0, 100},
    }};
    return table;
}

OptionsDialog::OptionsDialog(Session& session) : session_(session) {}

std::optional<OptionsDialog::Altitude> OptionsDialog::altitudeNamed(std::string_view text) {
    const std::string name = upper(trim(text));
    if (name == altitudeValue(Low))
        return Low;
    if (name == altitudeValue(High))
        return High;
    return std::nullopt;
}

std::string_view OptionsDialog::altitudeValue(Altitude altitude) {
    return altitude == Low ? "LOW" : "HIGH";
}

void OptionsDialog::load() {
    Scenario& sc = session_.scenario;
    atOpening_ = {sc.changed_options, sc.changed_stage2, sc.stage2_known};
    cancelled_ = false;
    // The window starts with its design texts, so loading a value equal to one of them is no
    // change.
    texts_ = {};
    texts_[Titletwo] = "And this one in ....";
    texts_[Stage2] = "0";
    focus_.reset();
    errobj_.reset();
    for (const FieldInfo& info : fields()) {
        if (info.field != Stage2)
            setText(info.field, scenario_value(sc, info.field));
    }
    setText(Stage2, sc.stage2_known ? sc.stage2str : "0");
    altitude_ = altitudeNamed(sc.altitudestr) == Low ? Low : High;
}

void OptionsDialog::setText(Field field, std::string text) {
    // Each value is one line of the options file; a pasted line break would split it there.
    text = without_line_breaks(std::move(text));
    if (texts_[field] == text)
        return;
    texts_[field] = std::move(text);
    changed(field);
}

void OptionsDialog::changed(Field field) {
    Scenario& sc = session_.scenario;
    switch (field) {
    case fulrvp:
    case pcoxygen:
    case so2gas:
    case so2diesel:
    case so2marinediesel:
        sc.changed_options = true;
        break;
    case cngsulfur:
    case Maxtemp:
        focus_ = field;
        break;
    case Stage2:
        sc.changed_stage2 = true;
        sc.stage2_known = true;
        break;
    default:
        break;
    }
}

void OptionsDialog::gotFocus(Field field) {
    if (recorded_on_focus(field))
        focus_ = field;
}

void OptionsDialog::lostFocus(Field field) {
    if (!checked_on_leaving(field))
        return;
    // Before any field has recorded itself, the field being left is the one checked.
    if (!focus_) {
        const FieldInfo& info = fields()[field];
        limits(field, info.low, info.high);
        return;
    }
    check_data();
}

double OptionsDialog::value(Field field) const {
    return leading_number(texts_[field]);
}

bool OptionsDialog::showsMarker(Field field) const {
    return fields()[field].checked && trim(texts_[field]) == kFailedMarker;
}

bool OptionsDialog::outOfRange(Field field, double i1, double i2) const {
    const double v = value(field);
    // A field still showing the marker of an earlier failure has no value to accept.
    return v < i1 || v > i2 || showsMarker(field);
}

void OptionsDialog::limits(Field tbox, double i1, double i2) {
    session_.scenario.changed_options = true;
    if (outOfRange(tbox, i1, i2)) {
        setText(tbox, std::string(kFailedMarker));
        session_.ui.showMessage(range_message(i1, i2), "", MessageIcon::None);
        errobj_ = tbox;
        return;
    }
    errobj_.reset();
}

void OptionsDialog::check_data() {
    if (!focus_)
        return;
    const FieldInfo& info = fields()[*focus_];
    if (info.checked)
        limits(*focus_, info.low, info.high);
}

void OptionsDialog::check_all() {
    for (Field field : {fulrvp, pcoxygen, so2gas, so2diesel, so2marinediesel, cngsulfur, Mintemp,
                        Maxtemp, Avgtemp, Stage2}) {
        focus_ = field;
        check_data();
        if (errobj_)
            return;
    }
    const double low = value(Mintemp);
    const double high = value(Maxtemp);
    const double average = value(Avgtemp);
    errobj_.reset();
    if (high < low) {
        session_.ui.showMessage(std::string(kInvertedMessage), "", MessageIcon::None);
        errobj_ = Maxtemp;
    }
    if (average > high || average < low) {
        session_.ui.showMessage(std::string(kAverageMessage), "", MessageIcon::None);
        errobj_ = Avgtemp;
    } else {
        errobj_.reset();
    }
}

std::optional<std::string> OptionsDialog::firstFailure() const {
    // The order of check_all: the fields in the order of the form, then the temperatures.
    for (const FieldInfo& info : fields()) {
        if (info.checked && outOfRange(info.field, info.low, info.high))
            return range_message(info.low, info.high);
    }
    const double low = value(Mintemp);
    const double high = value(Maxtemp);
    const double average = value(Avgtemp);
    if (high < low)
        return std::string(kInvertedMessage);
    if (average > high || average < low)
        return std::string(kAverageMessage);
    return std::nullopt;
}

bool OptionsDialog::recheck() {
    check_all();
    return !errobj_;
}

void OptionsDialog::cancel() {
    Scenario& sc = session_.scenario;
    sc.changed_options = atOpening_.changedOptions;
    sc.changed_stage2 = atOpening_.changedStage2;
    sc.stage2_known = atOpening_.stage2Known;
    cancelled_ = true;
}

bool OptionsDialog::mayClose() {
    const Scenario& sc = session_.scenario;
    const bool stores = !cancelled_ && (sc.changed_options || sc.changed_stage2);
    return !stores || may_close_storing(session_.ui, firstFailure(), [this] { cancel(); });
}

void OptionsDialog::unload() {
    Scenario& sc = session_.scenario;
    if (cancelled_)
        return;
    if (sc.changed_options) {
        // The texts are stored as typed; a field showing the failure marker keeps the
        // scenario's value, so the marker never reaches an options file.
        for (const FieldInfo& info : fields()) {
            if (info.field != Stage2 && !showsMarker(info.field))
                scenario_value(sc, info.field) = texts_[info.field];
        }
        sc.altitudestr = std::string(altitudeValue(altitude_));
        show_status(session_);
    }
    if (sc.changed_stage2 && !showsMarker(Stage2))
        sc.stage2str = texts_[Stage2];
}

} // namespace kv
