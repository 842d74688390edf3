#include "setup/MenuRows.h"

#include <algorithm>
#include <span>

#include "setup/Fields.h"
#include "setup/InputModes.h"

namespace wm {

namespace {

// ---------------------------------------------------------------------------
// The menu as data: which catalogue field each display position shows.

// When a row is part of the menu.
enum class Shows : std::uint8_t {
    Always,
    ReadingCoords, // scaling by reading coordinates: the coordinates come first
    InputCoords,   // scaling by input coordinates
    ScaleOffset,   // scaling by scale and offset
    Relay,         // a relay board
    RelayDribble,  // a relay board with the dribble factor enabled
    Analog,        // an analog output board
    Serial,        // a communication board
    SerialModbus,  // a communication board on a meter that has Modbus (revision 6 on)
    SetPoint1,     // a relay board and alarm 1 not disabled
    SetPoint2,     // a relay board and alarm 2 not disabled
};

// How a digit position reads its field.
enum class Rule : std::uint8_t {
    Plain,
    FromRevision12,     // dark on meters before revision 12
    FromRevision11,     // dark on meters before revision 11
    OneWithReadingCoords, // the meter shows 1 here while it scales by reading coordinates
    AlarmStates,        // the two alarm states as one digit: state 1 + 3 x state 2
    LockoutBit,         // one lockout check box's bit (index = its chkLock index)
    DecimalDigit,       // digit `index` of the byte written as three decimal digits
};

struct DigitSource {
    const FieldDef* field = nullptr; // nullptr: a dark position
    const FieldDef* low = nullptr;   // a field in the bits just below `field`'s, read as one number with it
    Rule rule = Rule::Plain;
    int index = 0;
};

// What a value row shows.
enum class TextSource : std::uint8_t { None, Field, InputModeName, DecPtPattern };

struct MenuRowDef {
    MenuGrid grid;
    std::string_view label;
    Shows shows;
    int help;
    std::array<DigitSource, 6> digits{}; // digit rows
    TextSource text = TextSource::None;  // value rows
    const FieldDef* field = nullptr;     // TextSource::Field
};

consteval DigitSource D(std::string_view name, Rule rule = Rule::Plain) {
    return {&FieldNamed(name), nullptr, rule, 0};
}
// Two neighbouring one-bit fields read as one two-bit digit, the higher first.
consteval DigitSource D(std::string_view high, std::string_view low, Rule rule = Rule::Plain) {
    return {&FieldNamed(high), &FieldNamed(low), rule, 0};
}
consteval DigitSource Lock(int index) {
    return {&FieldNamed(LockoutPlaceOf(index).byte == FieldNamed("Lock1").pos ? "Lock1" : "Lock2"), nullptr,
            Rule::LockoutBit, index};
}
consteval DigitSource AddrDigit(int index) { return {&FieldNamed("ModbusAddr"), nullptr, Rule::DecimalDigit, index}; }
inline constexpr DigitSource Dark{};

consteval MenuRowDef Digits(std::string_view label, Shows shows, int help, std::array<DigitSource, 6> digits) {
    return {MenuGrid::Main, label, shows, help, digits, TextSource::None, nullptr};
}
consteval MenuRowDef Value(std::string_view label, Shows shows, int help, std::string_view field,
                           MenuGrid grid = MenuGrid::Main) {
    return {grid, label, shows, help, {}, TextSource::Field, &FieldNamed(field)};
}
consteval MenuRowDef Special(std::string_view label, int help, TextSource text) {
    return {MenuGrid::Main, label, Shows::Always, help, {}, text, nullptr};
}

// The rows in the order the meter's menu steps through them. Labels are
// spelt as the display shows them, leading blanks included. The help number
// of a grdMain row gives its topic through MenuHelpTopic; a set point's is
// its number after the grid's heading.
//
// "An SEt" carries two codes, the output's source and its range (current or
// voltage); they stand in the last two positions, source first, as the
// meter's own analog menu asks for them.
// clang-format off
inline constexpr std::array<MenuRowDef, 34> MenuRowDefs = {{
    Value("Lo In", Shows::ReadingCoords, 58, "LoIn"),
    Value("Hi In", Shows::ReadingCoords, 60, "HiIn"),
    Value("Lo rd", Shows::ReadingCoords, 59, "LoRd"),
    Value("Hi rd", Shows::ReadingCoords, 61, "HiRd"),
    Special(" InPut", 51, TextSource::InputModeName),
    Digits(" SEtuP", Shows::Always, 176,
           {Dark, D("DummyZ"), D("Hz"), D("PeakKey"), D("Coord", Rule::OneWithReadingCoords), D("ExtAB")}),
    Digits("ConFiG", Shows::Always, 177,
           {Dark, D("NegVal", Rule::FromRevision12), D("RdCoord"), D("Drib"), D("PkSource"),
            D("DisThresh", Rule::FromRevision11)}),
    Digits("Count", Shows::Always, 178, {Dark, Dark, Dark, Dark, D("CntBy"), D("AutoZ")}),
    Digits("FiLtEr", Shows::Always, 54,
           {Dark, D("AlarmVal"), D("PeakVal"), D("DVal"), D("Thresh"), D("TimConst")}),
    Special(" DecPt", 55, TextSource::DecPtPattern),
    Value("Lo In", Shows::InputCoords, 58, "LoIn"),
    Value("Lo rd", Shows::InputCoords, 59, "LoRd"),
    Value("Hi In", Shows::InputCoords, 60, "HiIn"),
    Value("Hi rd", Shows::InputCoords, 61, "HiRd"),
    Value("SCALE", Shows::ScaleOffset, 56, "Scale"),
    Value("OFFSt", Shows::ScaleOffset, 57, "Offset"),
    Value("TArE", Shows::Always, 179, "Tare"),
    Digits("AL SEt", Shows::Relay, 80,
           {Dark, D("Rly2State", "Rly1State"), D("Alm2Type", "Alm1Type"), D("State2", "State1", Rule::AlarmStates),
            D("Alm2Source", "Alm1Source"), D("NoRdgsAlm")}),
    Value("SP1 d", Shows::RelayDribble, 81, "SP1Diff"),
    Value("SP2 d", Shows::RelayDribble, 82, "SP2Diff"),
    Digits("An SEt", Shows::Analog, 88, {Dark, Dark, Dark, Dark, D("AnaSource"), D("Circuit")}),
    Value(" An Lo", Shows::Analog, 66, "AnaLo"),
    Value(" An Hi", Shows::Analog, 67, "AnaHi"),
    Digits(" SEr 1", Shows::Serial, 68, {Dark, Dark, Dark, D("OutVal"), D("BaudRate"), D("OutRate")}),
    Digits(" SEr 2", Shows::Serial, 69, {Dark, Dark, D("LF"), D("AlmData"), D("SerMode"), D("Address")}),
    Digits(" SEr 3", Shows::Serial, 83, {Dark, D("Duplex"), D("TranChars"), D("RTS"), D("CR"), D("OutItems")}),
    Digits(" SEr 4", Shows::SerialModbus, 180, {Dark, Dark, Dark, D("MBTimeout"), D("SerProtocol"), D("Parity")}),
    Digits(" Addr", Shows::SerialModbus, 181, {Dark, Dark, Dark, AddrDigit(0), AddrDigit(1), AddrDigit(2)}),
    Digits(" Loc 1", Shows::Always, 84, {Dark, Dark, Lock(0), Lock(1), Lock(2), Lock(3)}),
    Digits(" Loc 2", Shows::Always, 85, {Dark, Dark, Lock(4), Lock(5), Lock(6), Lock(7)}),
    Digits(" Loc 3", Shows::Always, 86, {Dark, Dark, Lock(8), Lock(9), Lock(10), Lock(11)}),
    Digits(" Loc 4", Shows::Always, 87, {Dark, Dark, Lock(12), Lock(13), Lock(14), Lock(15)}),
    Value("SETPT1", Shows::SetPoint1, 1, "SetPt1", MenuGrid::SetPt),
    Value("SETPT2", Shows::SetPoint2, 2, "SetPt2", MenuGrid::SetPt),
}};
// clang-format on

consteval bool PairsAreNeighbours() {
    for (const MenuRowDef& row : MenuRowDefs)
        for (const DigitSource& d : row.digits)
            if (d.low != nullptr && (d.low->pos != d.field->pos || d.low->hi + 1 != d.field->lo)) return false;
    return true;
}
// GCC's address sanitizer makes a global's address unknown at compile time,
// so the check runs in the ordinary builds only.
#ifndef WM_SANITIZE_BUILD
static_assert(PairsAreNeighbours(), "a two-field digit must read two neighbouring bit runs of one byte");
#endif
static_assert(LockoutPlaceOf(0).byte == FieldNamed("Lock1").pos && LockoutPlaceOf(8).byte == FieldNamed("Lock2").pos,
              "the lockout rows read the catalogue's lockout bytes");

// The names the display gives the input modes, and the input ranges as the
// second press of the input key shows them: the units letter takes the last
// position, or is left out when the digits need it.
struct MenuInputMode {
    int inputMode;
    std::string_view name;
    std::span<const std::string_view> ranges;
};
inline constexpr std::array<std::string_view, 5> MenuVoltRanges = {"  0.2V", "  2.0V", " 20.0V", "200.0V",
                                                                   "660.0V"};
inline constexpr std::array<std::string_view, 4> MenuCurrentRanges = {"  2.0a", " 20.0a", "200.0a", "  5.0A"};
inline constexpr std::array<std::string_view, 5> MenuMilliVoltRanges = {"  20.0", "  50.0", " 100.0", " 250.0",
                                                                        " 500.0"};
inline constexpr std::array<MenuInputMode, 5> MenuInputModes = {{
    {2, "  dC V", MenuVoltRanges},
    {3, "  dC A", MenuCurrentRanges},
    {6, " rAtio", std::span<const std::string_view>(MenuVoltRanges).first(3)},
    {7, "strAin", MenuMilliVoltRanges},
    {8, "  dC v", MenuMilliVoltRanges},
}};

consteval bool SameRangeCountsAsThePages() {
    for (const MenuInputMode& m : MenuInputModes) {
        bool found = false;
        for (const InputModeDef& def : InputModes)
            if (def.inputMode == m.inputMode) found = def.ranges.size() == m.ranges.size();
        if (!found) return false;
    }
    return true;
}
static_assert(SameRangeCountsAsThePages(), "the menu view names every range the pages offer");

// The display's decimal-point menu item for codes 1..6, with the blank that follows it.
inline constexpr std::array<std::string_view, 6> DecPtPatterns = {"ddddd. ", "dddd.d ", "ddd.dd ",
                                                                  "dd.ddd ", "d.dddd ", ".ddddd "};

const MenuInputMode* FindMenuInputMode(int inputMode) {
    const auto it = std::find_if(MenuInputModes.begin(), MenuInputModes.end(),
                                 [inputMode](const MenuInputMode& m) { return m.inputMode == inputMode; });
    return it == MenuInputModes.end() ? nullptr : &*it;
}

// ---------------------------------------------------------------------------
// Reading the image.

struct MenuContext {
    const SetupImage& image;
    const DerivedSetup& derived;
    int meterRevision;

    [[nodiscard]] int Code(const FieldDef& field) const { return FieldCode(image, field); }
};

bool IsShown(Shows shows, const MenuContext& c) {
    const bool relay = c.Code(FieldNamed("RlyOpt")) != 0;
    const bool serial = c.Code(FieldNamed("ComOpt")) != 0;
    const bool readingCoords = c.Code(FieldNamed("RdCoord")) == 1;
    // A state's upper bit marks the alarm disabled (code 2, and 3 which no list offers).
    const auto enabled = [&c](const FieldDef& state) { return (c.Code(state) & 2) == 0; };
    switch (shows) {
    case Shows::Always: return true;
    case Shows::ReadingCoords: return readingCoords;
    case Shows::InputCoords: return !readingCoords && c.Code(FieldNamed("Coord")) == 1;
    case Shows::ScaleOffset: return !readingCoords && c.Code(FieldNamed("Coord")) == 0;
    case Shows::Relay: return relay;
    case Shows::RelayDribble: return relay && c.Code(FieldNamed("Drib")) == 0;
    case Shows::Analog: return c.Code(FieldNamed("AnaOpt")) != 0;
    case Shows::Serial: return serial;
    case Shows::SerialModbus: return serial && c.meterRevision > 5;
    case Shows::SetPoint1: return relay && enabled(FieldNamed("State1"));
    case Shows::SetPoint2: return relay && enabled(FieldNamed("State2"));
    }
    return false;
}

int DigitCode(const DigitSource& d, const MenuContext& c) {
    if (d.field == nullptr) return BlankDigit;
    int code = FieldCode(c.image, *d.field);
    if (d.low != nullptr) code = code << (d.low->hi - d.low->lo + 1) | FieldCode(c.image, *d.low);
    switch (d.rule) {
    case Rule::Plain: return code;
    case Rule::FromRevision12: return c.meterRevision > 11 ? code : BlankDigit;
    case Rule::FromRevision11: return c.meterRevision >= 11 ? code : BlankDigit;
    case Rule::OneWithReadingCoords: return c.Code(FieldNamed("RdCoord")) == 1 ? 1 : code;
    case Rule::AlarmStates:
        // State 2 in bits 2-3, state 1 in bits 0-1: the meter folds the pair
        // into one digit, state 1 + 3 x state 2.
        if (code > 7) --code;
        if (code > 3) --code;
        return code;
    case Rule::LockoutBit: {
        const LockoutPlace place = LockoutPlaceOf(d.index);
        return c.image.GetBits(place.bit, place.bit, place.byte);
    }
    case Rule::DecimalDigit: {
        int dp = 0;
        const std::string digits = c.image.FormatField(FieldKind::ByteDecimal, d.field->pos, dp);
        return digits[static_cast<std::size_t>(d.index)] - '0';
    }
    }
    return code;
}

// A numeric field as the display writes it: "-" for a negative value, a
// blank for a positive one, five digits and the point.
std::string FieldText(const FieldDef& field, const MenuContext& c) {
    int dp = field.kind == FieldKind::Input ? c.derived.InputDP : c.derived.DisplayDP;
    return c.image.FormatField(field.kind + FieldKind::SecondSign, field.pos, dp);
}

std::string ValueText(const MenuRowDef& def, const MenuContext& c) {
    switch (def.text) {
    case TextSource::Field: return FieldText(*def.field, c);
    case TextSource::InputModeName: {
        const MenuInputMode* mode = FindMenuInputMode(c.derived.InputMode);
        return mode == nullptr ? std::string() : std::string(mode->name);
    }
    case TextSource::DecPtPattern:
        // A code the list cannot hold (0, 7) is shown as the values are:
        // clamped to the nearest code, as every value with this point is.
        return std::string(DecPtPatterns[static_cast<std::size_t>(std::clamp(c.derived.DisplayDP, 1, 6) - 1)]);
    case TextSource::None: break;
    }
    return {};
}

MenuRow BuildRow(const MenuRowDef& def, const MenuContext& c) {
    MenuRow row;
    row.grid = def.grid;
    row.label = std::string(def.label);
    row.help = def.help;
    row.topic = def.grid == MenuGrid::SetPt ? SetPtHelpBase + def.help : MenuHelpTopic(def.help);
    row.digits = def.text == TextSource::None;
    if (row.digits) {
        for (std::size_t i = 0; i < row.cells.size(); ++i) row.cells[i] = DigitCell(DigitCode(def.digits[i], c));
    } else {
        row.cells = TextCells(ValueText(def, c));
    }
    return row;
}

// The input range, one character per position with the point in a
// position of its own.
MenuRow InputRangeRow(const MenuContext& c) {
    MenuRow row;
    row.grid = MenuGrid::Input;
    const MenuInputMode* mode = FindMenuInputMode(c.derived.InputMode);
    const int range = c.derived.InputRange;
    if (mode == nullptr || range < 0 || static_cast<std::size_t>(range) >= mode->ranges.size()) return row;
    const std::string_view text = mode->ranges[static_cast<std::size_t>(range)];
    for (std::size_t i = 0; i < row.cells.size() && i < text.size(); ++i)
        if (text[i] != ' ') row.cells[i] = std::string(1, text[i]);
    return row;
}

std::string CellColumns(const std::string& cell) {
    std::string out = cell.empty() || cell[0] == '.' ? " " : cell.substr(0, 1);
    out += cell.find('.') != std::string::npos ? "." : " ";
    return out;
}

} // namespace

std::string DigitCell(int code) {
    static constexpr std::string_view kForms = "0123456789AbCdEF";
    if (code == 65535 || code < 0 || code > 31) return {};
    std::string cell(1, kForms[static_cast<std::size_t>(code % 16)]);
    if (code >= 16) cell += '.';
    return cell;
}

std::array<std::string, 6> TextCells(std::string_view text) {
    std::string shown(text);
    std::size_t pointAfter = std::string::npos; // 0-based index of the position whose point is lit
    const std::size_t point = text.find('.');   // P - 1
    if (point != std::string_view::npos && point >= 1 && point <= 5) {
        shown.erase(point, 1);
        pointAfter = point - 1;
    } else if (point == 6) {
        shown.resize(6);
    }
    std::array<std::string, 6> cells;
    for (std::size_t i = 0; i < cells.size() && i < shown.size(); ++i) {
        if (shown[i] != ' ') cells[i] = std::string(1, shown[i]);
        if (i == pointAfter) cells[i] += '.';
    }
    return cells;
}

std::vector<MenuRow> BuildMenuRows(const SetupImage& image, const DerivedSetup& derived, int meterRevision) {
    const MenuContext c{image, derived, meterRevision};
    std::vector<MenuRow> rows;
    for (const MenuRowDef& def : MenuRowDefs)
        if (def.grid == MenuGrid::Main && IsShown(def.shows, c)) rows.push_back(BuildRow(def, c));
    rows.push_back(InputRangeRow(c));
    for (const MenuRowDef& def : MenuRowDefs)
        if (def.grid == MenuGrid::SetPt && IsShown(def.shows, c)) rows.push_back(BuildRow(def, c));
    return rows;
}

std::string SigCondCaption(int scType) {
    if (scType == ScTypeDC) return " DC Signal Conditioner";
    if (scType == ScTypeLoadCell) return " Load Cell Signal Conditioner";
    return {};
}

std::string_view MenuGridName(MenuGrid grid) {
    switch (grid) {
    case MenuGrid::Main: return "main";
    case MenuGrid::Input: return "input";
    case MenuGrid::SetPt: return "setpt";
    }
    return "main";
}

std::string MenuRowsJson(const std::vector<MenuRow>& rows) {
    std::string out = "[";
    for (const MenuRow& row : rows) {
        if (out.size() > 1) out += ',';
        out += "{\"grid\":" + JsonString(MenuGridName(row.grid)) + ",\"label\":" + JsonString(row.label) +
               ",\"cells\":[";
        for (std::size_t i = 0; i < row.cells.size(); ++i) out += (i == 0 ? "" : ",") + JsonString(row.cells[i]);
        out += "]}";
    }
    return out + "]";
}

std::string FormatMenuRow(const MenuRow& row) {
    std::string line(MenuGridName(row.grid));
    line.resize(6, ' ');
    line += row.label;
    line.resize(std::max<std::size_t>(line.size(), 13), ' ');
    line += '|';
    for (const std::string& cell : row.cells) line += CellColumns(cell);
    return line + '|';
}

} // namespace wm
