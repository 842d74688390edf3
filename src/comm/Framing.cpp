#include "comm/Framing.h"

#include "comm/Tables.h"
#include "comm/Exchange.h"
#include "comm/Hex.h"

namespace wm {

namespace {
std::uint8_t Byte(char c) { return static_cast<std::uint8_t>(c); }

// The exception code of a reply text in digit form (address, function code,
// exception code, ...): the code when the function code has bit 7 set and
// the code is two hex digits other than 00, else 0.
int ExceptionInDigits(std::string_view digits) {
    if (digits.size() < 6) return 0;
    const int function = HexDigitValue(digits[2]);
    const int hi = HexDigitValue(digits[4]);
    const int lo = HexDigitValue(digits[5]);
    if (function < 8 || HexDigitValue(digits[3]) < 0 || hi < 0 || lo < 0) return 0;
    return hi * 16 + lo;
}
} // namespace

void CrcRegisters::CrcStep(std::uint8_t byte) {
    const std::uint8_t i = byte ^ CrcHi;
    CrcHi = CrcLo ^ CrcHiTable[i];
    CrcLo = CrcLoTable[i];
}

std::string CrcCheckBytes(std::string_view bytes) {
    CrcRegisters crc;
    for (const char c : bytes) crc.CrcStep(Byte(c));
    return {static_cast<char>(crc.CrcHi), static_cast<char>(crc.CrcLo)};
}

std::uint16_t Crc16(std::string_view bytes) {
    const std::string check = CrcCheckBytes(bytes);
    return static_cast<std::uint16_t>(Byte(check[1]) << 8 | Byte(check[0]));
}

std::uint8_t Lrc(std::string_view bytes) {
    unsigned sum = 0;
    for (const char c : bytes) sum += Byte(c);
    return static_cast<std::uint8_t>((256 - sum % 256) % 256);
}

std::string LrcDigits(std::string_view hexPairs) { return ByteToHex(Lrc(HexToBytes(hexPairs))); }

std::string BuildRtuFrame(std::string_view requestHex) {
    std::string frame = HexToBytes(requestHex);
    frame += CrcCheckBytes(frame);
    return frame;
}

std::string BuildAsciiFrame(std::string_view requestHex) {
    return ":" + std::string(requestHex) + LrcDigits(requestHex) + "\r\n";
}

std::int32_t NextTransactionId(std::int32_t id) {
    if (id < 0 || id >= 65535) return 1;
    return id + 1;
}

std::string BuildTcpFrame(std::int32_t& transactionId, std::string_view requestHex) {
    transactionId = NextTransactionId(transactionId);
    const auto count = static_cast<int>(requestHex.size() / 2);
    const std::string header = ByteToHex(transactionId >> 8) + ByteToHex(transactionId) + "0000" +
                               ByteToHex(count >> 8) + ByteToHex(count);
    return HexToBytes(header + std::string(requestHex));
}

bool RemoveEcho(std::string& collected, std::string_view sent) {
    if (collected.size() < sent.size() || collected.compare(0, sent.size(), sent) != 0) return false;
    collected.erase(0, sent.size());
    return true;
}

ReplyCheck CheckCustomAsciiReply(std::string_view collected, std::string_view txCommand) {
    ReplyCheck r;
    const std::size_t cr = collected.find(CarriageReturn);
    if (cr == std::string_view::npos) return r;
    r.RxReply = std::string(collected.substr(0, cr));
    const bool readingRequest = txCommand.size() >= 3 && txCommand[2] == 'B';
    if (!readingRequest && r.RxReply.size() % 2 == 1) r.RxReply.pop_back();
    r.ModbusReply = r.RxReply;
    return r;
}

ReplyCheck CheckRtuReply(std::string_view collected) {
    ReplyCheck r;
    if (collected.size() < 2) {
        r.status = status::ReadFailure;
        return r;
    }
    const std::string_view message = collected.substr(0, collected.size() - 2);
    if (CrcCheckBytes(message) != collected.substr(collected.size() - 2)) {
        r.status = status::BadCrc;
        return r;
    }
    r.ModbusReply = BytesToHex(collected);
    if (message.size() < 2 || Byte(message[1]) <= 127) return r;
    // An exception reply is address, function code + 80, exception code.
    if (message.size() < 3 || message[2] == '\0') {
        r.status = status::ReadFailure;
        return r;
    }
    r.exception = Byte(message[2]);
    r.status = r.exception <= 9 ? static_cast<std::int16_t>(r.exception) : status::MeterRefused;
    return r;
}

ReplyCheck CheckAsciiReply(std::string_view collected) {
    ReplyCheck r;
    const std::size_t lf = collected.find('\n');
    if (lf == std::string_view::npos) {
        r.status = status::NoLineFeed;
        return r;
    }
    if (lf < 4) { // ":" and two LRC digits must stand before the CR
        r.status = status::ReadFailure;
        return r;
    }
    r.RxReply = std::string(collected.substr(0, lf - 1));
    r.ModbusReply = r.RxReply.substr(1) + "  ";
    const std::string_view line = r.RxReply;
    const std::string_view pairs = line.substr(1, line.size() - 3);
    if (LrcDigits(pairs) != line.substr(line.size() - 2)) {
        r.status = status::BadLrc;
        return r;
    }
    r.exception = ExceptionInDigits(r.ModbusReply);
    return r;
}

ReplyCheck CheckTcpReply(std::string_view received, std::int32_t transactionId) {
    ReplyCheck r;
    if (received.size() < 2 || (Byte(received[0]) << 8 | Byte(received[1])) != transactionId) {
        r.status = status::WrongTransaction;
        return r;
    }
    if (received.size() > 6) r.ModbusReply = BytesToHex(received.substr(6));
    r.exception = ExceptionInDigits(r.ModbusReply);
    return r;
}

std::string StripNodeLineEnd(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

} // namespace wm
