// The setup image's field routines on arbitrary images (short, long, not hex)
// and arbitrary positions, bit ranges and entered texts: a run of operations
// taken from the input, each checked against what it promises.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "setup/Defaults.h"
#include "setup/Fields.h"
#include "setup/SetupImage.h"

namespace {

using wm::SetupImage;
using wm::fuzz::Bytes;
using wm::fuzz::IsUpperHex;

// Mostly positions a setup has, sometimes the ones no setup has.
int Position(Bytes& in) {
    const std::uint8_t b = in.Byte();
    if (b < 200) return b;
    switch (b % 8) {
    case 0: return INT_MIN;
    case 1: return INT_MAX;
    case 2: return -1;
    case 3: return static_cast<int>(SetupImage::MaxLength) - 1;
    case 4: return static_cast<int>(SetupImage::MaxLength);
    default: return static_cast<std::int16_t>(in.Word());
    }
}

int SmallSigned(Bytes& in) { return static_cast<int>(in.Byte() % 12) - 2; } // -2..9

SetupImage Image(Bytes& in, bool& describe) {
    SetupImage image;
    const std::uint8_t kind = in.Byte();
    describe = (kind & 0x80) != 0;
    switch (kind % 4) {
    case 0: image.text = in.Counted(); break; // anything at all
    case 1: break;                            // 176 "0", as at start-up
    case 2: image.text = std::string(wm::DefaultSetupText); break;
    default:
        image.text.clear();
        for (const char c : in.Counted())
            image.text += "0123456789ABCDEFabcdef"[static_cast<std::uint8_t>(c) % 22];
    }
    return image;
}

// Characters outside [from, to] (1-based) are as they were; the text grew
// only with "0".
void OnlyChanged(const std::string& before, const std::string& after, long long from, long long to) {
    WM_FUZZ_CHECK(after.size() >= before.size() && after.size() <= std::max(before.size(), SetupImage::MaxLength));
    std::string expected = before;
    expected.resize(after.size(), '0');
    const auto size = static_cast<long long>(after.size());
    const auto head = static_cast<std::size_t>(std::clamp(from - 1, 0LL, size));
    const auto tail = static_cast<std::size_t>(std::clamp(to, 0LL, size));
    WM_FUZZ_CHECK(expected.compare(0, head, after, 0, head) == 0);
    WM_FUZZ_CHECK(expected.compare(tail, std::string::npos, after, tail, std::string::npos) == 0);
}

bool Writable(int pos, int width) {
    return pos >= 1 && static_cast<long long>(pos) - 1 + width <= static_cast<long long>(SetupImage::MaxLength);
}

void Bits(SetupImage& image, Bytes& in, bool write) {
    const int hi = SmallSigned(in), lo = SmallSigned(in), pos = Position(in);
    const int cutHi = std::min(hi, 7), cutLo = std::max(lo, 0);
    const int mask = cutLo <= cutHi ? (1 << (cutHi - cutLo + 1)) - 1 : 0;
    if (!write) {
        const int v = image.GetBits(hi, lo, pos);
        WM_FUZZ_CHECK(v >= 0 && v <= mask);
        return;
    }
    const int value = static_cast<std::int16_t>(in.Word());
    const std::string before = image.text;
    const int otherBits = image.ByteAt(pos) & ~(mask << cutLo) & 0xFF;
    image.SetBits(hi, lo, pos, value);
    if (mask == 0 || !Writable(pos, 2)) {
        WM_FUZZ_CHECK(image.text == before);
        return;
    }
    OnlyChanged(before, image.text, pos, pos + 1);
    WM_FUZZ_CHECK(IsUpperHex(image.Mid(pos, 2)) && image.Mid(pos, 2).size() == 2);
    WM_FUZZ_CHECK(image.GetBits(hi, lo, pos) == (value & mask));
    WM_FUZZ_CHECK((image.ByteAt(pos) & ~(mask << cutLo) & 0xFF) == otherBits);
}

void Format(const SetupImage& image, Bytes& in) {
    static constexpr int kKinds[] = {2, 3, 4, 12, 13, 14, 20};
    const std::uint8_t k = in.Byte();
    const int kind = k < 240 ? kKinds[k % 7] : static_cast<std::int8_t>(in.Byte());
    const int pos = Position(in);
    int dp = static_cast<std::int8_t>(in.Byte());
    const std::string shown = image.FormatField(kind, pos, dp);
    if (kind == 20) {
        WM_FUZZ_CHECK(shown.size() == 3 && std::stoi(shown) == image.ByteAt(pos));
        return;
    }
    WM_FUZZ_CHECK(dp >= 1 && dp <= 6);
    // " +" or " - " (or one sign character in the menu view's style), then
    // five digits with the point among them.
    WM_FUZZ_CHECK(kind >= 10 ? shown.size() == 7 : (shown.size() == 8 || shown.size() == 9));
    WM_FUZZ_CHECK(shown.find('.') == shown.size() - static_cast<std::size_t>(dp));
    WM_FUZZ_CHECK(shown.find('.') == shown.rfind('.'));
}

void Enter(SetupImage& image, Bytes& in) {
    const std::uint8_t k = in.Byte();
    const int kind = k < 240 ? 2 + k % 3 : static_cast<std::int8_t>(in.Byte());
    const int pos = Position(in);
    std::string entered = in.Take(in.Byte() % 16);
    for (char& c : entered) // mostly what a person types into a numeric field
        if (static_cast<std::uint8_t>(c) < 0xC0) c = "-+.0123456789 "[static_cast<std::uint8_t>(c) % 14];

    const std::string before = image.text;
    image.StoreEnteredValue(kind, pos, entered);
    if ((kind != 2 && kind != 3 && kind != 4) || entered.empty() || !Writable(pos, 6)) {
        WM_FUZZ_CHECK(image.text == before);
        return;
    }
    OnlyChanged(before, image.text, pos, pos + 5);
    WM_FUZZ_CHECK(IsUpperHex(image.Mid(pos, 6)) && image.Mid(pos, 6).size() == 6);

    // A magnitude of up to five digits reads back as entered, with its sign.
    long long m = 0;
    for (std::size_t i = 1; i < entered.size(); ++i)
        if (entered[i] >= '0' && entered[i] <= '9') m = (m * 10 + (entered[i] - '0')) % 0x1000000;
    if (m >= 100000) return;
    int dp = 1;
    const std::string shown = image.FormatField(kind, pos, dp);
    std::string digits;
    for (const char c : shown)
        if (c >= '0' && c <= '9') digits += c;
    const std::string expected = std::to_string(m);
    WM_FUZZ_CHECK(digits == std::string(5 - expected.size(), '0') + expected);
    const bool negative = entered.front() == '-' && (kind == 4 || m != 0);
    WM_FUZZ_CHECK((shown.find('-') != std::string::npos) == negative);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    bool describe = false;
    SetupImage image = Image(in, describe);
    for (int step = 0; step < 64 && !in.Empty(); ++step) {
        switch (in.Byte() % 4) {
        case 0: Bits(image, in, false); break;
        case 1: Bits(image, in, true); break;
        case 2: Format(image, in); break;
        default: Enter(image, in); break;
        }
        WM_FUZZ_CHECK(image.text.size() <= std::max<std::size_t>(SetupImage::MaxLength, 255));
    }
    if (!describe) return 0;
    // Everything that reads the whole image field by field (now and then:
    // it costs more than all the steps above).
    const wm::DerivedSetup derived = wm::DeriveSetup(image);
    WM_FUZZ_CHECK(derived.DisplayDP >= 0 && derived.DisplayDP <= 7);
    const auto rows = wm::DescribeSetup(image);
    WM_FUZZ_CHECK(rows.size() >= wm::AllFields().size());
    for (const auto& row : rows) (void)wm::FormatFieldRow(row);
    (void)wm::DescribeSetupJson(image);
    return 0;
}
