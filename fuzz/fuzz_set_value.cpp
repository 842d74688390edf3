// `wmctl set`'s way in: fields set by name from arbitrary texts through the
// setup editor, on the default setup or an arbitrary one. A refused value
// leaves the image exactly as it was; an accepted one writes hexadecimal
// digits into the field's own characters and those its rules tie to it, and
// nowhere else.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "setup/Defaults.h"
#include "setup/Fields.h"
#include "setup/SetupEditor.h"

namespace {

using wm::fuzz::Bytes;

// Mostly what a person would type for a field, sometimes anything.
std::string Value(Bytes& in, const wm::FieldDef& field) {
    const std::uint8_t how = in.Byte();
    if (how % 4 == 0 && !field.texts.empty()) return std::string(field.texts[in.Byte() % field.texts.size()]);
    std::string value = in.Take(in.Byte() % 12);
    if (how % 4 == 3) return value;
    for (char& c : value) c = "-+.0123456789 onf"[static_cast<std::uint8_t>(c) % 17];
    return value;
}

// Characters an edit of the field may change: its own, and those of the
// fields its rules set (board type and byte 55; the scaling method's two
// bytes).
std::vector<std::pair<int, int>> Writable(const wm::FieldDef& field) {
    std::vector<std::pair<int, int>> spans = {{field.pos, field.LastPos()}};
    if (field.name == "ScTypeCode" || field.name == "InCode" || field.name == "Func") spans.push_back({55, 56});
    if (field.name == "Coord" || field.name == "RdCoord") {
        spans.push_back({33, 34});
        spans.push_back({53, 54});
    }
    return spans;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    wm::SetupImage image;
    image.text = std::string(wm::DefaultSetupText);
    if (in.Bit()) {
        std::string hex;
        for (const char c : in.Counted()) hex += "0123456789ABCDEF"[static_cast<std::uint8_t>(c) % 16];
        image.text.replace(0, hex.size(), hex);
    }
    wm::LinkState link;
    link.MeterRevision = in.Byte() % 16;
    link.MeterFamily = in.Byte() % 8;
    wm::DerivedSetup derived = wm::DeriveSetup(image);
    wm::SetupEditor editor(image, derived, link);

    const auto fields = wm::AllFields();
    for (int step = 0; step < 16 && !in.Empty(); ++step) {
        const wm::FieldDef& field = fields[in.Byte() % fields.size()];
        const std::string value = Value(in, field);
        const std::string before = image.text;
        const wm::EditResult result = editor.SetField(field.name, value);
        if (!result.ok) {
            WM_FUZZ_CHECK(image.text == before);
            WM_FUZZ_CHECK(result.problem.find(field.name) != std::string::npos);
            continue;
        }
        WM_FUZZ_CHECK(image.text.size() == before.size());
        std::string expected = before;
        for (const auto& [from, to] : Writable(field))
            expected.replace(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1),
                             image.Mid(from, to - from + 1));
        WM_FUZZ_CHECK(image.text == expected);
        for (int pos = field.pos; pos <= field.LastPos(); ++pos) {
            const char c = image.text[static_cast<std::size_t>(pos - 1)];
            WM_FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
        }
        // What show prints for it is taken back unchanged.
        const wm::FieldRow row = wm::DescribeField(image, field, wm::DeriveSetup(image));
        if (field.type == wm::FieldType::Bits && field.shown == wm::Shown::ListText) {
            const std::string again = image.text;
            WM_FUZZ_CHECK(editor.SetField(field.name, row.text).ok);
            WM_FUZZ_CHECK(image.text == again);
        }
    }
    return 0;
}
