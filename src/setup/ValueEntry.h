#pragma once
// The value entry dialog without its window: the meter's own front-panel
// entry of a numeric setup value, as six one-character boxes (a sign box and
// five digits), a decimal point that sits on one box, and a current box the
// keys act on. The dialog turns key strokes into calls here, beeps or not as
// told, and paints Box(0..5); on Enter the value goes into the setup image.
//
// Kinds: 2 and 3 have a fixed point where the value had it; kind 4 carries
// its point in the stored field, so the user moves it by typing "."; kind 7
// is one byte 0..255 in boxes 3..5 (the sign box and the first two digit
// boxes are hidden).
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "setup/SetupImage.h"

namespace wm {

enum class KeyOutcome {
    Taken,       // the key changed a box, the point or the current box
    Dropped,     // refused without a sound
    DroppedBeep, // refused with a beep
    Stored,      // Enter: the value is in the image; the dialog closes
};

class ValueEntry {
public:
    static constexpr int BoxCount = 6;
    static constexpr int LastBox = BoxCount - 1;

    // Loads the boxes from the value as the page shows it (FormatField's text
    // for kinds 2, 3 and 4, the byte's decimal value for kind 7). pos is the
    // field's 1-based position in the setup image.
    ValueEntry(int kind, int pos, std::string_view entryText);

    [[nodiscard]] int Kind() const { return kind_; }
    [[nodiscard]] int Current() const { return current_; }
    // 6 - the box that carries the point; 7 or more: no box does.
    [[nodiscard]] int PointCode() const { return pointCode_; }
    [[nodiscard]] bool PastLastDigit() const { return pastLastDigit_; }
    [[nodiscard]] int FirstBox() const { return kind_ == 7 ? 3 : 0; }
    [[nodiscard]] bool BoxVisible(int box) const { return box >= FirstBox() && box <= LastBox; }
    // The box's text: its character, followed by "." when it carries the point.
    [[nodiscard]] const std::string& Box(int box) const;

    // The user clicked a visible box.
    void Focus(int box);

    KeyOutcome Left();
    KeyOutcome Right();
    // A printable key typed on the current box.
    KeyOutcome Type(char c);
    // Enter or OK: writes the value at pos and sets EntryText. A kind-7 value
    // of 256 or more is refused with a beep and the middle digit gets the
    // focus; the image is then untouched.
    KeyOutcome Enter(SetupImage& image);

    // After Stored: the value as the page shows it from now on.
    [[nodiscard]] const std::string& EntryText() const { return entryText_; }
    // Kind 7 after Stored: the byte written; empty before.
    [[nodiscard]] std::optional<int> LastByteEntry() const { return lastByteEntry_; }

private:
    [[nodiscard]] bool CarriesPoint(int box) const;
    [[nodiscard]] bool BoxAccepts(int box, char c) const;
    void MovePoint(int box);
    [[nodiscard]] std::string JoinedBoxes() const;

    int kind_;
    int pos_;
    int current_ = 0;
    int pointCode_ = 8;
    bool pastLastDigit_ = false;
    std::array<std::string, BoxCount> boxes_{};
    std::string entryText_;
    std::optional<int> lastByteEntry_;
};

} // namespace wm
