#pragma once
// Put Setup: writes SetupImage into the connected meter, after checking that
// the meter's signal-conditioner board matches the setup, then brings
// Settings.SSS in line with the serial settings just written.
#include <cstdint>
#include <string>

#include "transfer/TransferSteps.h"

namespace wm {

struct Session;

// A Put's own status codes. A check reply of the right length that holds a
// character that is not a hex digit has no code: the meter's board kind is
// undetermined and the Put is abandoned (status 0, nothing written).
namespace putstatus {
inline constexpr std::int16_t AsciiTypeReply = 1;   // check: "X115" reply not 4 characters
inline constexpr std::int16_t AsciiRangeReply = 3;  // check: "G12C" reply not 2 characters
inline constexpr std::int16_t ModbusTypeReply = 4;  // check: register 0068 reply not a 1-register read reply
inline constexpr std::int16_t ModbusRangeReply = 5; // check: register 0045, the same
inline constexpr std::int16_t Request1 = 11;
inline constexpr std::int16_t Request2Or3 = 12;
inline constexpr std::int16_t Request4 = 13;
inline constexpr std::int16_t Request5 = 14;
inline constexpr std::int16_t Request6 = 15;
inline constexpr std::int16_t ShortImage = 16; // Modbus: the image has no characters 129-136; nothing written
} // namespace putstatus

// Asks the meter for its board type and input mode/range and compares them
// with the image. False: abandon the Put (the operator has been told; the
// status is 0). True: go on; a non-zero TransferStatus then means the check
// itself could not talk to the meter, and nothing is to be written.
// A mode code of F has no board group, and a reply of the right length with
// a character that is not a hex digit says nothing usable about the board:
// both read as an undetermined kind, so the Put is abandoned with the
// matching message.
// The step records the request where the check stopped.
[[nodiscard]] bool CheckPutCompatibility(Session& session, TransferStep& step);

struct PutResult;
// A Modbus Put writes the setup in this many blocks, each acknowledged.
inline constexpr int kModbusPutBlocks = 6;

// The writes themselves; the result is in TransferStatus. The Custom ASCII
// Put writes nothing when the check left a non-zero status, and reads no
// replies; the Modbus Put writes whatever the check could read. The Modbus Put stops at the first request that fails (codes
// 11-15; a reply that is not a write reply, an exception included, fails
// too), and writes nothing to an image without characters 129-136
// (ShortImage, 16).
// The Modbus Put counts the blocks the meter acknowledged in `result` and
// records the request where it stopped.
void PutSetupAscii(Session& session);
void PutSetupModbus(Session& session, PutResult& result);

// A six-digit 24-bit two's complement field as two registers, limited to
// +-99999 as the meter holds it: 000064 -> 00000064, FFFF9C -> FFFFFF9C.
[[nodiscard]] std::string SignedFieldToHex8(const std::string& field);
// The scaled field of characters 103-108 (sign and point nibble, five-digit
// magnitude) as its 32-bit value. A value beyond the signed 32-bit range
// (magnitude above 21474 with point code 1) is limited to 7FFFFFFF or
// 80000000, the nearest the two registers can hold; this also makes the
// extremes that a Get reads come back as they were.
[[nodiscard]] std::string ScaledFieldToHex8(const std::string& field);

// After a successful write: line 1 of Settings.SSS takes the baud rate,
// protocol, parity, address, Modbus address and duplex flag of the image;
// only when that changes line 1 is the file rewritten and the link reopened.
void UpdateSettingsFromSetup(Session& session);

struct PutResult {
    // The setup was written: every Modbus block acknowledged, or every Custom
    // ASCII write sent after a check that passed. A refused or abandoned Put
    // leaves status 0 and is no success.
    [[nodiscard]] bool ok() const { return !refused && !abandoned && !endProgram && status == 0; }

    bool refused = false;    // another exchange was running: nothing was done
    bool abandoned = false;  // the check stopped the Put (its message box was the only sign)
    bool endProgram = false; // the reread settings refuse this instrument
    std::int16_t status = 0; // TransferStatus after the Put
    std::int16_t linkStatus = 0; // the transaction layer's status at the request that failed
    TransferStep step;           // the request where the Put (or its check) stopped
    int blocks = 0;              // acknowledged blocks a Put has: 6 in Modbus; 0 in Custom ASCII,
                                 // whose writes get no replies
    int blocksAcknowledged = 0;  // blocks the meter acknowledged, from the first on
    bool failedBlockMayBeWritten = false; // the failed block was not refused: the meter may have
                                          // stored it (silence cannot tell)
};

// The whole menu command: status line, the 120-character extension, the
// reopened link, the check, the transfer and its caption.
[[nodiscard]] PutResult PutSetup(Session& session);

// "Data transfer unsuccessful. Check connections and try again.     (N)";
// for ShortImage a caption that says nothing was written, as no connection
// is to blame.
[[nodiscard]] std::string PutFailureCaption(int status);

// After a Modbus Put that stopped part way: which blocks reached the meter,
// and that the setup should be put again. Empty when nothing was written.
// PutSetup shows it in a message box besides the failure caption.
[[nodiscard]] std::string PartialWriteText(const PutResult& result);

// Where and why a Put failed, in words, naming the status and what reached
// the meter: "Put failed at request 1 of 6 (registers 0001-000C): no reply
// from the meter within 3000 ms (status 11); no block was acknowledged,
// nothing was written". Empty after a Put that succeeded.
[[nodiscard]] std::string DescribePutFailure(const PutResult& result);
inline constexpr const char* kPuttingCaption = "Putting data to the Device.";
inline constexpr const char* kPutOkCaption = "Putting data to the Device.   Data appeared to transfer OK.";

} // namespace wm
