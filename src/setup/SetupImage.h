#pragma once
// The meter's whole setup as one text of upper-case hexadecimal digits with
// fixed 1-based character positions (136 after a Custom ASCII Get, 176 "0"
// at start). Every field routine works on positions of this text.
#include <cstdint>
#include <string>

namespace wm {

struct SetupImage {
    std::string text = std::string(176, '0');

    // Bits lo..hi (0 = least significant) of the byte at pos..pos+1, shifted
    // down to bit 0.
    [[nodiscard]] int GetBits(int hi, int lo, int pos) const;
    // Replaces bits lo..hi of the byte at pos..pos+1 with value; the other
    // bits stay; the byte is written back as two upper-case digits.
    void SetBits(int hi, int lo, int pos, int value);
    [[nodiscard]] int ByteAt(int pos) const;
    // The value 0..15 of the digit at pos. A position outside the text, or a
    // character that is not a hexadecimal digit, reads as 0: every reader of
    // the image goes through here, so a short or damaged image never reads
    // out of bounds. Writers (SetBits, StoreEnteredValue, Put) grow a short
    // text with "0" as far as they write and drop writes before position 1.
    [[nodiscard]] int DigitAt(int pos) const;
    // The len digits from pos read as one unsigned hexadecimal number.
    [[nodiscard]] long long HexNumberAt(long long pos, int len) const;
    // Display text of a numeric field (kinds 2, 3, 4, 12, 13, 14, 20). dp is
    // in/out: kind 4 receives the field's own decimal-point code; the other
    // kinds take DisplayDP or InputDP from the caller.
    [[nodiscard]] std::string FormatField(int kind, int pos, int& dp) const;
    // Writes an entered value ("-" or another sign character, digits, at
    // most one point) into the numeric field at pos (kinds 2, 3, 4).
    void StoreEnteredValue(int kind, int pos, const std::string& entered);

    // Characters pos..pos+len-1 (1-based); what lies beyond the end is left out.
    [[nodiscard]] std::string Mid(int pos, int len) const;
    // Overwrites characters from pos on (1-based) with s, growing the text
    // with "0" if it is too short. A write that would end past MaxLength is
    // dropped: no setup is that long, and a wild position must not make the
    // text huge.
    void Put(int pos, const std::string& s);

    static constexpr std::size_t MaxLength = 4096;
};

// Name of a character code for display: "nul" .. "sp " for 0..32, else the
// character itself.
[[nodiscard]] std::string CharName(int code);

// Values derived from the image for the pages, the menu view and the
// signal-conditioner check.
struct DerivedSetup {
    int ScType = 1;     // 1 DC, 3 load cell
    int InputMode = 2;
    int InputRange = 0;
    int InputDP = 6;
    int DisplayDP = 1;
    int RlyOpt = 0, AnaOpt = 0, ComOpt = 0;
    std::string ScTypeText = "01";
};

} // namespace wm
