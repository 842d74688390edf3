#pragma once
// The meter's framings as pure functions over bytes: no port, no clock.
// Building a frame turns the hexadecimal request text of the upper layers
// into the bytes that go on the wire; checking a reply takes the bytes that
// reception collected and gives the status code and the reply texts.
//
// Requests are "address + function code + data" as hexadecimal digit pairs
// (for example "010300450001"); replies are left in the same digit form,
// starting with the slave address.
#include <cstdint>
#include <string>
#include <string_view>

namespace wm {

// The two registers of the table-driven CRC-16 of Modbus RTU. After the
// message has gone through CrcStep, CrcHi is the check byte sent first and
// CrcLo the one sent second (the low-order byte of the CRC leads).
struct CrcRegisters {
    std::uint8_t CrcHi = 0xFF;
    std::uint8_t CrcLo = 0xFF;
    void CrcStep(std::uint8_t byte);
};

// The two check bytes of an RTU frame, in wire order.
[[nodiscard]] std::string CrcCheckBytes(std::string_view bytes);
// The CRC-16 as it is usually quoted (0x4B37 for "123456789"): the byte sent
// second is its high byte.
[[nodiscard]] std::uint16_t Crc16(std::string_view bytes);

// Modbus ASCII longitudinal check: the 8-bit two's complement of the byte sum.
[[nodiscard]] std::uint8_t Lrc(std::string_view bytes);
// The LRC of the bytes a text of digit pairs stands for, as two digits.
[[nodiscard]] std::string LrcDigits(std::string_view hexPairs);

// Address byte, function code, data, the two CRC bytes.
[[nodiscard]] std::string BuildRtuFrame(std::string_view requestHex);
// ":", the request digits, the two LRC digits, CR, LF.
[[nodiscard]] std::string BuildAsciiFrame(std::string_view requestHex);

// The identifier after id: 1..65535, and 1 again after 65535 (0 is never
// used, so the first request of a run carries 1).
[[nodiscard]] std::int32_t NextTransactionId(std::int32_t id);
// Advances transactionId and frames the request with it: the header
// (identifier, protocol 0, byte count of the request; big-endian 16-bit each)
// followed by the request bytes (unit identifier and PDU), no check field.
[[nodiscard]] std::string BuildTcpFrame(std::int32_t& transactionId, std::string_view requestHex);

// What checking a collected reply gives. An empty text means the check left
// that text unset. A Modbus exception reply (an intact frame whose function
// code has bit 7 set) is the meter refusing the request, not a fault of the
// link: its code is in `exception` in every framing, apart from the status.
// The checks are total: no input makes them throw.
struct ReplyCheck {
    std::int16_t status = 0;
    std::string RxReply;
    std::string ModbusReply;
    int exception = 0; // the meter's exception code, 1..255; 0: no exception reply
};

// A line that echoes returns what was sent ahead of the reply. True and the
// echo removed when collected begins with all of sent; false (collected
// untouched) when it does not.
[[nodiscard]] bool RemoveEcho(std::string& collected, std::string_view sent);

// Custom ASCII over the serial line: the reply is the text before the first
// CR; without a CR nothing is taken (status 0, both texts empty). The meter
// sends its hexadecimal replies in whole digit pairs, so an odd length means
// a stray character at the end, which is dropped; the reading requests
// (third character of the command "B") answer with formatted text of any
// length, which is kept whole.
[[nodiscard]] ReplyCheck CheckCustomAsciiReply(std::string_view collected, std::string_view txCommand);

// Modbus RTU: the CRC of all but the last two bytes must equal them (else
// 24). The reply text is the whole frame in digits, CRC included. An
// exception reply (function code above 127) gives its exception code as the
// status when that is 01..09, MeterRefused for any other code (0A, 0B and
// the meter's own codes), so no refusal ever reads as status 0. A frame too
// short to decode, or an exception reply without a code or with code 00,
// gives 27.
[[nodiscard]] ReplyCheck CheckRtuReply(std::string_view collected);

// Modbus ASCII: the line up to the first LF (none: 25) without the LF and the
// CR before it; its last two digits must be the LRC of the pairs between the
// ":" and them (else 26, the reply text still set). The reply text is the
// line without ":" and with two blanks appended, so it is as long as the RTU
// form. A line too short to hold ":" and the LRC gives 27. An exception reply
// with a good LRC keeps status 0 (the callers' own checks fail it with their
// codes, as they always have) and carries its code in `exception`.
[[nodiscard]] ReplyCheck CheckAsciiReply(std::string_view collected);

// Modbus TCP through the node: the first two bytes must be transactionId,
// high byte first (else 27); the reply text is everything from the seventh
// byte on (unit identifier, function code, data). An exception reply keeps
// status 0 and carries its code in `exception`, as in Modbus ASCII.
[[nodiscard]] ReplyCheck CheckTcpReply(std::string_view received, std::int32_t transactionId);

// Custom ASCII through the node: the text as delivered, without a final LF
// and then without a final CR.
[[nodiscard]] std::string StripNodeLineEnd(std::string text);

} // namespace wm
