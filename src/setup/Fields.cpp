#include "setup/Fields.h"

#include <algorithm>

#include "comm/Tables.h"

namespace wm {

namespace {

constexpr bool EveryEntryFilled() {
    return std::all_of(SetupFields.begin(), SetupFields.end(),
                       [](const FieldDef& f) { return !f.name.empty() && f.pos >= 1; });
}
static_assert(EveryEntryFilled(), "the field table's size must match its entries");
static_assert(FieldNamed("InCode").pos == kRangeBytePos && FieldNamed("Func").pos == kRangeBytePos,
              "the input modes' range byte is the catalogue's");

constexpr int kNoRule = -1;

std::string CodeText(int code) { return "code " + std::to_string(code); }

std::string TwoHexDigits(int value) {
    return {HexDigits[static_cast<std::size_t>((value >> 4) & 0xF)],
            HexDigits[static_cast<std::size_t>(value & 0xF)]};
}

std::string TrimRight(std::string_view s) {
    const auto end = s.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1));
}

std::string OnOff(int bit) { return bit != 0 ? "on" : "off"; }

std::string BitPattern(int byte) {
    std::string s;
    for (int bit = 7; bit >= 0; --bit) s += ((byte >> bit) & 1) != 0 ? '1' : '0';
    return s;
}

// The mode's text, or "code N" for an InCode that names no mode; when the
// pages show another mode than the stored code names, both are given.
std::string InputModeText(int storedCode, const DerivedSetup& derived) {
    const InputModeDef* shown = FindInputMode(derived.InputMode);
    if (shown == nullptr) return CodeText(storedCode);
    if (DecodeInCode(storedCode) == derived.InputMode) return std::string(shown->text);
    return CodeText(storedCode) + ", shown as " + std::string(shown->text);
}

std::string InputRangeText(int storedRange, const DerivedSetup& derived) {
    const InputModeDef* mode = FindInputMode(derived.InputMode);
    if (mode == nullptr || derived.InputRange < 0 ||
        static_cast<std::size_t>(derived.InputRange) >= mode->ranges.size())
        return CodeText(storedRange);
    const std::string range(mode->ranges[static_cast<std::size_t>(derived.InputRange)]);
    if (storedRange == derived.InputRange) return range;
    return CodeText(storedRange) + ", shown as " + range;
}

std::string SignalConditionerText(const DerivedSetup& derived) {
    if (derived.ScType == ScTypeDC) return std::string(ScTypeTexts[0]);
    if (derived.ScType == ScTypeLoadCell) return std::string(ScTypeTexts[1]);
    return "not DC or Load Cell";
}

// The option button's caption without its pointer: "Scale,Offset  >" -> "Scale,Offset".
std::string ScalingMethodText(ScalingMethod method) {
    std::string_view caption = SclOffCaption;
    if (method == ScalingMethod::Coordinates) caption = CoordCaption;
    if (method == ScalingMethod::ReadingCoordinates) caption = RdCoordCaption;
    caption.remove_suffix(1);
    return TrimRight(caption);
}

std::string PointPattern(int dp) {
    const int code = std::clamp(dp, 1, 6);
    return std::string(DecPtTexts[static_cast<std::size_t>(code - 1)]);
}

void AppendDerivedRows(const SetupImage& image, const DerivedSetup& derived, std::vector<FieldRow>& rows) {
    const ScalingMethod method = ScalingMethodOf(image);
    rows.push_back({"ScaleMethod", std::to_string(static_cast<int>(method)), ScalingMethodText(method)});
    rows.push_back({"InputDP", std::to_string(derived.InputDP), PointPattern(derived.InputDP)});
}


} // namespace

std::string Printable(std::string_view s) {
    std::string out;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '\\') {
            out += c;
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += "\\x";
            out += TwoHexDigits(u);
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Scaling method

ScalingMethod ScalingMethodOf(const SetupImage& image) {
    if (FieldCode(image, FieldNamed("RdCoord")) == 1) return ScalingMethod::ReadingCoordinates;
    if (FieldCode(image, FieldNamed("Coord")) == 1) return ScalingMethod::Coordinates;
    return ScalingMethod::ScaleOffset;
}

void SetScalingMethod(SetupImage& image, ScalingMethod method) {
    switch (method) {
    case ScalingMethod::Coordinates:
        StoreFieldCode(image, FieldNamed("Coord"), 1);
        StoreFieldCode(image, FieldNamed("RdCoord"), 0);
        break;
    case ScalingMethod::ScaleOffset:
        StoreFieldCode(image, FieldNamed("Coord"), 0);
        StoreFieldCode(image, FieldNamed("RdCoord"), 0);
        break;
    case ScalingMethod::ReadingCoordinates: StoreFieldCode(image, FieldNamed("RdCoord"), 1); break;
    }
}

// ---------------------------------------------------------------------------
// Lookups and field access

std::span<const FieldDef> AllFields() { return SetupFields; }

const FieldDef* FindField(std::string_view name) {
    const auto it = std::find_if(SetupFields.begin(), SetupFields.end(),
                                 [name](const FieldDef& f) { return f.name == name; });
    return it == SetupFields.end() ? nullptr : &*it;
}

const FieldDef* FindFieldByControl(std::string_view control) {
    if (control.empty()) return nullptr;
    const auto it = std::find_if(SetupFields.begin(), SetupFields.end(),
                                 [control](const FieldDef& f) { return f.control == control; });
    return it == SetupFields.end() ? nullptr : &*it;
}

int FieldCode(const SetupImage& image, const FieldDef& field) {
    switch (field.type) {
    case FieldType::Numeric: return 0;
    case FieldType::Byte: return image.ByteAt(field.pos);
    case FieldType::Bits: break;
    }
    return image.GetBits(field.hi, field.lo, field.pos);
}

int EntryForCode(const FieldDef& field, int code) {
    if (field.codes.empty()) {
        if (code >= 0 && static_cast<std::size_t>(code) < field.texts.size()) return code;
    } else {
        const auto it = std::find(field.codes.begin(), field.codes.end(), code);
        if (it != field.codes.end()) return static_cast<int>(it - field.codes.begin());
    }
    return field.texts.empty() ? -1 : field.shownAsEntry;
}

int CodeForEntry(const FieldDef& field, int index) {
    if (field.codes.empty() || index < 0 || static_cast<std::size_t>(index) >= field.codes.size())
        return index;
    return field.codes[static_cast<std::size_t>(index)];
}

std::string ShownText(const FieldDef& field, int code) {
    const int entry = EntryForCode(field, code);
    if (entry < 0 || static_cast<std::size_t>(entry) >= field.texts.size()) return CodeText(code);
    return std::string(field.texts[static_cast<std::size_t>(entry)]);
}

bool StoreFieldCode(SetupImage& image, const FieldDef& field, int code) {
    if (field.readOnly || field.type == FieldType::Numeric) return false;
    image.SetBits(field.hi, field.lo, field.pos, code);
    return true;
}

int HelpTopicOf(const FieldDef& field, const DerivedSetup& derived) {
    switch (field.helpRule) {
    case HelpRule::PlusScType: return field.help + derived.ScType;
    case HelpRule::PlusInputMode: return field.help + derived.InputMode;
    case HelpRule::Fixed: break;
    }
    return field.help;
}

// ---------------------------------------------------------------------------
// Derived values

DerivedSetup DeriveSetup(const SetupImage& image, const DerivedSetup& prior) {
    DerivedSetup d = prior;
    d.ScTypeText = image.Mid(FieldNamed("ScTypeCode").pos, 2); // the whole byte, read as a decimal code
    d.ScType = DecimalTypeCode(d.ScTypeText);

    d.InputMode = DecodeInCode(FieldCode(image, FieldNamed("InCode")));
    const auto offered = [&d] {
        const auto modes = ModesForScType(d.ScType);
        return std::any_of(modes.begin(), modes.end(),
                           [&d](const InputModeDef& m) { return m.inputMode == d.InputMode; });
    };
    if (IsKnownScType(d.ScType) && !offered()) d.InputMode = ModesForScType(d.ScType).front().inputMode;

    d.InputRange = FieldCode(image, FieldNamed("Func"));
    const int maxRange = MaxRange(d.InputMode);
    if (maxRange != kNoRule && d.InputRange > maxRange) d.InputRange = 0;

    d.InputDP = InputDPFor(d.InputMode, d.InputRange, d.InputDP);
    d.DisplayDP = FieldCode(image, FieldNamed("DecPt"));
    d.RlyOpt = FieldCode(image, FieldNamed("RlyOpt"));
    d.AnaOpt = FieldCode(image, FieldNamed("AnaOpt"));
    d.ComOpt = FieldCode(image, FieldNamed("ComOpt"));
    return d;
}

// ---------------------------------------------------------------------------
// Description

FieldRow DescribeField(const SetupImage& image, const FieldDef& field, const DerivedSetup& derived) {
    FieldRow row{std::string(field.name), {}, {}};
    if (static_cast<std::size_t>(field.LastPos()) > image.text.size()) {
        row.text = "(not in image)";
        return row;
    }
    if (field.type == FieldType::Numeric) {
        int dp = field.kind == FieldKind::Input ? derived.InputDP : derived.DisplayDP;
        row.code = image.Mid(field.pos, 6);
        row.text = image.FormatField(field.kind, field.pos, dp);
        return row;
    }
    const int code = FieldCode(image, field);
    row.code = std::to_string(code);
    switch (field.shown) {
    case Shown::ListText: row.text = ShownText(field, code); break;
    case Shown::Number: row.text = std::to_string(code); break;
    case Shown::CharName: row.text = CharName(code); break;
    case Shown::BitPattern: row.text = BitPattern(code); break;
    case Shown::CheckBox: row.text = OnOff(code); break;
    case Shown::SignalConditioner:
        row.code = derived.ScTypeText;
        row.text = SignalConditionerText(derived);
        break;
    case Shown::InputMode: row.text = InputModeText(code, derived); break;
    case Shown::InputRange: row.text = InputRangeText(code, derived); break;
    case Shown::Lockout: row.text = LockoutText(field, code); break;
    }
    return row;
}

std::string LockoutText(const FieldDef& field, int bit) { return TrimRight(field.caption) + ": " + OnOff(bit); }

std::vector<FieldRow> DescribeSetup(const SetupImage& image) {
    const DerivedSetup derived = DeriveSetup(image);
    std::vector<FieldRow> rows;
    rows.reserve(SetupFields.size() + 2);
    for (const FieldDef& field : SetupFields) rows.push_back(DescribeField(image, field, derived));
    AppendDerivedRows(image, derived, rows);
    return rows;
}

std::string FormatFieldRow(const FieldRow& row) {
    std::string line = Printable(row.name);
    line.resize(std::max<std::size_t>(line.size() + 1, 13), ' ');
    line += Printable(row.code);
    line.resize(std::max<std::size_t>(line.size() + 1, 22), ' ');
    return line + "\"" + Printable(row.text) + "\"";
}

std::string JsonString(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20 || u >= 0x7F) {
                out += "\\u00";
                out += TwoHexDigits(u);
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string DescribeSetupJson(const SetupImage& image) {
    const DerivedSetup d = DeriveSetup(image);
    std::string out = "{\"length\":" + std::to_string(image.text.size()) + ",\"derived\":{";
    out += "\"ScType\":" + std::to_string(d.ScType) + ",\"ScTypeText\":" + JsonString(d.ScTypeText);
    out +=
        ",\"InputMode\":" + std::to_string(d.InputMode) + ",\"InputRange\":" + std::to_string(d.InputRange);
    out += ",\"InputDP\":" + std::to_string(d.InputDP) + ",\"DisplayDP\":" + std::to_string(d.DisplayDP);
    out += ",\"RlyOpt\":" + std::to_string(d.RlyOpt) + ",\"AnaOpt\":" + std::to_string(d.AnaOpt);
    out += ",\"ComOpt\":" + std::to_string(d.ComOpt) + "},\"fields\":[";
    bool first = true;
    for (const FieldRow& row : DescribeSetup(image)) {
        if (!first) out += ',';
        first = false;
        out += "{\"name\":" + JsonString(row.name) + ",\"code\":" + JsonString(row.code) +
               ",\"text\":" + JsonString(row.text) + "}";
    }
    return out + "]}";
}

} // namespace wm
