#pragma once
// The layout of the setup image as data: where every setting lives, how it
// is encoded, the texts the pages show for its codes (in code order, blanks
// included), which control shows it, on which page, and which help topic
// explains it. The setup pages, the front-panel menu view and `wmctl show`
// all read these tables; no page keeps a position of its own.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "setup/InputModes.h"
#include "setup/SetupImage.h"

namespace wm {

// Kind codes of FormatField and StoreEnteredValue.
namespace FieldKind {
inline constexpr int Reading = 2;      // two's complement, point from DisplayDP
inline constexpr int Input = 3;        // two's complement, point from InputDP
inline constexpr int Scale = 4;        // sign and point code in the first digit, 20-bit magnitude
inline constexpr int Byte = 7;         // one byte 0..255, entered as a number
inline constexpr int SecondSign = 10;  // added to 2, 3 or 4: the menu view's sign style
inline constexpr int ByteDecimal = 20; // one byte shown as three decimal digits
} // namespace FieldKind

enum class FieldType : std::uint8_t {
    Numeric, // six characters of kind 2, 3 or 4
    Byte,    // one whole byte, a number 0..255
    Bits,    // bits lo..hi of one byte, read as a code
};

// How a field's code is shown (DescribeSetup; the pages' own controls follow it).
enum class Shown : std::uint8_t {
    ListText,          // the value text of the code
    Number,            // the code in decimal
    CharName,          // the name of the character with that code
    BitPattern,        // the eight bits, most significant first (lockout bytes)
    CheckBox,          // one bit shown as a check box or option button: "on" / "off"
    SignalConditioner, // characters 35-36 read as a decimal type code
    InputMode,         // InCode through the input mode table
    InputRange,        // Func through the range list of the input mode
    Lockout,           // one lockout bit: "<caption>: on" / "<caption>: off"
};

// Help topics that depend on the setup: the mode list's topic follows the
// signal conditioner type, the range list's topic the input mode.
enum class HelpRule : std::uint8_t { Fixed, PlusScType, PlusInputMode };

struct FieldDef {
    std::string_view name;
    FieldType type = FieldType::Bits;
    int pos = 0;        // first character, 1-based; odd for bytes and bit fields
    int hi = 7, lo = 0; // bits of a Bits field; a Byte field is 7..0
    int kind = 0;       // numeric fields 2, 3, 4; byte fields the entry dialog edits 7
    Shown shown = Shown::ListText;
    std::span<const std::string_view> texts = {}; // list entries in code order
    std::span<const int> codes = {};              // code of each entry when not 0, 1, 2 ...
    int shownAsEntry = -1;                        // entry shown for codes past the list; -1: "code N"
    std::string_view control = {};
    int page = 0; // setup page 1..3 that shows it; 0 none
    int help = 0; // help topic of the control; 0 none
    HelpRule helpRule = HelpRule::Fixed;
    std::string_view caption = {}; // check box or option button caption
    bool readOnly = false;         // shown, never written

    [[nodiscard]] constexpr int Width() const { return type == FieldType::Numeric ? 6 : 2; }
    [[nodiscard]] constexpr int LastPos() const { return pos + Width() - 1; }
};

// ---------------------------------------------------------------------------
// Value texts, in code order.

inline constexpr std::array<std::string_view, 5> OutItemsTexts = {"Net + Gross", "Net Only", "Gross Only",
                                                                  "Peak Only", "Net + Gross + Peak"};
inline constexpr std::array<std::string_view, 2> CRTexts = {"End of final item", "End of each item"};
inline constexpr std::array<std::string_view, 2> RTSTexts = {"Non-Latching", "Latching"};
inline constexpr std::array<std::string_view, 2> TranCharsTexts = {"Normal", "Start/StopChars"};
inline constexpr std::array<std::string_view, 2> DuplexTexts = {"Full Duplex", "Half Duplex"};
inline constexpr std::array<std::string_view, 10> AutoZTexts = {
    "No Auto Zero", "+- 1 Count",  "+- 2 Counts", "+- 3 Counts", "+- 4 Counts",
    "+- 5 Counts",  "+- 6 Counts", "+- 7 Counts", "+- 8 Counts", "+- 9 Counts"};
inline constexpr std::array<std::string_view, 10> CntByTexts = {
    "Count by 1's",  "Count by 2's",   "Count by 5's",   "Count by 10's",  "Count by 20's",
    "Count by 50's", "Count by 100's", "Count by 200's", "Count by 500's", "Count by 1000's"};
inline constexpr std::array<std::string_view, 2> SourceTexts = {"Net Reading", "Gross Reading"};
inline constexpr std::array<std::string_view, 2> DribTexts = {"Enabled", "Disabled"};
inline constexpr std::array<std::string_view, 2> NegValTexts = {"Allow", "Disallow"};
inline constexpr std::array<std::string_view, 2> ScTypeTexts = {"DC", "Load Cell"};
inline constexpr std::array<int, 2> ScTypeCodes = {1, 3};
inline constexpr std::array<std::string_view, 4> AnaSourceTexts = {"Filtered Net", "Filtered Gross",
                                                                   "Unfiltered Net", "Unfiltered Gross"};
inline constexpr std::array<std::string_view, 4> CircuitTexts = {"Current Out 0-20mA", "Voltage Out 0-10V",
                                                                 "Current Out 4-20mA", "Voltage Out +-10V"};
// Decimal-point codes 1..6: d-1 digits follow the point of a five-digit display.
inline constexpr std::array<std::string_view, 6> DecPtTexts = {"ddddd .",  "dddd . d", "ddd . dd",
                                                               "dd . ddd", "d . dddd", " . ddddd"};
inline constexpr std::array<int, 6> DecPtCodes = {1, 2, 3, 4, 5, 6};
inline constexpr std::array<std::string_view, 32> AddressTexts = {
    " 0 (0)",  " 1 (1)",  " 2 (2)",  " 3 (3)",  " 4 (4)",  " 5 (5)",  " 6 (6)",  " 7 (7)",
    " 8 (8)",  " 9 (9)",  "10 (A)",  "11 (b)",  "12 (C)",  "13 (d)",  "14 (E)",  "15 (F)",
    "16 (0.)", "17 (1.)", "18 (2.)", "19 (3.)", "20 (4.)", "21 (5.)", "22 (6.)", "23 (7.)",
    "24 (8.)", "25 (9.)", "26 (A.)", "27 (b.)", "28 (C.)", "29 (d.)", "30 (E.)", "31 (F.)"};
inline constexpr std::array<std::string_view, 2> SerModeTexts = {"Continuous", "Command"};
inline constexpr std::array<std::string_view, 10> OutRateTexts = {
    "Line Rate",    "Read Rate",    "Read Rate/2",  "Read Rate/4",   "Read Rate/8",
    "Read Rate/16", "Read Rate/32", "Read Rate/64", "Read Rate/128", "Read Rate/256"};
inline constexpr std::array<std::string_view, 7> BaudRateTexts = {"  300", "  600", " 1200", " 2400",
                                                                  " 4800", " 9600", "19200"};
inline constexpr std::array<std::string_view, 2> FilteredTexts = {"Unfiltered", "Filtered"};
inline constexpr std::array<std::string_view, 3> ComOptTexts = {"None", "RS232 Board", "RS485 Board"};
inline constexpr std::array<std::string_view, 2> AnaOptTexts = {"None", "Analog Out Bd"};
inline constexpr std::array<std::string_view, 2> RlyOptTexts = {"None", "Relay Board"};
inline constexpr std::array<std::string_view, 2> LockJumperTexts = {"  Lockout  jumper IS NOT installed",
                                                                    "  Lockout  jumper IS installed"};
inline constexpr std::array<std::string_view, 16> TimConstTexts = {
    "Automatic", "Batch",    " 75 mSec", "150 mSec", "300 mSec", "600 mSec", " 1.2 Sec", " 2.4 Sec",
    " 4.8 Sec",  " 9.6 Sec", "  19 Sec", "  38 Sec", "  77 Sec", " 154 Sec", " 308 Sec", "No Filter"};
inline constexpr std::array<std::string_view, 2> ThreshTexts = {"Low Adaptive", "High Adaptive"};
inline constexpr std::array<std::string_view, 2> DValTexts = {"Batch 16 Avg", "Filtered"};
inline constexpr std::array<std::string_view, 2> PeakKeyTexts = {"Read Peak", "Tare Command"};
inline constexpr std::array<std::string_view, 2> HzTexts = {"60 Hz", "50 Hz"};
inline constexpr std::array<std::string_view, 2> DummyZTexts = {"No Dummy Zero", "Dummy Zero"};
inline constexpr std::array<std::string_view, 8> NoRdgsAlmTexts = {"  1", "  2", "  4", "  8",
                                                                   " 16", " 32", " 64", "128"};
inline constexpr std::array<std::string_view, 3> StateTexts = {"Hi Active", "Lo Active", "Disabled"};
inline constexpr std::array<std::string_view, 2> AlmTypeTexts = {"Non-latching", "Latching"};
inline constexpr std::array<std::string_view, 2> RlyStateTexts = {"Energized", "De-energized"};
inline constexpr std::array<std::string_view, 3> ParityTexts = {" None", " Odd", " Even"};
inline constexpr std::array<std::string_view, 3> SerProtocolTexts = {"Custom ASCII", "Modbus RTU",
                                                                     "Modbus ASCII"};
inline constexpr std::array<std::string_view, 4> MBTimeoutTexts = {"  1 Sec", "  3 Sec", "  5 Sec",
                                                                   " 10 Sec"};

// Captions of the check boxes and option buttons that show single bits.
inline constexpr std::string_view DisThreshCaption = "Disable Threshold";
inline constexpr std::string_view AlmDataCaption = "Incl Alarm Data";
inline constexpr std::string_view LFCaption = "Include LF";
inline constexpr std::string_view SclOffCaption = "Scale,Offset  >";
inline constexpr std::string_view CoordCaption = "Coordinates  >";
inline constexpr std::string_view RdCoordCaption = "Reading Coord >";

// ---------------------------------------------------------------------------
// External inputs A and B: each list text is the A function, a run of blanks
// and the B function, so that in the list's proportional font the B texts
// stand under the right half of the frame caption. The blank counts are
// part of the texts.

inline constexpr std::string_view ExtABCaption = " External Input A  --------------------  External Input B";

struct ExtABPair {
    std::string_view inputA;
    int blanks;
    std::string_view inputB;
};

inline constexpr std::array<ExtABPair, 16> ExtABPairs = {{
    {"Meter Reset", 38, "Meter Hold"},
    {"Function Reset", 34, "Peak Display"},
    {"Meter Hold", 41, "Peak Display"},
    {"Meter Hold", 41, "Tare"},
    {"Peak Display", 37, "Tare"},
    {"Meter Reset", 38, "Tare"},
    {"Function Reset", 34, "Tare"},
    {"Tare Reset", 41, "Tare"},
    {"Display Blank", 36, "Tare"},
    {"Meter Reset", 38, "Display Blank"},
    {"Function Reset", 34, "Display Blank"},
    {"Display Item", 37, "Tare"},
    {"Display Item", 37, "Display Blank"},
    {"Meter Reset", 38, "Display Item"},
    {"Function Reset", 34, "Display Item"},
    {"Meter Hold", 41, "Display Item"},
}};

namespace detail {
struct JoinedText {
    std::array<char, 72> chars{};
    std::size_t size = 0;
};
constexpr JoinedText JoinPair(const ExtABPair& pair) {
    JoinedText t;
    for (char c : pair.inputA) t.chars[t.size++] = c;
    for (int i = 0; i < pair.blanks; ++i) t.chars[t.size++] = ' ';
    for (char c : pair.inputB) t.chars[t.size++] = c;
    return t;
}
inline constexpr std::array<JoinedText, 16> ExtABStore = [] {
    std::array<JoinedText, 16> store{};
    for (std::size_t i = 0; i < store.size(); ++i) store[i] = JoinPair(ExtABPairs[i]);
    return store;
}();
} // namespace detail

inline constexpr std::array<std::string_view, 16> ExtABTexts = [] {
    std::array<std::string_view, 16> texts{};
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = std::string_view(detail::ExtABStore[i].chars.data(), detail::ExtABStore[i].size);
    return texts;
}();

// ---------------------------------------------------------------------------
// Lockouts: 16 check boxes chkLock(0..15) over bits of bytes 43 and 41. The
// place of box i comes from its code: 20 or more means byte 41, bit code - 20;
// less means byte 43, bit code - 10. A checked box is bit value 1.

inline constexpr std::array<std::string_view, 16> LockoutCaptions = {"Change Display Item",
                                                                     "Input Type",
                                                                     "Setup, Config, DP",
                                                                     "Count  ",
                                                                     "Filter",
                                                                     "Scale, Lo/Hi In",
                                                                     "Offset, Lo/Hi Rd",
                                                                     "Tare",
                                                                     "Alarm Config, SPxDiff",
                                                                     "Change Alarm Setpoints",
                                                                     "Analog Output Scaling",
                                                                     "SerialCommunication",
                                                                     "View Peak",
                                                                     "View Alarm Setpoints",
                                                                     "FP Function Resets",
                                                                     "FP Meter Reset"};
inline constexpr std::array<int, 16> LockoutCodes = {13, 12, 11, 10, 17, 16, 15, 14,
                                                     23, 22, 21, 20, 27, 26, 25, 24};
inline constexpr int LockoutHelpBase = 1258; // help topic of chkLock(i) is 1258 + i

struct LockoutPlace {
    int byte;
    int bit;
};
[[nodiscard]] constexpr LockoutPlace LockoutPlaceOf(int index) {
    const int code = LockoutCodes[static_cast<std::size_t>(index)];
    return code >= 20 ? LockoutPlace{41, code - 20} : LockoutPlace{43, code - 10};
}

// Each box is a one-bit field of its own, named Lockout0 .. Lockout15 after
// its index, shown by chkLock(i).
inline constexpr std::array<std::string_view, 16> LockoutNames = {
    "Lockout0", "Lockout1", "Lockout2",  "Lockout3",  "Lockout4",  "Lockout5",  "Lockout6",  "Lockout7",
    "Lockout8", "Lockout9", "Lockout10", "Lockout11", "Lockout12", "Lockout13", "Lockout14", "Lockout15"};
inline constexpr std::array<std::string_view, 16> LockoutControls = {
    "chkLock(0)", "chkLock(1)", "chkLock(2)",  "chkLock(3)",  "chkLock(4)",  "chkLock(5)",
    "chkLock(6)", "chkLock(7)", "chkLock(8)",  "chkLock(9)",  "chkLock(10)", "chkLock(11)",
    "chkLock(12)", "chkLock(13)", "chkLock(14)", "chkLock(15)"};

// ---------------------------------------------------------------------------
// Scaling method, held in RdCoord (byte 33 b3) and Coord (byte 53 b4).

enum class ScalingMethod : std::uint8_t { ScaleOffset, Coordinates, ReadingCoordinates };

[[nodiscard]] ScalingMethod ScalingMethodOf(const SetupImage& image);
// Coordinates: Coord 1, RdCoord 0. Scale and offset: both 0. Reading
// coordinates: RdCoord 1, Coord left as it was.
void SetScalingMethod(SetupImage& image, ScalingMethod method);

[[nodiscard]] constexpr FieldDef LockoutField(int index) {
    const auto i = static_cast<std::size_t>(index);
    const LockoutPlace place = LockoutPlaceOf(index);
    return {.name = LockoutNames[i], .pos = place.byte, .hi = place.bit, .lo = place.bit,
            .shown = Shown::Lockout, .control = LockoutControls[i], .page = 3,
            .help = LockoutHelpBase + index, .caption = LockoutCaptions[i]};
}

// ---------------------------------------------------------------------------
// The field table, in image order (the lockout boxes in their own order).

// clang-format off
inline constexpr std::array<FieldDef, 85> SetupFields = {{
    {.name = "Tare", .type = FieldType::Numeric, .pos = 1, .kind = 2, .control = "txtTare", .page = 1,
     .help = 1275},
    {.name = "OutItems", .pos = 9, .hi = 2, .lo = 0, .texts = OutItemsTexts, .shownAsEntry = 1,
     .control = "cboOutItems", .page = 3, .help = 1255},
    {.name = "CR", .pos = 9, .hi = 3, .lo = 3, .texts = CRTexts, .control = "cboCR", .page = 3, .help = 1256},
    {.name = "RTS", .pos = 9, .hi = 4, .lo = 4, .texts = RTSTexts, .control = "cboRTS", .page = 3,
     .help = 1342},
    {.name = "TranChars", .pos = 9, .hi = 5, .lo = 5, .texts = TranCharsTexts, .control = "cboTranChars",
     .page = 3, .help = 1382},
    {.name = "Duplex", .pos = 9, .hi = 6, .lo = 6, .texts = DuplexTexts, .control = "cboDuplex", .page = 3,
     .help = 1343},
    {.name = "AutoZ", .pos = 11, .hi = 3, .lo = 0, .texts = AutoZTexts, .control = "cboAutoZ", .page = 1,
     .help = 1274},
    {.name = "CntBy", .pos = 11, .hi = 7, .lo = 4, .texts = CntByTexts, .control = "cboCntBy", .page = 1,
     .help = 1274},
    {.name = "SP2Diff", .type = FieldType::Numeric, .pos = 21, .kind = 2, .control = "txtSP2Diff", .page = 2,
     .help = 1368},
    {.name = "SP1Diff", .type = FieldType::Numeric, .pos = 27, .kind = 2, .control = "txtSP1Diff", .page = 2,
     .help = 1368},
    {.name = "DisThresh", .pos = 33, .hi = 0, .lo = 0, .shown = Shown::CheckBox, .control = "chkDisThresh",
     .page = 2, .help = 1282, .caption = DisThreshCaption},
    {.name = "PkSource", .pos = 33, .hi = 1, .lo = 1, .texts = SourceTexts, .control = "cboPkSource",
     .page = 2, .help = 1378},
    {.name = "Drib", .pos = 33, .hi = 2, .lo = 2, .texts = DribTexts, .control = "cboDrib", .page = 2,
     .help = 1368},
    {.name = "RdCoord", .pos = 33, .hi = 3, .lo = 3, .shown = Shown::CheckBox, .control = "optRdCoord",
     .page = 1, .help = 1325, .caption = RdCoordCaption},
    {.name = "NegVal", .pos = 33, .hi = 4, .lo = 4, .texts = NegValTexts, .control = "cboNegVal", .page = 1},
    {.name = "ScTypeCode", .pos = 35, .hi = 1, .lo = 0, .shown = Shown::SignalConditioner,
     .texts = ScTypeTexts, .codes = ScTypeCodes, .control = "cboSCOpt", .page = 1, .help = 1302},
    {.name = "AnaSource", .pos = 37, .hi = 1, .lo = 0, .texts = AnaSourceTexts, .control = "cboAnaSource",
     .page = 3, .help = 1257},
    {.name = "Circuit", .pos = 37, .hi = 3, .lo = 2, .texts = CircuitTexts, .control = "cboCircuit",
     .page = 3, .help = 1221},
    {.name = "DecPt", .pos = 39, .hi = 2, .lo = 0, .texts = DecPtTexts, .codes = DecPtCodes,
     .control = "cboDecPt", .page = 1, .help = 1323},
    LockoutField(0),
    LockoutField(1),
    LockoutField(2),
    LockoutField(3),
    LockoutField(4),
    LockoutField(5),
    LockoutField(6),
    LockoutField(7),
    LockoutField(8),
    LockoutField(9),
    LockoutField(10),
    LockoutField(11),
    LockoutField(12),
    LockoutField(13),
    LockoutField(14),
    LockoutField(15),
    {.name = "Address", .pos = 45, .hi = 4, .lo = 0, .texts = AddressTexts, .control = "cboAddress",
     .page = 3, .help = 1337},
    {.name = "SerMode", .pos = 45, .hi = 5, .lo = 5, .texts = SerModeTexts, .control = "cboSerMode",
     .page = 3, .help = 1340},
    {.name = "AlmData", .pos = 45, .hi = 6, .lo = 6, .shown = Shown::CheckBox, .control = "chkAlmData",
     .page = 3, .help = 1341, .caption = AlmDataCaption},
    {.name = "LF", .pos = 45, .hi = 7, .lo = 7, .shown = Shown::CheckBox, .control = "chkLF", .page = 3,
     .help = 1344, .caption = LFCaption},
    {.name = "OutRate", .pos = 47, .hi = 3, .lo = 0, .texts = OutRateTexts, .control = "cboOutRate",
     .page = 3, .help = 1339},
    {.name = "BaudRate", .pos = 47, .hi = 6, .lo = 4, .texts = BaudRateTexts, .control = "cboBaudRate",
     .page = 3, .help = 1336},
    {.name = "OutVal", .pos = 47, .hi = 7, .lo = 7, .texts = FilteredTexts, .control = "cboOutVal", .page = 3,
     .help = 1338},
    {.name = "ComOpt", .pos = 49, .hi = 3, .lo = 2, .texts = ComOptTexts, .control = "cboComOpt", .page = 1,
     .help = 1103},
    {.name = "AnaOpt", .pos = 49, .hi = 5, .lo = 5, .texts = AnaOptTexts, .control = "cboAnaOpt", .page = 1,
     .help = 1104},
    {.name = "RlyOpt", .pos = 49, .hi = 6, .lo = 6, .texts = RlyOptTexts, .control = "cboRlyOpt", .page = 1,
     .help = 1102},
    {.name = "LockJumper", .pos = 49, .hi = 7, .lo = 7, .texts = LockJumperTexts, .control = "lblLockout",
     .page = 3, .help = 1361, .readOnly = true},
    {.name = "TimConst", .pos = 51, .hi = 3, .lo = 0, .texts = TimConstTexts, .control = "cboTimConst",
     .page = 2, .help = 1329},
    {.name = "Thresh", .pos = 51, .hi = 4, .lo = 4, .texts = ThreshTexts, .control = "cboThresh", .page = 2,
     .help = 1367},
    {.name = "DVal", .pos = 51, .hi = 5, .lo = 5, .texts = DValTexts, .control = "cboDVal", .page = 1,
     .help = 1322},
    {.name = "PeakVal", .pos = 51, .hi = 6, .lo = 6, .texts = FilteredTexts, .control = "cboPeakVal",
     .page = 2, .help = 1330},
    {.name = "AlarmVal", .pos = 51, .hi = 7, .lo = 7, .texts = FilteredTexts, .control = "cboAlarmVal",
     .page = 2, .help = 1334},
    {.name = "ExtAB", .pos = 53, .hi = 3, .lo = 0, .texts = ExtABTexts, .control = "cboExtAB", .page = 2,
     .help = 1379},
    {.name = "Coord", .pos = 53, .hi = 4, .lo = 4, .shown = Shown::CheckBox, .control = "optCoord", .page = 1,
     .help = 1325, .caption = CoordCaption},
    {.name = "PeakKey", .pos = 53, .hi = 5, .lo = 5, .texts = PeakKeyTexts, .control = "cboPeakKey",
     .page = 1, .help = 1324},
    {.name = "Hz", .pos = 53, .hi = 6, .lo = 6, .texts = HzTexts, .control = "cboHz", .page = 1,
     .help = 1320},
    {.name = "DummyZ", .pos = 53, .hi = 7, .lo = 7, .texts = DummyZTexts, .control = "cboDummyZ", .page = 1,
     .help = 1377},
    {.name = "InCode", .pos = 55, .hi = 7, .lo = 4, .shown = Shown::InputMode, .texts = InCodeTexts,
     .codes = InCodeCodes, .control = "cboMode", .page = 1, .help = 1305, .helpRule = HelpRule::PlusScType},
    {.name = "Func", .pos = 55, .hi = 3, .lo = 0, .shown = Shown::InputRange, .control = "cboFunc", .page = 1,
     .help = 1309, .helpRule = HelpRule::PlusInputMode},
    {.name = "NoRdgsAlm", .pos = 57, .hi = 2, .lo = 0, .texts = NoRdgsAlmTexts, .control = "cboNoRdgsAlm",
     .page = 2, .help = 1207},
    {.name = "Alm1Source", .pos = 57, .hi = 3, .lo = 3, .texts = SourceTexts, .control = "cboAlm1Source",
     .page = 2, .help = 1370},
    {.name = "Alm2Source", .pos = 57, .hi = 4, .lo = 4, .texts = SourceTexts, .control = "cboAlm2Source",
     .page = 2, .help = 1370},
    {.name = "State1", .pos = 59, .hi = 1, .lo = 0, .texts = StateTexts, .control = "cboState1", .page = 2,
     .help = 1204},
    {.name = "State2", .pos = 59, .hi = 3, .lo = 2, .texts = StateTexts, .control = "cboState2", .page = 2,
     .help = 1204},
    {.name = "Alm1Type", .pos = 59, .hi = 4, .lo = 4, .texts = AlmTypeTexts, .control = "cboAlm1Type",
     .page = 2, .help = 1206},
    {.name = "Alm2Type", .pos = 59, .hi = 5, .lo = 5, .texts = AlmTypeTexts, .control = "cboAlm2Type",
     .page = 2, .help = 1206},
    {.name = "Rly1State", .pos = 59, .hi = 6, .lo = 6, .texts = RlyStateTexts, .control = "cboRly1State",
     .page = 2, .help = 1333},
    {.name = "Rly2State", .pos = 59, .hi = 7, .lo = 7, .texts = RlyStateTexts, .control = "cboRly2State",
     .page = 2, .help = 1333},
    {.name = "AnaHi", .type = FieldType::Numeric, .pos = 61, .kind = 2, .control = "txtAnaHi", .page = 3,
     .help = 2167},
    {.name = "AnaLo", .type = FieldType::Numeric, .pos = 67, .kind = 2, .control = "txtAnaLo", .page = 3,
     .help = 2166},
    {.name = "HiRd", .type = FieldType::Numeric, .pos = 73, .kind = 2, .control = "txtHiRd", .page = 1,
     .help = 1328},
    {.name = "HiIn", .type = FieldType::Numeric, .pos = 79, .kind = 3, .control = "txtHiIn", .page = 1,
     .help = 1328},
    {.name = "LoRd", .type = FieldType::Numeric, .pos = 85, .kind = 2, .control = "txtLoRd", .page = 1,
     .help = 1328},
    {.name = "LoIn", .type = FieldType::Numeric, .pos = 91, .kind = 3, .control = "txtLoIn", .page = 1,
     .help = 1328},
    {.name = "Offset", .type = FieldType::Numeric, .pos = 97, .kind = 2, .control = "txtOffset", .page = 1,
     .help = 1327},
    {.name = "Scale", .type = FieldType::Numeric, .pos = 103, .kind = 4, .control = "txtScale", .page = 1,
     .help = 1326},
    {.name = "SetPt2", .type = FieldType::Numeric, .pos = 109, .kind = 2, .control = "txtSetPt2", .page = 2,
     .help = 1332},
    {.name = "SetPt1", .type = FieldType::Numeric, .pos = 115, .kind = 2, .control = "txtSetpt1", .page = 2,
     .help = 1332},
    {.name = "Revision", .type = FieldType::Byte, .pos = 121, .shown = Shown::Number, .readOnly = true},
    {.name = "Family", .type = FieldType::Byte, .pos = 123, .shown = Shown::Number, .readOnly = true},
    {.name = "StopChar", .type = FieldType::Byte, .pos = 125, .kind = 7, .shown = Shown::CharName,
     .control = "txtTranStop", .page = 3, .help = 1382},
    {.name = "StartChar", .type = FieldType::Byte, .pos = 127, .kind = 7, .shown = Shown::CharName,
     .control = "txtTranStart", .page = 3, .help = 1382},
    {.name = "Parity", .pos = 133, .hi = 1, .lo = 0, .texts = ParityTexts, .control = "cboParity", .page = 3,
     .help = 1386},
    {.name = "SerProtocol", .pos = 133, .hi = 3, .lo = 2, .texts = SerProtocolTexts,
     .control = "cboSerProtocol", .page = 3, .help = 1385},
    {.name = "MBTimeout", .pos = 133, .hi = 5, .lo = 4, .texts = MBTimeoutTexts, .control = "cboMBTimeout",
     .page = 3, .help = 1387},
    {.name = "ModbusAddr", .type = FieldType::Byte, .pos = 135, .kind = 7, .shown = Shown::Number,
     .control = "txtMBAddr", .page = 3, .help = 1388},
}};
// clang-format on

// The two bytes the lockout boxes live in, as the meter's registers carry
// them whole. They are not fields of their own: the boxes are.
inline constexpr std::array<FieldDef, 2> LockoutBytes = {{
    {.name = "Lock2", .pos = 41, .hi = 7, .lo = 0, .shown = Shown::BitPattern},
    {.name = "Lock1", .pos = 43, .hi = 7, .lo = 0, .shown = Shown::BitPattern},
}};

// Characters carried from Get to Put and to files without being read.
struct CharRange {
    int pos;
    int len;
};
inline constexpr std::array<CharRange, 3> UninterpretedRanges = {{{7, 2}, {13, 8}, {129, 4}}};

// ---------------------------------------------------------------------------
// Lookups and field access.

// The whole catalogue, in image order.
[[nodiscard]] std::span<const FieldDef> AllFields();
// The field of that name, found while compiling: an unknown name does not build.
// The lockout bytes (Lock1, Lock2) are found here too.
[[nodiscard]] consteval const FieldDef& FieldNamed(std::string_view name) {
    for (const FieldDef& field : SetupFields)
        if (field.name == name) return field;
    for (const FieldDef& field : LockoutBytes)
        if (field.name == name) return field;
    throw "no field of that name";
}
// nullptr when no field has that name / control (exact spelling).
[[nodiscard]] const FieldDef* FindField(std::string_view name);
// The field a control shows (an element of a control array by its index:
// "chkLock(4)").
[[nodiscard]] const FieldDef* FindFieldByControl(std::string_view control);

// The code a Bits or Byte field holds (0 for numeric fields).
[[nodiscard]] int FieldCode(const SetupImage& image, const FieldDef& field);
// The list entry that shows code: the entry of that code, or the field's
// stand-in entry for codes past the list, or -1 when the list has none.
[[nodiscard]] int EntryForCode(const FieldDef& field, int code);
// The code of list entry index (index itself unless the field lists codes).
[[nodiscard]] int CodeForEntry(const FieldDef& field, int index);
// The text the pages show for code: its list entry, else "code N".
[[nodiscard]] std::string ShownText(const FieldDef& field, int code);
// Writes code into a Bits or Byte field; false (nothing written) for a
// numeric or read-only field.
bool StoreFieldCode(SetupImage& image, const FieldDef& field, int code);
// The help topic of the field's control in the current setup (0 none).
[[nodiscard]] int HelpTopicOf(const FieldDef& field, const DerivedSetup& derived);

// ---------------------------------------------------------------------------
// Derived values.

// ScType, InputMode, InputRange, InputDP, DisplayDP and the three board
// options as the signal-conditioner check derives them: a mode the board
// does not offer becomes its first mode, a range past the mode's list becomes
// 0, and InputDP follows from mode and range (a mode without a rule keeps
// prior.InputDP). The image is not changed. A type code other than 1 or 3
// is left as read: asking the operator about it, and writing the default
// type and mode, is the signal-conditioner check's business.
[[nodiscard]] DerivedSetup DeriveSetup(const SetupImage& image, const DerivedSetup& prior = {});

// ---------------------------------------------------------------------------
// The setup described field by field (wmctl show).

struct FieldRow {
    std::string name;
    std::string code; // the code in decimal; a numeric field's six characters as stored
    std::string text; // what the pages show; "(not in image)" past the end of a short image
};

// One field as described: code and shown text, with the derived values of
// its own setup. The setup pages' views show the same text.
[[nodiscard]] FieldRow DescribeField(const SetupImage& image, const FieldDef& field, const DerivedSetup& derived);
// The text of a lockout bit: "Filter: on".
[[nodiscard]] std::string LockoutText(const FieldDef& field, int bit);

// One row per catalogue field in catalogue order, then the scaling method and
// the input fields' decimal point.
[[nodiscard]] std::vector<FieldRow> DescribeSetup(const SetupImage& image);
// s for a terminal: bytes outside printable ASCII as \xNN, a backslash doubled.
[[nodiscard]] std::string Printable(std::string_view s);
// "name  code  \"text\"" for a terminal: bytes outside printable ASCII as \xNN.
[[nodiscard]] std::string FormatFieldRow(const FieldRow& row);
// {"length":N,"derived":{...},"fields":[{"name":..,"code":..,"text":..},..]}
[[nodiscard]] std::string DescribeSetupJson(const SetupImage& image);
// s as a JSON string literal, quotes included. Bytes 0x80..0xFF are taken
// as Latin-1 (one char per byte, as on the wire) and written as \u00XX.
[[nodiscard]] std::string JsonString(std::string_view s);

} // namespace wm
