#pragma once
// Get Setup: reads the connected meter's whole setup into SetupImage, in
// Custom ASCII or in Modbus (RTU, ASCII, or TCP through the Ethernet node).
#include <cstdint>
#include <string>

#include "transfer/TransferSteps.h"

namespace wm {

struct LinkState;
struct Session;

// Status codes of a Get of its own (the transaction layer's pass through).
namespace getstatus {
inline constexpr std::int16_t FirstBlock = 1;  // "XU1DZ"/"XF0EZ", or Modbus echo / block 0001-000C
inline constexpr std::int16_t SecondBlock = 2; // "XF1DZ"/"X26DZ", or Modbus serial block 0011-002C
inline constexpr std::int16_t ThirdBlock = 3;  // "X236Z", or Modbus Ethernet block 0011-001A
inline constexpr std::int16_t BlockAt0021 = 4; // Modbus Ethernet block 0021-002C
inline constexpr std::int16_t BlockAt0041 = 5;
inline constexpr std::int16_t BlockAt004C = 6;
inline constexpr std::int16_t BlockAt005D = 7;
} // namespace getstatus

// The progress bar's value, 0..100.
void ShowProgress(Session& session, int percent);

// Pause before each Modbus request after the first, in ms: the meter needs
// time to store or gather a block, more at the faster rates where the
// requests follow closer.
[[nodiscard]] int ModbusGap(const LinkState& link);

// Registers 0009-000A, one signed 32-bit value, as the six-character scaled
// field of characters 103-108: sign nibble 8 plus decimal-point code D, then
// the magnitude in five hex digits, divided by ten (rounded half to even)
// while it has six decimal digits and D is above 1. 80000000, whose
// magnitude has no signed 32-bit form, is taken at its true magnitude
// 2147483648 and gives 9053E3, the same as 80000001.
[[nodiscard]] std::string ScaledFieldFromRegisters(std::uint32_t registers);

// The transfers themselves; the result is in SetupImage and TransferStatus
// (a Custom ASCII Get also takes MeterRevision and MeterFamily from the
// meter). Whatever was written into the image before a failure stays. The
// record of the last request tells where a failed Get stopped.
TransferStep GetSetupAscii(Session& session);
TransferStep GetSetupModbus(Session& session);

struct GetResult {
    // The whole setup was read. A refused Get leaves status 0 and is no
    // success; after a success the operator may still have chosen to end at
    // the signal-conditioner question (endProgram).
    [[nodiscard]] bool ok() const { return !refused && status == 0; }

    bool refused = false;     // another exchange was running: nothing was done
    std::int16_t status = 0;  // TransferStatus after the Get
    bool enableMenus = false; // success: mnuCmds, mnuView, mnuPut, mnuCalib, mnuSCType,
                              // and mnuMRdgs unless EthernetLink is 1
    bool endProgram = false;  // the operator chose to end at the signal-conditioner question
    std::int16_t linkStatus = 0; // the transaction layer's status at the request that failed
    TransferStep step;           // the last request, for the words of a failure
    // After a success: the image as the meter sent it, before the
    // signal-conditioner check may have defaulted a corrupt board type in
    // memory. It is what the meter holds.
    std::string received;
};

// The whole menu command: status line, progress bar, hourglass, the
// transfer, the caption of the outcome, SetupReceived, and after success
// the signal-conditioner check. The window enables the menus.
[[nodiscard]] GetResult GetSetup(Session& session);

// The status line after a failed Get: the status in parentheses with the
// blank a positive number has always been shown with ("( 21)").
[[nodiscard]] std::string GetFailureCaption(int status);

// Where and why a Get failed, in words, naming the status: "Get failed: the
// reply to XU1DZ (main block) was not 120 hex digits (status 1)". Empty
// after a Get that succeeded.
[[nodiscard]] std::string DescribeGetFailure(const GetResult& result);

inline constexpr const char* kGettingCaption = "Getting data from the Device.";
inline constexpr const char* kGetOkCaption = "Getting data from the Device.  Data received OK.";

} // namespace wm
