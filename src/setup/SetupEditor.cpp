#include "setup/SetupEditor.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>

#include "setup/InputModes.h"

namespace wm {

namespace {

// ---------------------------------------------------------------------------
// The controls of the three pages.
//
// A row names a control or frame, its page, the frame that holds it, and the
// rules that decide whether it is shown and whether it can be changed. A
// control that shows a field finds it in the field catalogue by its control
// name; a frame takes the help topic of the control it frames (helpOf). A
// control inside a hidden or disabled frame is hidden or disabled too.

enum class Shows : std::uint8_t {
    Always,
    NewerThan11,   // negative values: revisions above 11 only
    RelayBoard,    // the alarm frames
    CommBoard,     // the serial settings
    AnalogBoard,   // the analog output
    Ascii,         // Custom ASCII output settings
    AsciiRts,      // RTS type: Custom ASCII, not on family 5
    Modbus,        // parity and Modbus address
    ModbusAscii,   // the Modbus time-out
    TranChars,     // the transmission characters list: Custom ASCII on a meter that has them
    StartStopChar, // the custom characters: Custom ASCII with TranChars 1
};

enum class Takes : std::uint8_t {
    Always,
    ScaleOffset,   // scale and offset boxes
    InputCoord,    // low and high input boxes
    AnyCoord,      // low and high reading boxes
    NotComOpt3,    // settings a communication board of code 3 fixes
    NotRS232,      // duplex
    TranChars,     // the meter has custom transmission characters
};

struct ControlDef {
    std::string_view name;
    int page = 0;
    std::string_view parent = {};
    Shows shows = Shows::Always;
    Takes takes = Takes::Always;
    std::string_view helpOf = {}; // a frame: the control whose topic it shares
    int help = 0;                 // a control without a field: its topic
};

constexpr std::string_view kLockArray = "chkLock";
constexpr std::string_view kAscTblCaption = "  ASCII Character            Table";
constexpr int kAscTblHelp = 1138;
constexpr int kScaleMethodHelp = 1325;

// clang-format off
constexpr std::array<ControlDef, 146> Controls = {{
    // Page 1
    {"Frame2", 1},
    {"fraSCOpt", 1, "Frame2", {}, {}, "cboSCOpt"},        {"cboSCOpt", 1, "fraSCOpt"},
    {"fraRlyOpt", 1, "Frame2", {}, {}, "cboRlyOpt"},      {"cboRlyOpt", 1, "fraRlyOpt"},
    {"fraComOpt", 1, "Frame2", {}, {}, "cboComOpt"},      {"cboComOpt", 1, "fraComOpt"},
    {"fraAnaOpt", 1, "Frame2", {}, {}, "cboAnaOpt"},      {"cboAnaOpt", 1, "fraAnaOpt"},
    {"fraInput", 1},
    {"fraInMode", 1, "fraInput", {}, {}, "cboMode"},      {"cboMode", 1, "fraInMode"},
    {"fraFunc", 1, "fraInput", {}, {}, "cboFunc"},        {"cboFunc", 1, "fraFunc"},
    {"fraHz", 1, "fraInput", {}, {}, "cboHz"},            {"cboHz", 1, "fraHz"},
    {"fraNegVal", 1, "fraInput", Shows::NewerThan11, {}, "cboNegVal"},
    {"cboNegVal", 1, "fraNegVal", Shows::NewerThan11},
    {"fraSclOff", 1, "fraInput"},
    {"optSclOff", 1, "fraSclOff", {}, {}, {}, kScaleMethodHelp},
    {"optCoord", 1, "fraSclOff"},                         {"optRdCoord", 1, "fraSclOff"},
    {"fraScale", 1, "fraInput", {}, Takes::ScaleOffset, "txtScale"},
    {"txtScale", 1, "fraScale", {}, Takes::ScaleOffset},
    {"fraOffset", 1, "fraInput", {}, Takes::ScaleOffset, "txtOffset"},
    {"txtOffset", 1, "fraOffset", {}, Takes::ScaleOffset},
    {"fraLoIn", 1, "fraInput", {}, Takes::InputCoord, "txtLoIn"},
    {"txtLoIn", 1, "fraLoIn", {}, Takes::InputCoord},
    {"fraLoRd", 1, "fraInput", {}, Takes::AnyCoord, "txtLoRd"},
    {"txtLoRd", 1, "fraLoRd", {}, Takes::AnyCoord},
    {"fraHiIn", 1, "fraInput", {}, Takes::InputCoord, "txtHiIn"},
    {"txtHiIn", 1, "fraHiIn", {}, Takes::InputCoord},
    {"fraHiRd", 1, "fraInput", {}, Takes::AnyCoord, "txtHiRd"},
    {"txtHiRd", 1, "fraHiRd", {}, Takes::AnyCoord},
    {"fraTare", 1, "fraInput", {}, {}, "txtTare"},        {"txtTare", 1, "fraTare"},
    {"fraDisplay", 1},
    {"fraDecPt", 1, "fraDisplay", {}, {}, "cboDecPt"},    {"cboDecPt", 1, "fraDecPt"},
    {"fraDummyZ", 1, "fraDisplay", {}, {}, "cboDummyZ"},  {"cboDummyZ", 1, "fraDummyZ"},
    {"fraDVal", 1, "fraDisplay", {}, {}, "cboDVal"},      {"cboDVal", 1, "fraDVal"},
    {"fraLeadZ", 1, "fraDisplay", {}, {}, "cboPeakKey"},  {"cboPeakKey", 1, "fraLeadZ"},
    {"fraCntBy", 1, "fraDisplay", {}, {}, "cboCntBy"},    {"cboCntBy", 1, "fraCntBy"},
    {"fraAutoZ", 1, "fraDisplay", {}, {}, "cboAutoZ"},    {"cboAutoZ", 1, "fraAutoZ"},

    // Page 2
    {"fraFilter", 2},
    {"chkDisThresh", 2, "fraFilter"},
    {"fraTimConst", 2, "fraFilter", {}, {}, "cboTimConst"}, {"cboTimConst", 2, "fraTimConst"},
    {"fraThresh", 2, "fraFilter", {}, {}, "cboThresh"},   {"cboThresh", 2, "fraThresh"},
    {"fraPeak", 2},
    {"fraPkSource", 2, "fraPeak", {}, {}, "cboPkSource"}, {"cboPkSource", 2, "fraPkSource"},
    {"fraPeakVal", 2, "fraPeak", {}, {}, "cboPeakVal"},   {"cboPeakVal", 2, "fraPeakVal"},
    {"fraExtIn", 2, {}, {}, {}, "cboExtAB"},
    {"fraExtAB", 2, "fraExtIn", {}, {}, "cboExtAB"},      {"cboExtAB", 2, "fraExtAB"},
    {"fraAlarm1", 2, {}, Shows::RelayBoard},
    {"fraAlm1Source", 2, "fraAlarm1", {}, {}, "cboAlm1Source"}, {"cboAlm1Source", 2, "fraAlm1Source"},
    {"fraAlm1Type", 2, "fraAlarm1", {}, {}, "cboAlm1Type"}, {"cboAlm1Type", 2, "fraAlm1Type"},
    {"fraState1", 2, "fraAlarm1", {}, {}, "cboState1"},   {"cboState1", 2, "fraState1"},
    {"fraRly1State", 2, "fraAlarm1", {}, {}, "cboRly1State"}, {"cboRly1State", 2, "fraRly1State"},
    {"fraSetpt1", 2, "fraAlarm1", {}, {}, "txtSetpt1"},   {"txtSetpt1", 2, "fraSetpt1"},
    {"fraSP1Diff", 2, "fraAlarm1", {}, {}, "txtSP1Diff"}, {"txtSP1Diff", 2, "fraSP1Diff"},
    {"fraAlarm2", 2, {}, Shows::RelayBoard},
    {"fraAlm2Source", 2, "fraAlarm2", {}, {}, "cboAlm2Source"}, {"cboAlm2Source", 2, "fraAlm2Source"},
    {"fraAlm2Type", 2, "fraAlarm2", {}, {}, "cboAlm2Type"}, {"cboAlm2Type", 2, "fraAlm2Type"},
    {"fraState2", 2, "fraAlarm2", {}, {}, "cboState2"},   {"cboState2", 2, "fraState2"},
    {"fraRly2State", 2, "fraAlarm2", {}, {}, "cboRly2State"}, {"cboRly2State", 2, "fraRly2State"},
    {"fraSetpt2", 2, "fraAlarm2", {}, {}, "txtSetPt2"},   {"txtSetPt2", 2, "fraSetpt2"},
    {"fraSP2Diff", 2, "fraAlarm2", {}, {}, "txtSP2Diff"}, {"txtSP2Diff", 2, "fraSP2Diff"},
    {"fraBothAlm", 2, {}, Shows::RelayBoard},
    {"fraAlarmVal", 2, "fraBothAlm", {}, {}, "cboAlarmVal"}, {"cboAlarmVal", 2, "fraAlarmVal"},
    {"fraNoRdgsAlm", 2, "fraBothAlm", {}, {}, "cboNoRdgsAlm"}, {"cboNoRdgsAlm", 2, "fraNoRdgsAlm"},
    {"fraDrib", 2, "fraBothAlm", {}, {}, "cboDrib"},      {"cboDrib", 2, "fraDrib"},

    // Page 3
    {"fraSerComm", 3, {}, Shows::CommBoard},
    {"fraSerProtocol", 3, "fraSerComm", {}, {}, "cboSerProtocol"}, {"cboSerProtocol", 3, "fraSerProtocol"},
    {"fraBaudRate", 3, "fraSerComm", {}, Takes::NotComOpt3, "cboBaudRate"},
    {"cboBaudRate", 3, "fraBaudRate", {}, Takes::NotComOpt3},
    {"fraAddress", 3, "fraSerComm", Shows::Ascii, Takes::NotComOpt3, "cboAddress"},
    {"cboAddress", 3, "fraAddress", {}, Takes::NotComOpt3},
    {"fraSerMode", 3, "fraSerComm", Shows::Ascii, Takes::NotComOpt3, "cboSerMode"},
    {"cboSerMode", 3, "fraSerMode", {}, Takes::NotComOpt3},
    {"fraOutItems", 3, "fraSerComm", Shows::Ascii, {}, "cboOutItems"}, {"cboOutItems", 3, "fraOutItems"},
    {"fraOutVal", 3, "fraSerComm", Shows::Ascii, {}, "cboOutVal"}, {"cboOutVal", 3, "fraOutVal"},
    {"fraOutRate", 3, "fraSerComm", Shows::Ascii, {}, "cboOutRate"}, {"cboOutRate", 3, "fraOutRate"},
    {"fraCR", 3, "fraSerComm", Shows::Ascii, {}, "cboCR"}, {"cboCR", 3, "fraCR"},
    {"chkLF", 3, "fraSerComm", Shows::Ascii, Takes::NotComOpt3},
    {"chkAlmData", 3, "fraSerComm", Shows::Ascii, Takes::NotComOpt3},
    {"fraRTS", 3, "fraSerComm", Shows::AsciiRts, Takes::NotComOpt3, "cboRTS"},
    {"cboRTS", 3, "fraRTS", {}, Takes::NotComOpt3},
    {"fraDuplex", 3, "fraSerComm", {}, Takes::NotRS232, "cboDuplex"},
    {"cboDuplex", 3, "fraDuplex", {}, Takes::NotRS232},
    {"fraTranChars", 3, "fraSerComm", Shows::TranChars, Takes::TranChars, "cboTranChars"},
    {"cboTranChars", 3, "fraTranChars", {}, Takes::TranChars},
    {"fraTranStart", 3, "fraSerComm", Shows::StartStopChar, Takes::TranChars, "txtTranStart"},
    {"txtTranStart", 3, "fraTranStart", {}, Takes::TranChars},
    {"lblTranStart", 3, "fraTranStart", {}, Takes::TranChars, {}, 0},
    {"fraTranStop", 3, "fraSerComm", Shows::StartStopChar, Takes::TranChars, "txtTranStop"},
    {"txtTranStop", 3, "fraTranStop", {}, Takes::TranChars},
    {"lblTranStop", 3, "fraTranStop", {}, Takes::TranChars, {}, 0},
    {"lblAscTbl", 3, "fraSerComm", Shows::StartStopChar, {}, {}, kAscTblHelp},
    {"fraParity", 3, "fraSerComm", Shows::Modbus, {}, "cboParity"}, {"cboParity", 3, "fraParity"},
    {"fraMBAddr", 3, "fraSerComm", Shows::Modbus, {}, "txtMBAddr"}, {"txtMBAddr", 3, "fraMBAddr"},
    {"fraMBTimeout", 3, "fraSerComm", Shows::ModbusAscii, {}, "cboMBTimeout"},
    {"cboMBTimeout", 3, "fraMBTimeout"},
    {"fraAnaOut", 3, {}, Shows::AnalogBoard},
    {"fraAnaSource", 3, "fraAnaOut", {}, {}, "cboAnaSource"}, {"cboAnaSource", 3, "fraAnaSource"},
    {"fraCircuit", 3, "fraAnaOut", {}, {}, "cboCircuit"}, {"cboCircuit", 3, "fraCircuit"},
    {"fraAnaHI", 3, "fraAnaOut", {}, {}, "txtAnaHi"},     {"txtAnaHi", 3, "fraAnaHI"},
    {"fraAnaLo", 3, "fraAnaOut", {}, {}, "txtAnaLo"},     {"txtAnaLo", 3, "fraAnaLo"},
    {"fraLockOut", 3},
    {kLockArray, 3, "fraLockOut"}, // chkLock(0) .. chkLock(15)
    {"lblLockout", 3, "fraLockOut"},
}};
// clang-format on

constexpr bool EveryControlFilled() {
    return std::all_of(Controls.begin(), Controls.end(),
                       [](const ControlDef& c) { return !c.name.empty() && c.page >= 1; });
}
static_assert(EveryControlFilled(), "the control table's size must match its rows");

// A control array element "chkLock(4)" is found by its array's row.
const ControlDef* FindControl(std::string_view name) {
    const std::size_t open = name.find('(');
    const std::string_view base = open == std::string_view::npos ? name : name.substr(0, open);
    const auto it =
        std::find_if(Controls.begin(), Controls.end(), [base](const ControlDef& c) { return c.name == base; });
    if (it == Controls.end()) return nullptr;
    const bool isArray = it->name == kLockArray;
    if (isArray != (open != std::string_view::npos)) return nullptr;
    if (isArray && FindFieldByControl(name) == nullptr) return nullptr;
    return &*it;
}

ControlKind KindOf(std::string_view name) {
    if (name.starts_with("cbo")) return ControlKind::List;
    if (name.starts_with("chk")) return ControlKind::CheckBox;
    if (name.starts_with("opt")) return ControlKind::Option;
    if (name.starts_with("txt")) return ControlKind::ValueBox;
    if (name.starts_with("lbl")) return ControlKind::Label;
    return ControlKind::Frame;
}

// ---------------------------------------------------------------------------
// The setup as the rules see it.

// The time-constant code that means "no filter": 15 from revision 11 on,
// 10 on older meters (whose code 10 is the slowest filter they have).
int NoFilterCode(int revision) { return revision >= 11 ? 15 : 10; }

struct Setup {
    const SetupImage& image;
    DerivedSetup d;
    const LinkState& link;

    [[nodiscard]] int Code(std::string_view field) const {
        const FieldDef* f = FindField(field);
        return f == nullptr ? 0 : FieldCode(image, *f);
    }
    [[nodiscard]] int Protocol() const { return Code("SerProtocol"); }
    [[nodiscard]] bool Ascii() const { return Protocol() == 0; }
    [[nodiscard]] bool TranCharsAllowed() const { return link.MeterRevision != 0; }
};

bool IsShown(const Setup& s, Shows rule) {
    switch (rule) {
    case Shows::Always: return true;
    case Shows::NewerThan11: return s.link.MeterRevision > 11;
    case Shows::RelayBoard: return s.d.RlyOpt != 0;
    case Shows::CommBoard: return s.d.ComOpt != 0;
    case Shows::AnalogBoard: return s.d.AnaOpt != 0;
    case Shows::Ascii: return s.Ascii();
    case Shows::AsciiRts: return s.Ascii() && s.link.MeterFamily != 5;
    case Shows::Modbus: return !s.Ascii();
    case Shows::ModbusAscii: return !s.Ascii() && s.Protocol() != 1;
    case Shows::TranChars: return s.Ascii() && s.TranCharsAllowed();
    // A meter without custom characters still shows the ones stored (their
    // boxes disabled), so that what the image holds is never hidden.
    case Shows::StartStopChar: return s.Ascii() && s.Code("TranChars") == 1;
    }
    return true;
}

bool IsEditable(const Setup& s, Takes rule) {
    const ScalingMethod method = ScalingMethodOf(s.image);
    switch (rule) {
    case Takes::Always: return true;
    case Takes::ScaleOffset: return method == ScalingMethod::ScaleOffset;
    case Takes::InputCoord: return method == ScalingMethod::Coordinates;
    case Takes::AnyCoord: return method != ScalingMethod::ScaleOffset;
    case Takes::NotComOpt3: return s.d.ComOpt != 3;
    case Takes::NotRS232: return s.d.ComOpt != 1;
    case Takes::TranChars: return s.TranCharsAllowed();
    }
    return true;
}

ScalingMethod MethodOfOption(std::string_view control) {
    if (control == "optCoord") return ScalingMethod::Coordinates;
    if (control == "optRdCoord") return ScalingMethod::ReadingCoordinates;
    return ScalingMethod::ScaleOffset;
}

// The decimal point a numeric field is shown with (kind 4 carries its own).
int PointOf(const FieldDef& field, const DerivedSetup& d) {
    return field.kind == FieldKind::Input ? d.InputDP : d.DisplayDP;
}

std::string ByteBoxText(int value) { return " " + std::to_string(value); }

// List entries of the input mode and range lists, which follow the board and
// the mode.
std::span<const InputModeDef> ModeEntries(const DerivedSetup& d) { return ModesForScType(d.ScType); }

std::span<const std::string_view> RangeEntries(const DerivedSetup& d) {
    const InputModeDef* mode = FindInputMode(d.InputMode);
    return mode == nullptr ? std::span<const std::string_view>{} : mode->ranges;
}

void FillList(ControlView& v, const FieldDef& field, const Setup& s) {
    const int code = FieldCode(s.image, field);
    if (field.name == "InCode") {
        const auto modes = ModeEntries(s.d);
        for (const InputModeDef& m : modes) v.entries.emplace_back(m.text);
        v.selectable = static_cast<int>(v.entries.size());
        const auto it = std::find_if(modes.begin(), modes.end(),
                                     [&s](const InputModeDef& m) { return m.inputMode == s.d.InputMode; });
        v.selected = it == modes.end() ? -1 : static_cast<int>(it - modes.begin());
        return;
    }
    if (field.name == "Func") {
        for (std::string_view r : RangeEntries(s.d)) v.entries.emplace_back(r);
        v.selectable = static_cast<int>(v.entries.size());
        v.selected = s.d.InputRange < v.selectable ? s.d.InputRange : -1;
        return;
    }
    for (std::string_view t : field.texts) v.entries.emplace_back(t);
    v.selectable = static_cast<int>(v.entries.size());
    // The board's type is read from the whole byte as a decimal code.
    const int shownCode = field.shown == Shown::SignalConditioner ? s.d.ScType : code;
    v.selected = EntryForCode(field, shownCode);
    if (v.selected < 0) {
        // A code no entry stands for: shown, never offered, kept in the image.
        v.entries.push_back(ShownText(field, shownCode));
        v.selected = v.selectable;
    }
}

void FillFromField(ControlView& v, const FieldDef& field, const Setup& s) {
    switch (v.kind) {
    case ControlKind::List: FillList(v, field, s); break;
    case ControlKind::CheckBox: v.selected = FieldCode(s.image, field); break;
    case ControlKind::Option: break;
    case ControlKind::ValueBox:
        if (field.type == FieldType::Numeric) {
            int dp = PointOf(field, s.d);
            v.text = s.image.FormatField(field.kind, field.pos, dp);
        } else {
            v.text = ByteBoxText(FieldCode(s.image, field));
        }
        break;
    case ControlKind::Label: v.text = ShownText(field, FieldCode(s.image, field)); break;
    case ControlKind::Frame: break;
    }
}

// Whether the control's value differs from the baseline's.
bool Differs(std::string_view control, const FieldDef* field, const SetupImage& now, const SetupImage& base) {
    if (field != nullptr) {
        const DerivedSetup dn = DeriveSetup(now), db = DeriveSetup(base);
        return DescribeField(now, *field, dn).code != DescribeField(base, *field, db).code;
    }
    if (KindOf(control) == ControlKind::Option) return ScalingMethodOf(now) != ScalingMethodOf(base);
    return false;
}

bool SameView(const ControlView& a, const ControlView& b) {
    return a.kind == b.kind && a.entries == b.entries && a.selectable == b.selectable &&
           a.selected == b.selected && a.text == b.text && a.visible == b.visible && a.enabled == b.enabled &&
           a.help == b.help && a.changed == b.changed;
}

EditResult Refused(std::string problem) { return {false, std::move(problem), {}}; }

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// ---------------------------------------------------------------------------
// Values as entered: the value entry dialog's text (" - 012. 50") or the
// same typed as on the front panel ("-12.5", "+00100.", "42").

struct Entered {
    bool negative = false;
    std::string intDigits;  // leading zeros removed
    std::string fracDigits; // trailing zeros removed
    std::size_t typedInt = 0, typedFrac = 0; // digits as typed on each side of the point
    bool point = false;
};

std::optional<Entered> ParseEntered(std::string_view text, bool signAllowed) {
    std::string s;
    for (char c : text)
        if (c != ' ') s += c;
    Entered e;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (!signAllowed) return std::nullopt;
        e.negative = s[i] == '-';
        ++i;
    }
    std::string whole, frac;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '.') {
            if (e.point) return std::nullopt;
            e.point = true;
        } else if (c >= '0' && c <= '9') {
            (e.point ? frac : whole) += c;
        } else {
            return std::nullopt;
        }
    }
    if (whole.empty() && frac.empty()) return std::nullopt;
    e.typedInt = whole.size();
    e.typedFrac = frac.size();
    e.intDigits = whole.substr(std::min(whole.find_first_not_of('0'), whole.size()));
    const std::size_t lastFrac = frac.find_last_not_of('0');
    e.fracDigits = lastFrac == std::string::npos ? std::string() : frac.substr(0, lastFrac + 1);
    return e;
}

constexpr std::size_t kDigits = 5;

// The text StoreEnteredValue takes: sign, five digits, and for kind 4 the
// point where it belongs. Empty when the field cannot hold the value.
std::string StoredForm(const Entered& e, int kind, int dp) {
    const char sign = e.negative ? '-' : '+';
    if (kind == FieldKind::Scale) {
        // The scale carries its point. A value typed with five digits keeps
        // the point where it was typed; a shorter one keeps the digits after
        // its point and fills with zeros on the side that has none.
        std::string whole = e.intDigits, frac = e.fracDigits;
        if (whole.size() + frac.size() > kDigits) return {};
        if (e.typedInt + e.typedFrac == kDigits) {
            whole.insert(0, e.typedInt - std::min(e.typedInt, whole.size()), '0');
            frac.append(e.typedFrac - std::min(e.typedFrac, frac.size()), '0');
        } else if (e.typedFrac > 0) {
            frac.append(kDigits - whole.size() - frac.size(), '0');
        } else {
            whole.insert(0, kDigits - whole.size() - frac.size(), '0');
        }
        return std::string(1, sign) + whole + "." + frac;
    }
    // Kinds 2 and 3: the point is the display's, not stored; the value is
    // scaled to it and must fit the digits on each side.
    const std::size_t after = static_cast<std::size_t>(std::clamp(dp, 1, 6) - 1);
    const std::size_t before = kDigits - after;
    if (e.intDigits.size() > before || e.fracDigits.size() > after) return {};
    std::string digits = std::string(before - e.intDigits.size(), '0') + e.intDigits + e.fracDigits;
    digits.append(after - e.fracDigits.size(), '0');
    return std::string(1, sign) + digits;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::optional<int> ParseCode(std::string_view text) {
    if (text.empty() || text.size() > 6) return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

} // namespace

// ---------------------------------------------------------------------------

SetupEditor::SetupEditor(SetupImage& image, DerivedSetup& derived, LinkState& link)
    : image_(image), derived_(derived), link_(link) {}

std::vector<std::string> SetupEditor::ControlsOf(int page) const {
    std::vector<std::string> names;
    for (const ControlDef& c : Controls) {
        if (c.page != page) continue;
        if (c.name == kLockArray) {
            for (std::string_view element : LockoutControls) names.emplace_back(element);
        } else {
            names.emplace_back(c.name);
        }
    }
    return names;
}

ControlView SetupEditor::View(std::string_view control) const {
    ControlView v;
    const ControlDef* def = FindControl(control);
    if (def == nullptr) {
        v.visible = false;
        v.enabled = false;
        return v;
    }
    const Setup s{image_, DeriveSetup(image_, derived_), link_};
    v.kind = KindOf(def->name);
    for (const ControlDef* c = def; c != nullptr; c = c->parent.empty() ? nullptr : FindControl(c->parent)) {
        v.visible = v.visible && IsShown(s, c->shows);
        v.enabled = v.enabled && IsEditable(s, c->takes);
    }

    const FieldDef* field = FindFieldByControl(control);
    if (field != nullptr) FillFromField(v, *field, s);
    if (v.kind == ControlKind::Option) v.selected = ScalingMethodOf(image_) == MethodOfOption(control) ? 1 : 0;
    if (control == "lblAscTbl") v.text = std::string(kAscTblCaption);
    if (control == "lblTranStart") v.text = CharName(s.Code("StartChar"));
    if (control == "lblTranStop") v.text = CharName(s.Code("StopChar"));

    const std::string_view helpOf = def->helpOf.empty() ? control : def->helpOf;
    const FieldDef* helpField = FindFieldByControl(helpOf);
    v.help = helpField != nullptr ? HelpTopicOf(*helpField, s.d) : def->help;
    if (helpField == nullptr && !def->helpOf.empty()) v.help = View(def->helpOf).help;

    if (baseline_) v.changed = Differs(control, field, image_, *baseline_);
    return v;
}

void SetupEditor::Activate(int page) {
    derived_ = DeriveSetup(image_, derived_);
    if (page != 3) return;

    // The parity and Modbus time-out lists show the link's settings: opening
    // the page writes them into the image, and the protocol the image holds
    // becomes the link's.
    constexpr const FieldDef& parity = FieldNamed("Parity");
    constexpr const FieldDef& protocol = FieldNamed("SerProtocol");
    constexpr const FieldDef& timeout = FieldNamed("MBTimeout");
    constexpr const FieldDef& address = FieldNamed("ModbusAddr");
    const int mode = FieldCode(image_, protocol);
    if (mode <= 2) {
        StoreFieldCode(image_, parity, link_.ParityCode);
        SwitchProtocol(mode);
    }
    StoreFieldCode(image_, timeout, link_.ModbusTimeoutChoice);
    // A slave address of 0 is not one a meter answers to.
    if (FieldCode(image_, address) == 0) StoreFieldCode(image_, address, 1);
}

void SetupEditor::SwitchProtocol(int mode) {
    constexpr const FieldDef& parity = FieldNamed("Parity");
    constexpr const FieldDef& protocol = FieldNamed("SerProtocol");
    if (mode == 0) {
        // Custom ASCII has no parity of its own: protocol and parity bits clear.
        StoreFieldCode(image_, protocol, 0);
        StoreFieldCode(image_, parity, 0);
        link_.ParityCode = 0;
    } else {
        StoreFieldCode(image_, protocol, mode);
        StoreFieldCode(image_, parity, link_.ParityCode);
    }
    link_.SerialMode = mode;
    link_.UseModbus = mode != 0 ? 1 : 0;
}

std::vector<ControlView> SetupEditor::Snapshot(std::vector<std::string>& names) const {
    names.clear();
    for (int page = 1; page <= 3; ++page)
        for (std::string& n : ControlsOf(page)) names.push_back(std::move(n));
    std::vector<ControlView> views;
    views.reserve(names.size());
    for (const std::string& n : names) views.push_back(View(n));
    return views;
}

template <typename Edit>
EditResult SetupEditor::Apply(Edit&& edit) {
    std::vector<std::string> names;
    const std::vector<ControlView> before = Snapshot(names);
    edit();
    derived_ = DeriveSetup(image_, derived_);
    std::vector<std::string> after;
    const std::vector<ControlView> now = Snapshot(after);
    EditResult result;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (!SameView(before[i], now[i])) result.refreshed.push_back(names[i]);
    return result;
}

std::optional<std::string> SetupEditor::Unchangeable(std::string_view control, ControlKind want) const {
    const ControlView v = View(control);
    const std::string name(control);
    if (FindControl(control) == nullptr) return "there is no control " + name;
    if (v.kind != want) return name + " is not that kind of control";
    const FieldDef* field = FindFieldByControl(control);
    if (field != nullptr && field->readOnly) return name + " is shown only";
    if (!v.visible) return name + " is not shown with this setup";
    if (!v.enabled) return name + " cannot be changed with this setup";
    return std::nullopt;
}

EditResult SetupEditor::Choose(std::string_view control, int entry) {
    const ControlKind kind = KindOf(control);
    if (kind != ControlKind::List && kind != ControlKind::CheckBox && kind != ControlKind::Option)
        return Refused(std::string(control) + " is not a list, check box or option button");
    if (auto why = Unchangeable(control, kind)) return Refused(*why);
    const ControlView v = View(control);
    if (kind == ControlKind::List && (entry < 0 || entry >= v.selectable))
        return Refused(std::string(control) + " has no entry " + std::to_string(entry) + " to choose");
    if (kind == ControlKind::CheckBox && entry != 0 && entry != 1)
        return Refused(std::string(control) + " is set with 1 or cleared with 0, not " + std::to_string(entry));
    return Apply([&] { ApplyChoice(control, entry); });
}

void SetupEditor::ApplyChoice(std::string_view control, int entry) {
    const DerivedSetup d = DeriveSetup(image_, derived_);
    if (KindOf(control) == ControlKind::Option) {
        SetScalingMethod(image_, MethodOfOption(control));
        return;
    }
    const FieldDef& field = *FindFieldByControl(control);

    if (control == "cboSCOpt") {
        // A new board starts in its first mode and range.
        const int type = CodeForEntry(field, entry);
        if (type == d.ScType) return;
        StoreFieldCode(image_, field, type);
        // The type is read as a decimal code of the whole byte: stray bits
        // beside the type's two would leave a code no board has.
        if (DecimalTypeCode(image_.Mid(field.pos, 2)) != type) image_.Put(field.pos, "0" + std::to_string(type));
        StoreRangeByte(image_, ModesForScType(type).front().inputMode, 0);
        return;
    }
    if (control == "cboMode") {
        const int mode = ModeEntries(d)[static_cast<std::size_t>(entry)].inputMode;
        if (mode != d.InputMode) StoreRangeByte(image_, mode, 0);
        return;
    }
    if (control == "cboFunc") {
        if (entry != d.InputRange) StoreRangeByte(image_, d.InputMode, entry);
        return;
    }
    if (control == "cboSerProtocol") {
        SwitchProtocol(entry);
        return;
    }

    StoreFieldCode(image_, field, CodeForEntry(field, entry));
    constexpr const FieldDef& dval = FieldNamed("DVal");
    const int noFilter = NoFilterCode(link_.MeterRevision);
    if (control == "cboTimConst" && entry == noFilter) StoreFieldCode(image_, dval, 1);
    // Without a filter there is nothing to average over 16 readings: the
    // display value stays filtered.
    if (control == "cboDVal" && FieldCode(image_, FieldNamed("TimConst")) == noFilter)
        StoreFieldCode(image_, dval, 1);
    if (control == "cboParity") link_.ParityCode = entry;
    // The time-out list shows the link's choice on every opening of page 3;
    // the link keeps the operator's choice so that it is not undone there.
    if (control == "cboMBTimeout") link_.ModbusTimeoutChoice = entry;
}

std::optional<EntryRequest> SetupEditor::BeginEntry(std::string_view control) const {
    if (Unchangeable(control, ControlKind::ValueBox)) return std::nullopt;
    const FieldDef* field = FindFieldByControl(control);
    if (field == nullptr || field->kind == 0) return std::nullopt;
    return EntryRequest{field->kind, field->pos, View(control).text};
}

EditResult SetupEditor::Enter(std::string_view control, std::string_view entered) {
    if (auto why = Unchangeable(control, ControlKind::ValueBox)) return Refused(*why);
    const FieldDef* field = FindFieldByControl(control);
    if (field == nullptr || field->kind == 0) return Refused(std::string(control) + " takes no value");
    const std::string refusal = std::string(field->name) + " cannot hold " + Quoted(entered);

    if (field->kind == FieldKind::Byte) {
        const std::optional<Entered> e = ParseEntered(entered, false);
        if (!e || e->point || e->intDigits.size() > 3) return Refused(refusal + ": give a number 0 to 255");
        int value = e->intDigits.empty() ? 0 : std::stoi(e->intDigits);
        if (value > 255) return Refused(refusal + ": give a number 0 to 255");
        // The meter answers no Modbus slave address 0; it becomes 1.
        if (field->name == "ModbusAddr" && value == 0) value = 1;
        return Apply([&] { StoreFieldCode(image_, *field, value); });
    }

    const std::optional<Entered> e = ParseEntered(entered, true);
    if (!e) return Refused(refusal + ": give a sign, up to five digits and at most one point");
    const int dp = PointOf(*field, DeriveSetup(image_, derived_));
    const std::string stored = StoredForm(*e, field->kind, dp);
    if (stored.empty()) {
        if (field->kind == FieldKind::Scale) return Refused(refusal + ": the scale has five digits");
        const int point = std::clamp(dp, 1, 6);
        const char* whose = field->kind == FieldKind::Input ? "input's" : "display's";
        return Refused(refusal + ": with the " + whose + " decimal point it takes " + std::to_string(6 - point) +
                       " digits before the point and " + std::to_string(point - 1) + " after it");
    }
    return Apply([&] { image_.StoreEnteredValue(field->kind, field->pos, stored); });
}

EditResult SetupEditor::SetField(std::string_view name, std::string_view value) {
    const FieldDef* field = FindField(name);
    if (field == nullptr) return Refused("there is no field " + Quoted(name));
    const std::string refusal = std::string(name) + " cannot be set to " + Quoted(value);
    if (field->readOnly || field->control.empty()) return Refused(refusal + ": it is shown only");
    const std::string_view control = field->control;
    const ControlKind kind = KindOf(control);
    if (auto why = Unchangeable(control, kind)) return Refused(refusal + ": " + *why);

    switch (kind) {
    case ControlKind::ValueBox: return Enter(control, value); // its refusal names field and value
    case ControlKind::List: {
        const ControlView v = View(control);
        for (int i = 0; i < v.selectable; ++i)
            if (v.entries[static_cast<std::size_t>(i)] == value) return Choose(control, i);
        if (const std::optional<int> code = ParseCode(value)) {
            // The mode list's entries are the board's modes, by InCode.
            const auto modes = ModeEntries(DeriveSetup(image_, derived_));
            for (int i = 0; i < v.selectable; ++i) {
                const auto at = static_cast<std::size_t>(i);
                const int entryCode = field->name == "InCode" ? modes[at].inCode : CodeForEntry(*field, i);
                if (entryCode == *code) return Choose(control, i);
            }
        }
        return Refused(refusal + ": it takes one of its entries as shown, or the code of one");
    }
    case ControlKind::CheckBox:
    case ControlKind::Option: {
        int bit = -1;
        if (value == "on" || value == "1") bit = 1;
        if (value == "off" || value == "0") bit = 0;
        if (field->shown == Shown::Lockout) {
            if (value == LockoutText(*field, 1)) bit = 1;
            if (value == LockoutText(*field, 0)) bit = 0;
        }
        if (bit < 0) return Refused(refusal + ": it takes on, off, 1 or 0");
        if (kind == ControlKind::CheckBox || bit == 1) return Choose(control, bit);
        // An option button is cleared by choosing another: clearing its bit
        // is what that choice does to it.
        return Apply([&] { StoreFieldCode(image_, *field, 0); });
    }
    case ControlKind::Label:
    case ControlKind::Frame: break;
    }
    return Refused(refusal + ": it is shown only");
}

void SetupEditor::SetBaseline(const SetupImage& baseline) { baseline_ = baseline; }

std::vector<FieldChange> SetupEditor::Changes() const {
    if (!baseline_) return {};
    return CompareSetups(*baseline_, image_);
}

std::vector<FieldChange> CompareSetups(const SetupImage& a, const SetupImage& b) {
    const DerivedSetup da = DeriveSetup(a), db = DeriveSetup(b);
    std::vector<FieldChange> changes;
    for (const FieldDef& field : AllFields()) {
        const FieldRow ra = DescribeField(a, field, da), rb = DescribeField(b, field, db);
        // What the meter would be sent differs: the code, not the text (a
        // new decimal point changes the text of every reading, not them).
        if (Upper(ra.code) != Upper(rb.code)) changes.push_back({std::string(field.name), ra.text, rb.text});
    }
    return changes;
}

std::string FormatFieldChange(const FieldChange& change) {
    std::string line = Printable(change.name);
    line.resize(std::max<std::size_t>(line.size() + 1, 13), ' ');
    return line + "\"" + Printable(change.a) + "\"  \"" + Printable(change.b) + "\"";
}

std::string FieldChangesJson(const std::vector<FieldChange>& changes) {
    std::string json = "[";
    for (const FieldChange& c : changes) {
        if (json.size() > 1) json += ",";
        json += "{\"name\":" + JsonString(c.name) + ",\"a\":" + JsonString(c.a) + ",\"b\":" + JsonString(c.b) + "}";
    }
    return json + "]";
}

} // namespace wm
