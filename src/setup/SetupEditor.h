#pragma once
// The three setup pages without their windows. For every control of the
// pages (lists, check boxes, option buttons, value boxes, labels, and the
// frames that group them) the editor says what it shows: the entries of a
// list, which may depend on other fields (the input modes on the board, the
// ranges on the mode); the entry or text shown; whether it is visible and
// enabled; its help topic; whether its field differs from the setup as it was
// last read from the meter or opened from a file.
//
// It also applies the operator's edits: the new value goes into exactly the
// field's bits, and every rule that ties fields together is applied here and
// only here (board, mode and range; the display's decimal point and every
// value shown with it; the scaling method over its two bits; the time
// constant and the display value; page 3 by communication board, protocol,
// meter family and revision; the lockouts). The windows, `wmctl set` and
// `wmctl show` all go through it, so they cannot disagree.
//
// Controls are named as the pages name them ("cboBaudRate", "txtTare",
// "fraAlarm1"); an element of a control array carries its index in
// brackets ("chkLock(4)").
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comm/LinkState.h"
#include "setup/Fields.h"
#include "setup/SetupImage.h"

namespace wm {

enum class ControlKind { List, CheckBox, Option, ValueBox, Label, Frame };

struct ControlView {
    ControlKind kind = ControlKind::Frame;
    // List: its entries. When the field holds a code no entry stands for,
    // one more entry "code N" is shown selected, but it cannot be chosen.
    std::vector<std::string> entries;
    int selectable = 0; // List: entries 0 .. selectable-1 can be chosen
    int selected = -1;  // List: the entry shown (-1 none); CheckBox, Option: 1 on, 0 off
    std::string text;   // ValueBox, Label: the text shown
    bool visible = true;
    bool enabled = true;
    int help = 0;         // HelpTopic when the control gets the focus or the frame is clicked
    bool changed = false; // its field differs from the baseline
};

// What a value box hands to the value entry dialog.
struct EntryRequest {
    int kind = 2; // 2, 3, 4 or 7
    int pos = 0;  // the field's first character in the image
    std::string text;
};

// The outcome of an edit.
struct EditResult {
    bool ok = true;
    std::string problem;                // why the edit was refused (nothing was written)
    std::vector<std::string> refreshed; // the controls whose view changed
};

// One field that differs between two setups, by its field name, with the
// text the pages show for it in each.
struct FieldChange {
    std::string name;
    std::string a, b;
};

class SetupEditor {
public:
    // image, derived and link are the program's own and outlive the editor.
    // link supplies MeterRevision and MeterFamily, and page 3 reads and sets
    // ParityCode, SerialMode and ModbusTimeoutChoice.
    SetupEditor(SetupImage& image, DerivedSetup& derived, LinkState& link);

    // Every control and frame of page 1, 2 or 3.
    [[nodiscard]] std::vector<std::string> ControlsOf(int page) const;
    // What the control shows now; an unknown name gives a hidden Frame.
    [[nodiscard]] ControlView View(std::string_view control) const;

    // The page comes to the front. Page 1 re-derives the input values (the
    // caller runs the signal-conditioner check first); page 3 writes the
    // link's parity and Modbus time-out into the image, a Modbus address of 0
    // as 1, and sets the link's SerialMode from the image.
    void Activate(int page);

    // The operator chose list entry `entry`, set a check box (1) or cleared
    // it (0), or selected an option button (entry ignored).
    EditResult Choose(std::string_view control, int entry);
    // A value box was clicked: what the value entry dialog starts from;
    // nothing for a control that is not an enabled value box.
    [[nodiscard]] std::optional<EntryRequest> BeginEntry(std::string_view control) const;
    // The value entry dialog accepted `entered` (its EntryText), or a value
    // typed as on the front panel ("1.2345", "-12.5", "+00100.", "42").
    // The dialog's ValueEntry stores into a copy of the image; what it
    // accepted is stored here, so that every rule of the field applies (a
    // Modbus address of 0 becomes 1). Refused, with field and value named,
    // when the field cannot hold the value; nothing is written then.
    EditResult Enter(std::string_view control, std::string_view entered);

    // By field name, as `wmctl show` prints them: a list field takes its
    // shown text exactly or its code in decimal, a check box "on"/"off" or
    // 1/0, a numeric or byte field the value as it is entered.
    EditResult SetField(std::string_view name, std::string_view value);

    // The setup the change markers compare with (as last read or opened).
    void SetBaseline(const SetupImage& baseline);
    // The fields that differ from the baseline, in catalogue order.
    [[nodiscard]] std::vector<FieldChange> Changes() const;

private:
    // Every control of the three pages, before and after an edit: what
    // changed is what the windows repaint.
    [[nodiscard]] std::vector<ControlView> Snapshot(std::vector<std::string>& names) const;
    template <typename Edit>
    EditResult Apply(Edit&& edit);
    // Why the control cannot take an edit of that kind now, if it cannot.
    [[nodiscard]] std::optional<std::string> Unchangeable(std::string_view control, ControlKind want) const;
    void ApplyChoice(std::string_view control, int entry);
    // Custom ASCII (0) or a Modbus framing (1, 2): the image's protocol and
    // parity bits and the link's protocol.
    void SwitchProtocol(int mode);

    SetupImage& image_;
    DerivedSetup& derived_;
    LinkState& link_;
    std::optional<SetupImage> baseline_;
};

// The fields whose stored value differs between a and b (what a Put would
// change on the meter), in catalogue order, each with the text it shows in
// its own setup. A new decimal point is one change, not a change of every
// reading shown with it.
[[nodiscard]] std::vector<FieldChange> CompareSetups(const SetupImage& a, const SetupImage& b);
// "name  \"a\"  \"b\"" for a terminal (bytes outside printable ASCII as \xNN).
[[nodiscard]] std::string FormatFieldChange(const FieldChange& change);
// [{"name":..,"a":..,"b":..},..]
[[nodiscard]] std::string FieldChangesJson(const std::vector<FieldChange>& changes);

} // namespace wm
