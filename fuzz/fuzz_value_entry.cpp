// The value entry's boxes under an arbitrary stream of keys: the kind and the
// text the page shows come from the first bytes (a value the page could show,
// or any bytes at all), then every byte is a key: Left, Right, Enter, a click
// on a box, or a character typed. After every key the boxes, the current box
// and the point must still make sense, and whatever Enter stores must be hex
// digits at the field's width, with nothing written beside the field.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "setup/SetupImage.h"
#include "setup/ValueEntry.h"

namespace {

using wm::KeyOutcome;
using wm::SetupImage;
using wm::ValueEntry;
using wm::fuzz::Bytes;
using wm::fuzz::IsUpperHex;

constexpr int Pos = 21; // a field with neighbours on both sides
constexpr char Filler = '7';

int Kind(Bytes& in) {
    constexpr int kinds[] = {2, 3, 4, 7};
    return kinds[in.Below(4)];
}

// The field's own digits.
int Width(int kind) { return kind == 7 ? 2 : 6; }

// A text the page shows for a stored field (the field's digits from the
// input, formatted as the page formats them), or any bytes at all.
std::string EntryText(Bytes& in, int kind, bool& shownByPage) {
    shownByPage = in.Bit();
    if (!shownByPage) return in.Counted();
    if (kind == 7) return " " + std::to_string(in.Byte());
    SetupImage image;
    std::string digits;
    for (int i = 0; i < 6; ++i) digits += "0123456789ABCDEF"[in.Below(16)];
    image.Put(Pos, digits);
    int dp = 1 + in.Below(8); // the display's or the input's point
    return image.FormatField(kind, Pos, dp);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void CheckBoxes(const ValueEntry& entry, bool shownByPage) {
    WM_FUZZ_CHECK(entry.Current() >= entry.FirstBox() && entry.Current() <= ValueEntry::LastBox);
    WM_FUZZ_CHECK(entry.BoxVisible(entry.Current()));
    int points = 0;
    for (int i = 0; i < ValueEntry::BoxCount; ++i) {
        const std::string& box = entry.Box(i);
        // One character, then the point when the box carries it.
        WM_FUZZ_CHECK(box.size() <= 2);
        WM_FUZZ_CHECK(box.size() < 2 || box[1] == '.');
        if (box.find('.') != std::string::npos) ++points;
        if (!shownByPage || !entry.BoxVisible(i)) continue;
        // From a value the page shows, the sign box holds a sign and the
        // others a digit, whatever was typed.
        WM_FUZZ_CHECK(!box.empty());
        if (i == 0 && entry.Kind() != 7)
            WM_FUZZ_CHECK(box[0] == '+' || box[0] == '-');
        else
            WM_FUZZ_CHECK(IsDigit(box[0]));
    }
    // Any text may hold stray points; one the page shows has one at most,
    // and keeps one at most whatever is typed.
    if (shownByPage) WM_FUZZ_CHECK(points <= 1);
    if (shownByPage && entry.Kind() == 7) WM_FUZZ_CHECK(points == 0);
}

void CheckEnter(ValueEntry& entry, bool shownByPage) {
    SetupImage image;
    image.text = std::string(60, Filler);
    const std::string before = image.text;
    const KeyOutcome outcome = entry.Enter(image);
    const int width = Width(entry.Kind());
    if (outcome != KeyOutcome::Stored) {
        // Only a byte above 255 is refused, and then nothing is written.
        WM_FUZZ_CHECK(entry.Kind() == 7 && outcome == KeyOutcome::DroppedBeep);
        WM_FUZZ_CHECK(entry.Current() == 4);
        WM_FUZZ_CHECK(image.text == before);
        return;
    }
    WM_FUZZ_CHECK(image.text.size() == before.size());
    WM_FUZZ_CHECK(image.text.compare(0, Pos - 1, before, 0, Pos - 1) == 0);
    WM_FUZZ_CHECK(image.text.compare(Pos - 1 + width, std::string::npos, before, Pos - 1 + width) == 0);
    WM_FUZZ_CHECK(IsUpperHex(image.Mid(Pos, width)));
    if (entry.Kind() == 7) {
        WM_FUZZ_CHECK(entry.LastByteEntry() && *entry.LastByteEntry() == image.ByteAt(Pos));
    }
    if (!shownByPage) return;

    // The page hands the new text on, and it is read again where it is
    // stored: it must give the same digits.
    SetupImage again;
    again.text = std::string(60, Filler);
    ValueEntry reread(entry.Kind(), Pos, entry.EntryText());
    WM_FUZZ_CHECK(reread.Enter(again) == KeyOutcome::Stored);
    WM_FUZZ_CHECK(again.Mid(Pos, width) == image.Mid(Pos, width));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const int kind = Kind(in);
    bool shownByPage = false;
    const std::string text = EntryText(in, kind, shownByPage);
    ValueEntry entry(kind, Pos, text);
    CheckBoxes(entry, shownByPage);

    while (!in.Empty()) {
        const std::uint8_t key = in.Byte();
        switch (key) {
        case 0x01: entry.Left(); break;
        case 0x02: entry.Right(); break;
        case 0x03: entry.Focus(in.Below(8) - 1); break; // sometimes a box that is not there
        case '\r': CheckEnter(entry, shownByPage); break;
        default: entry.Type(static_cast<char>(key)); break;
        }
        CheckBoxes(entry, shownByPage);
    }
    CheckEnter(entry, shownByPage);
    return 0;
}
