#pragma once
// The signal-conditioner board and its input modes: every rule about the
// board's type code, the input mode code (InCode, the high digit of byte 55),
// the ranges a mode offers and the decimal point of the input fields lives
// here, and the setup pages, the signal-conditioner check, the Put's
// compatibility check, the SigCondType verdict and `wmctl show` all ask it.
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "setup/SetupImage.h"

namespace wm {

namespace detail {
template <std::size_t N>
constexpr std::array<std::string_view, N> CutPieces(std::string_view source, std::size_t width) {
    std::array<std::string_view, N> pieces{};
    for (std::size_t i = 0; i < N; ++i) pieces[i] = source.substr(i * width, width);
    return pieces;
}
} // namespace detail

// ---------------------------------------------------------------------------
// Input modes and their ranges. The range texts are cut from three fixed
// strings in pieces of 6, 7 and 8 characters.

inline constexpr std::string_view VoltRangeSource = "  0.2V  2.0V 20.0V200.0V660.0V";
inline constexpr std::string_view CurrentRangeSource = "  2.0mA 20.0mA200.0mA  5.0A ";
inline constexpr std::string_view MilliVoltRangeSource = "  20.0mV  50.0mV 100.0mV 250.0mV 500.0mV";

inline constexpr auto VoltRanges = detail::CutPieces<5>(VoltRangeSource, 6);
inline constexpr auto CurrentRanges = detail::CutPieces<4>(CurrentRangeSource, 7);
inline constexpr auto MilliVoltRanges = detail::CutPieces<5>(MilliVoltRangeSource, 8);

inline constexpr int ScTypeDC = 1;
inline constexpr int ScTypeLoadCell = 3;

struct InputModeDef {
    int inputMode;
    int inCode;
    std::string_view text;
    int scType; // the board that offers it
    std::span<const std::string_view> ranges;
};

// DC modes first, then load-cell modes, each group in list order.
inline constexpr std::array<InputModeDef, 5> InputModes = {{
    {2, 6, "DC V", ScTypeDC, VoltRanges},
    {3, 7, "DC A", ScTypeDC, CurrentRanges},
    {6, 10, "Ratio", ScTypeDC, std::span<const std::string_view>(VoltRanges).first(3)},
    {7, 12, "Strain", ScTypeLoadCell, MilliVoltRanges},
    {8, 13, "DC mV", ScTypeLoadCell, MilliVoltRanges},
}};

inline constexpr std::array<std::string_view, 5> InCodeTexts = {"DC V", "DC A", "Ratio", "Strain", "DC mV"};
inline constexpr std::array<int, 5> InCodeCodes = {6, 7, 10, 12, 13};

// InputMode -> InCode: mode + 4, one more when that exceeds 10 (11 is never written).
[[nodiscard]] constexpr int EncodeInCode(int inputMode) {
    const int code = inputMode + 4;
    return code > 10 ? code + 1 : code;
}
// InCode -> InputMode: code - 4, one less again when that exceeds 6.
[[nodiscard]] constexpr int DecodeInCode(int inCode) {
    const int mode = inCode - 4;
    return mode > 6 ? mode - 1 : mode;
}

// The mode's entry in InputModes, or nullptr for a mode the meter does not have.
[[nodiscard]] const InputModeDef* FindInputMode(int inputMode);
// The modes a board offers, in list order: DC for types 0..2 (as page 1 lists
// them), load cell for 3, none otherwise.
[[nodiscard]] std::span<const InputModeDef> ModesForScType(int scType);
// Largest valid range index of a mode, or -1 when the mode is not limited.
[[nodiscard]] int MaxRange(int inputMode);
// Decimal-point code of the input fields (kind 3) for a mode and range;
// modes without a rule give `unchanged`.
[[nodiscard]] int InputDPFor(int inputMode, int inputRange, int unchanged);
// The range byte: InCode in its high digit, the range (Func) in its low.
inline constexpr int kRangeBytePos = 55;
// Byte 55 as written: two hex digits of InCode * 16 + range.
[[nodiscard]] std::string RangeByteText(int inputMode, int inputRange);
void StoreRangeByte(SetupImage& image, int inputMode, int inputRange);


// ---------------------------------------------------------------------------
// The board's type code (characters 35-36).

// The type code is read as a two-digit decimal number: "01" DC, "03" load
// cell. Anything that is not two decimal digits reads as 0, so a damaged code
// ("1F", "3A") never passes for a board: it is a corrupt type, the same
// everywhere the code is read.
[[nodiscard]] int DecimalTypeCode(std::string_view text);
[[nodiscard]] constexpr bool IsKnownScType(int scType) {
    return scType == ScTypeDC || scType == ScTypeLoadCell;
}

// What a type code together with an input mode code (the high digit of the
// range byte) says about the board: a DC board in a DC mode, a load-cell
// board in a load-cell mode, or nothing the program can vouch for.
enum class BoardKind { Undetermined, DC, LoadCell };
[[nodiscard]] BoardKind BoardKindOf(std::string_view typeText, int inCode);

// The meter's stored input-mode/range byte R (two hex digits) judged as the
// SigCondType menu explains it: the high digit names a mode (corrupt when it
// names none), the low digit read as a decimal digit (a letter counts as 0)
// must lie within that mode's ranges.
struct StoredRangeVerdict {
    bool corrupt = true;
    bool loadCell = false;
    bool rangeValid = false;
};
[[nodiscard]] StoredRangeVerdict JudgeStoredRange(std::string_view r);

} // namespace wm
