// The record framer of the continuous output on arbitrary output settings and
// arbitrary bytes in arbitrary arrivals. The same arrivals go to a framer
// that shows records raw (no "t"/"p"), to one fed a byte at a time, and to
// one that is paused and continued between arrivals; each is checked against
// what the framer promises.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "readings/RecordFramer.h"
#include "setup/Fields.h"
#include "setup/SetupImage.h"

namespace {

using wm::FramerState;
using wm::RecordCharacters;
using wm::RecordFramer;
using wm::fuzz::Bytes;

// The bytes that hold the output settings, each written whole.
RecordCharacters Characters(Bytes& in) {
    wm::SetupImage image;
    image.SetBits(7, 0, wm::FieldNamed("TranChars").pos, in.Byte());
    image.SetBits(7, 0, wm::FieldNamed("LF").pos, in.Byte());
    wm::StoreFieldCode(image, wm::FieldNamed("StopChar"), in.Byte());
    wm::StoreFieldCode(image, wm::FieldNamed("StartChar"), in.Byte());
    const int revision = static_cast<int>(in.Byte()) - 8;
    const RecordCharacters chars = wm::ChooseRecordCharacters(image, revision);

    const bool custom = image.GetBits(5, 5, wm::FieldNamed("TranChars").pos) == 1;
    WM_FUZZ_CHECK(chars.custom == custom);
    if (revision <= 0 || !custom) {
        WM_FUZZ_CHECK(chars.mark == '\0');
        WM_FUZZ_CHECK(chars.end == (image.GetBits(7, 7, wm::FieldNamed("LF").pos) == 1 ? '\n' : '\r'));
    }
    return chars;
}

bool IsSubsequence(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    auto at = whole.begin();
    for (const std::string& s : part) {
        at = std::find(at, whole.end(), s);
        if (at == whole.end()) return false;
        ++at;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const RecordCharacters chars = Characters(in);
    RecordCharacters rawChars = chars;
    rawChars.custom = false;
    const std::uint8_t boundByte = in.Byte();
    const std::size_t bound = boundByte < 128 ? 1 + boundByte % 48 : RecordFramer::DefaultMaxBuffered;

    RecordFramer shown(chars, bound);
    RecordFramer raw(rawChars, bound);
    RecordFramer byteByByte(chars, bound);
    RecordFramer paused(chars, bound);
    std::vector<std::string> chunked, single;
    bool oneEndPerArrival = true;

    while (!in.Empty()) {
        const std::uint8_t step = in.Byte();
        const std::string arrival = in.Take(step % 32);
        oneEndPerArrival = oneEndPerArrival && std::count(arrival.begin(), arrival.end(), chars.end) <= 1;

        const std::optional<std::string> record = shown.Feed(arrival);
        const std::optional<std::string> rawRecord = raw.Feed(arrival);
        WM_FUZZ_CHECK(record.has_value() == rawRecord.has_value());
        if (rawRecord) {
            // One record, closed by its first end character, shown with the
            // replacements only.
            WM_FUZZ_CHECK(!rawRecord->empty() && rawRecord->size() <= bound);
            WM_FUZZ_CHECK(rawRecord->find(chars.end) == rawRecord->size() - 1);
            WM_FUZZ_CHECK(*record == wm::ShownRecord(*rawRecord, chars));
            WM_FUZZ_CHECK(shown.State() == FramerState::Running);
            chunked.push_back(*rawRecord);
        }
        WM_FUZZ_CHECK(shown.Buffered() <= bound && shown.Buffered() == raw.Buffered());

        for (const char c : arrival) {
            const std::optional<std::string> one = byteByByte.Feed(std::string_view(&c, 1));
            if (one) single.push_back(*one);
            WM_FUZZ_CHECK(byteByByte.Buffered() <= bound);
        }

        if (step & 0x80) {
            if (paused.Paused())
                paused.Continue();
            else
                paused.Pause();
        }
        const std::optional<std::string> pausedRecord = paused.Feed(arrival);
        WM_FUZZ_CHECK(paused.Buffered() <= bound);
        if (paused.Paused()) WM_FUZZ_CHECK(!pausedRecord && paused.Buffered() == 0);
    }

    // Arrivals that end more than one record lose the queued ones, and
    // nothing else changes: the same records are measured and shown.
    std::vector<std::string> chunkedShown;
    for (const std::string& s : chunked) chunkedShown.push_back(wm::ShownRecord(s, chars));
    WM_FUZZ_CHECK(shown.State() == byteByByte.State());
    WM_FUZZ_CHECK(shown.SampleLine() == byteByByte.SampleLine());
    WM_FUZZ_CHECK(shown.SampleLine().size() <= bound);
    WM_FUZZ_CHECK(IsSubsequence(chunkedShown, single));
    if (oneEndPerArrival) WM_FUZZ_CHECK(chunkedShown == single);
    return 0;
}
