// Reply decoding of every framing, and the hex helpers under it, on arbitrary
// bytes: what reception collected, what was sent before it, a transaction id.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "comm/Exchange.h"
#include "comm/Framing.h"
#include "comm/Hex.h"

namespace {

using wm::fuzz::Bytes;
using wm::fuzz::IsUpperHex;

void Hex(const std::string& bytes) {
    const std::string hex = wm::BytesToHex(bytes);
    WM_FUZZ_CHECK(hex.size() == 2 * bytes.size() && IsUpperHex(hex));
    WM_FUZZ_CHECK(wm::HexToBytes(hex) == bytes);

    // The same bytes read as hex text.
    const std::string decoded = wm::HexToBytes(bytes);
    WM_FUZZ_CHECK(decoded.size() == bytes.size() / 2);
    bool allDigits = true;
    for (const char c : bytes) {
        const int v = wm::HexDigitValue(c);
        WM_FUZZ_CHECK(v >= -1 && v <= 15);
        allDigits = allDigits && v >= 0;
    }
    WM_FUZZ_CHECK(wm::IsHexText(bytes) == allDigits);
    if (allDigits) {
        std::string upper = bytes.substr(0, bytes.size() & ~std::size_t{1});
        for (char& c : upper)
            if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
        WM_FUZZ_CHECK(wm::BytesToHex(decoded) == upper);
    }
    for (const char c : bytes.substr(0, 4)) {
        const std::string two = wm::ByteToHex(static_cast<signed char>(c));
        WM_FUZZ_CHECK(two.size() == 2 && wm::HexToBytes(two) == std::string(1, c));
    }
}

void Rtu(const std::string& collected) {
    const wm::ReplyCheck r = wm::CheckRtuReply(collected);
    const bool decoded = r.status != wm::status::BadCrc && r.status != wm::status::ReadFailure;
    WM_FUZZ_CHECK(r.status == wm::status::BadCrc || r.status == wm::status::ReadFailure ||
                  r.status == wm::status::MeterRefused || (r.status >= 0 && r.status <= 9));
    // A refusal is named whatever status it maps to.
    if (r.status == wm::status::MeterRefused || (r.status >= 1 && r.status <= 9)) WM_FUZZ_CHECK(r.exception != 0);
    WM_FUZZ_CHECK(r.RxReply.empty());
    if (decoded) WM_FUZZ_CHECK(r.ModbusReply == wm::BytesToHex(collected));

    // Whatever the bytes, framed by us they pass the check, and a frame with
    // its own check bytes leaves a CRC of zero.
    const std::string frame = wm::BuildRtuFrame(wm::BytesToHex(collected));
    WM_FUZZ_CHECK(frame.size() == collected.size() + 2);
    WM_FUZZ_CHECK(wm::CrcCheckBytes(frame) == std::string(2, '\0'));
    const wm::ReplyCheck framed = wm::CheckRtuReply(frame);
    WM_FUZZ_CHECK(framed.status != wm::status::BadCrc && framed.ModbusReply == wm::BytesToHex(frame));
    if (static_cast<std::uint8_t>(frame[1]) <= 127) WM_FUZZ_CHECK(framed.status == 0);
}

void Ascii(const std::string& collected) {
    const wm::ReplyCheck r = wm::CheckAsciiReply(collected);
    WM_FUZZ_CHECK(r.status == 0 || r.status == wm::status::NoLineFeed || r.status == wm::status::BadLrc ||
                  r.status == wm::status::ReadFailure);
    if (r.status == 0 || r.status == wm::status::BadLrc) {
        // As long as the RTU form: the line without ":" and two blanks.
        WM_FUZZ_CHECK(r.ModbusReply.size() == r.RxReply.size() + 1);
        WM_FUZZ_CHECK(collected.compare(0, r.RxReply.size(), r.RxReply) == 0);
    } else {
        WM_FUZZ_CHECK(r.RxReply.empty() && r.ModbusReply.empty());
    }

    const std::string hex = wm::BytesToHex(collected);
    const std::string frame = wm::BuildAsciiFrame(hex);
    WM_FUZZ_CHECK(wm::Lrc(collected + wm::HexToBytes(wm::LrcDigits(hex))) == 0);
    const wm::ReplyCheck framed = wm::CheckAsciiReply(frame);
    WM_FUZZ_CHECK(framed.status == 0);
    WM_FUZZ_CHECK(framed.ModbusReply == hex + wm::LrcDigits(hex) + "  ");
}

void CustomAscii(const std::string& collected, const std::string& sent) {
    const wm::ReplyCheck r = wm::CheckCustomAsciiReply(collected, sent);
    WM_FUZZ_CHECK(r.status == 0 && r.RxReply == r.ModbusReply);
    const std::size_t cr = collected.find('\r');
    if (cr == std::string::npos) {
        WM_FUZZ_CHECK(r.RxReply.empty());
        return;
    }
    WM_FUZZ_CHECK(r.RxReply.find('\r') == std::string::npos);
    WM_FUZZ_CHECK(collected.compare(0, r.RxReply.size(), r.RxReply) == 0);
    const bool reading = sent.size() >= 3 && sent[2] == 'B';
    WM_FUZZ_CHECK(reading ? r.RxReply.size() == cr : r.RxReply.size() == (cr & ~std::size_t{1}));
}

void Echo(const std::string& collected, const std::string& sent) {
    std::string rest = collected;
    const bool removed = wm::RemoveEcho(rest, sent);
    WM_FUZZ_CHECK(removed == collected.starts_with(sent));
    WM_FUZZ_CHECK(rest == (removed ? collected.substr(sent.size()) : collected));
    std::string echoed = sent + collected;
    WM_FUZZ_CHECK(wm::RemoveEcho(echoed, sent) && echoed == collected);
}

void Node(const std::string& received, std::int32_t id) {
    const wm::ReplyCheck r = wm::CheckTcpReply(received, id);
    WM_FUZZ_CHECK(r.status == 0 || r.status == wm::status::WrongTransaction);
    if (r.status == 0) {
        WM_FUZZ_CHECK(received.size() >= 2);
        WM_FUZZ_CHECK(r.ModbusReply == (received.size() > 6 ? wm::BytesToHex(received.substr(6)) : ""));
    }
    std::int32_t next = id;
    const std::string frame = wm::BuildTcpFrame(next, wm::BytesToHex(received));
    WM_FUZZ_CHECK(next >= 1 && next <= 65535 && frame.size() == received.size() + 6);
    WM_FUZZ_CHECK(wm::CheckTcpReply(frame, next).status == 0);

    const std::string stripped = wm::StripNodeLineEnd(received);
    WM_FUZZ_CHECK(received.starts_with(stripped) && received.size() - stripped.size() <= 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const std::string sent = in.Take(in.Byte() % 24);
    const auto id = static_cast<std::int32_t>(in.Word());
    const std::string collected = in.Rest();

    Hex(collected);
    Rtu(collected);
    Ascii(collected);
    CustomAscii(collected, sent);
    Echo(collected, sent);
    Node(collected, id);
    return 0;
}
