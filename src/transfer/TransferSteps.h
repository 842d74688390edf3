#pragma once
// Small steps that Get, Put, the setup files and the signal-conditioner
// service share: hex text handling and one request/reply round in either
// protocol, on the program's transaction layer.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "comm/Hex.h"

namespace wm {

struct LinkState;
struct Session;
struct TransferStep;


// "registers 0011-002C" for count registers from start; "register 0045" for one.
[[nodiscard]] std::string RegisterRange(int start, int count);

// The four check characters a serial Modbus reply carries after its data
// (CRC, or LRC and two blanks); none through the Ethernet node.
[[nodiscard]] std::size_t ModbusCheckLength(const LinkState& link);

// Only one exchange runs at a time: a menu command started from an event
// handled while another exchange waits is refused with a beep.
[[nodiscard]] bool RefuseWhileBusy(Session& session);

// "*" + MeterAddress + letters, sent without reading a reply.
void SendAscii(Session& session, const std::string& letters);
// Sends and reads the reply; true when TransferStatus is 0. The step
// records what happened.
[[nodiscard]] bool AskAscii(Session& session, const std::string& letters, TransferStep& step);
// The Custom ASCII reply in upper case when it is exactly `length` hex
// digits. The protocol carries no checksum, so a reply with any other
// character is as unusable as one of the wrong length.
[[nodiscard]] std::optional<std::string> HexReply(const Session& session, std::size_t length);

// One request of a Get, a Put or its check, and what came back: kept so
// that a failure can be explained in words after the transfer has ended.
struct TransferStep {
    std::string request;         // in words: "XU1DZ (main block)", "request 1 of 6 (registers 0001-000C)"
    std::string expected;        // what a usable reply is: "120 hex digits"
    std::string problem;         // a failure found before anything was sent (empty otherwise)
    std::int16_t linkStatus = 0; // the transaction layer's status for this request
    std::size_t replyLength = 0; // characters of the reply text; 0 when none could be taken
    int exception = 0;           // Modbus exception code the meter answered with (0: none), as the
                                 // transaction layer found it in any framing
    bool modbus = false;
    bool echoingLine = false; // the settings say the line echoes (port type 2)
};

// Starts the record of the next request.
void BeginStep(TransferStep& step, const Session& session, std::string request, std::string expected);
// Takes the transaction layer's status and the reply into the record.
void NoteReply(TransferStep& step, const Session& session);

// Why the step failed, as one clause: "no reply from the meter within
// 3000 ms", "the reply to XU1DZ (main block) was not 120 hex digits".
[[nodiscard]] std::string DescribeStepCause(const TransferStep& step);
// "<operation> failed at <request>: <cause> (status N)" when the link
// failed, "<operation> failed: the reply to <request> was ... (status N)"
// when a reply came and could not be used.
[[nodiscard]] std::string DescribeStepFailure(const std::string& operation, const TransferStep& step, int status);

// Sends ModbusRequest = request and reads the reply. A non-zero status from
// the transaction layer is kept; a reply whose length is not `expected`,
// whose function code is not the request's, or whose data part holds a
// character that is not a hex digit, sets failCode. True when the reply can
// be used. The step records what happened.
[[nodiscard]] bool AskModbus(Session& session, const std::string& request, std::size_t expected,
                             std::int16_t failCode, TransferStep& step);

} // namespace wm
