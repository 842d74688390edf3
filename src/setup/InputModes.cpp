#include "setup/InputModes.h"

#include <algorithm>

#include "comm/Tables.h"

namespace wm {

namespace {

// Every mode the table offers belongs to the board group the meter's own
// code table gives its InCode: group 3 for DC modes, 5 for load-cell modes.
constexpr bool ModesMatchBoardGroups() {
    for (const InputModeDef& m : InputModes) {
        const int group = SCTypeByCode[static_cast<std::size_t>(m.inCode)];
        if (group != (m.scType == ScTypeDC ? 3 : 5)) return false;
    }
    return true;
}
static_assert(ModesMatchBoardGroups(), "input modes and board groups disagree");

} // namespace

const InputModeDef* FindInputMode(int inputMode) {
    const auto it = std::find_if(InputModes.begin(), InputModes.end(),
                                 [inputMode](const InputModeDef& m) { return m.inputMode == inputMode; });
    return it == InputModes.end() ? nullptr : &*it;
}

std::span<const InputModeDef> ModesForScType(int scType) {
    const std::span<const InputModeDef> all(InputModes);
    if (scType >= 0 && scType <= 2) return all.first(3);
    if (scType == ScTypeLoadCell) return all.subspan(3);
    return {};
}

int MaxRange(int inputMode) {
    const InputModeDef* mode = FindInputMode(inputMode);
    return mode == nullptr ? -1 : static_cast<int>(mode->ranges.size()) - 1;
}

int InputDPFor(int inputMode, int inputRange, int unchanged) {
    switch (inputMode) {
    case 2:
    case 6: return 6 - inputRange;
    case 3: return inputRange == 3 ? 4 : 5 - inputRange;
    case 7:
    case 8: return inputRange > 1 ? 3 : 4;
    default: return unchanged;
    }
}

std::string RangeByteText(int inputMode, int inputRange) {
    const int byte = (EncodeInCode(inputMode) * 16 + (inputRange & 0xF)) & 0xFF;
    return {HexDigits[static_cast<std::size_t>(byte >> 4)], HexDigits[static_cast<std::size_t>(byte & 0xF)]};
}

void StoreRangeByte(SetupImage& image, int inputMode, int inputRange) {
    image.Put(kRangeBytePos, RangeByteText(inputMode, inputRange));
}

int DecimalTypeCode(std::string_view text) {
    if (text.size() != 2) return 0;
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!digit(text[0]) || !digit(text[1])) return 0;
    return (text[0] - '0') * 10 + (text[1] - '0');
}

BoardKind BoardKindOf(std::string_view typeText, int inCode) {
    if (inCode < 0 || inCode >= static_cast<int>(SCTypeByCode.size())) return BoardKind::Undetermined;
    const int group = SCTypeByCode[static_cast<std::size_t>(inCode)];
    const int type = DecimalTypeCode(typeText);
    if (type == ScTypeDC && group == 3) return BoardKind::DC;
    if (type == ScTypeLoadCell && group == 5) return BoardKind::LoadCell;
    return BoardKind::Undetermined;
}

StoredRangeVerdict JudgeStoredRange(std::string_view r) {
    StoredRangeVerdict v;
    if (r.size() != 2) return v;
    const int inCode = r[0] >= '0' && r[0] <= '9' ? r[0] - '0' : r[0] >= 'A' && r[0] <= 'F' ? r[0] - 'A' + 10 : -1;
    const InputModeDef* mode = inCode < 0 ? nullptr : FindInputMode(DecodeInCode(inCode));
    // An InCode of 11 decodes to the Ratio mode but is never written: only
    // the codes the table writes name a mode here.
    if (mode == nullptr || mode->inCode != inCode) return v;
    const int range = r[1] >= '0' && r[1] <= '9' ? r[1] - '0' : 0; // a letter counts as 0
    v.corrupt = false;
    v.loadCell = mode->scType == ScTypeLoadCell;
    v.rangeValid = range <= MaxRange(mode->inputMode);
    return v;
}

} // namespace wm
