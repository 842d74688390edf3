#pragma once
// The signal-conditioner calibration's ranges and arithmetic: which ranges a
// DC or load-cell board offers, how a reply to "B1" becomes a reading, and
// how the readings turn the calibration word now in the meter into the
// corrected word that is written back. No exchanges and no window: the
// calibration window drives the meter and calls these.
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace wm {

// Signal-conditioner type codes as the meter reports them.
inline constexpr int kScTypeDC = 1;
inline constexpr int kScTypeLoadCell = 3;

// One entry of the range list. Zero ranges (calcMod = calcTyp = 0) take one
// reading with no input and correct a signed offset word with zeroK; the
// full-scale ranges (calcMod = calcTyp = 1) take a positive and a negative
// reading and correct an unsigned gain word with factor.
struct CalibRange {
    const char* listText; // text in the range list
    const char* p;        // range name shown above the grid
    const char* inb;      // the input signal the operator applies
    int scaleF;           // scale factor written to the meter while calibrating
    const char* f;        // full-scale text: "0V" for the zero ranges, else the range name
    const char* nvAdr;    // address of the calibration word (2 hex digits)
    const char* inpTyp;   // input-type code written for the range (2 hex digits)
    float vDesired;       // the reading the meter should show with the input applied
    int jIndx;            // number of the jumper picture
    int calcMod;          // 0: one reading (zero), 1: positive and negative reading
    int calcTyp;          // 0: zero formula, 1: full-scale formula
    float factor;         // counts of the word per count of reading; 0 for a zero range
    int zeroK;            // tenths of a word per count of reading; 0 for a full-scale range
};

// The ranges of a board in list order; empty for a type other than DC or
// load cell.
[[nodiscard]] std::span<const CalibRange> CalibRanges(int scType);

// The range at a list index, or nullptr when the board has no such entry.
[[nodiscard]] const CalibRange* FindCalibRange(int scType, int listIndex);

// The reply to "B1" with its decimal point deleted ("+805.00" -> "+80500",
// "+80500." -> "+80500"). Only the first point is removed: a reading never
// carries two.
[[nodiscard]] std::string RmvDP(std::string_view reply);

// The number a reading text stands for, read the way the meter's replies are
// read everywhere: blanks are skipped, then an optional sign, digits and an
// optional fraction; the first other character ends the number. A text
// without digits reads as 0, which the full-scale bound then rejects.
[[nodiscard]] double ReadingValue(std::string_view text);

// A full-scale range is calibrated only from a real signal: with the positive
// input the reading must be at least 10000, with the negative input at most
// -10000. Anything nearer zero means the input is missing or reversed.
[[nodiscard]] bool FullScaleReadingOk(double reading, bool positiveInput);

// The reading the full-scale formula corrects towards VDesired: the mean of
// the magnitudes of the positive and the negative reading.
[[nodiscard]] double AvgReading(double plusReading, double minusReading);

// The calibration word as read back by "X1" + NVAdr: 4 hex digits, unsigned
// (0..65535) for a full-scale range and 16-bit two's complement
// (-32768..32767) for a zero range. No value for a text that is not 4 hex
// digits.
[[nodiscard]] std::optional<int> CalibWordValue(std::string_view hex, bool isSigned);

// Rounding of the corrected word: exact halves go to the even integer, so a
// correction of x.5 is not pushed the same way on every repeat.
[[nodiscard]] double RoundHalfEven(double value);

// The unsigned word: clamped to 0..65535, rounded, 4 upper-case hex digits.
[[nodiscard]] std::string MakeHex(double value);

// The signed word: clamped to -32768..32767, rounded, the 4 upper-case hex
// digits of its 16-bit two's complement (-148 -> "FF6C").
[[nodiscard]] std::string MakeHex2(double value);

struct CalibResult {
    double value = 0;        // NewCalib after clamping, before rounding
    std::string hex;         // NewCalibHex, the word written to the meter
    bool outOfRange = false; // the correction had to be clamped to the word's limits
};

// Full-scale correction: NewCalib = (VDesired - AvgReading) x Factor +
// CurCalib, clamped to 0..65535. A range without a factor (a zero range)
// leaves the word as it is.
[[nodiscard]] CalibResult CalcFS(const CalibRange& range, double avgReading, double curCalib);

// Zero correction: NewCalib = CurCalib - K x PlusReading / 10, clamped to
// -32767..32767 (the word keeps -32768 out of reach of a correction).
[[nodiscard]] CalibResult CalcZero(const CalibRange& range, double plusReading, double curCalib);

} // namespace wm
