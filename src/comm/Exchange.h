#pragma once
// The texts of one exchange with the meter and its result code.
#include <cstdint>
#include <string>

namespace wm {

struct Exchange {
    std::string TxCommand;     // Custom ASCII command; after SendCommand, the bytes sent
    std::string ModbusRequest; // Modbus: hex digit pairs, function code first
    std::string ModbusReply;   // hex text from the slave address on (or the Custom ASCII line)
    std::string RxReply;       // the reply as received / working text
    std::int16_t TransferStatus = 0;
    // The exception code of the last reply when it was a Modbus exception
    // reply, in every framing (1..255); 0 when it was not. Set with the
    // status by ReceiveReply.
    int ModbusException = 0;
    std::int32_t TransactionId = 0; // Modbus TCP; first request carries 1
    std::string NodeRxBuffer;       // what the node delivered, not yet taken
    int NodeConnectPending = 0;
};

// Result codes of ReceiveReply, and of the transfers built on it.
namespace status {
inline constexpr std::int16_t Ok = 0;
// 1..9: Modbus exception code 01..09 (RTU), or a transfer step's own code.
// In Modbus ASCII and TCP an exception reply keeps status 0 (the callers'
// length checks fail it with their own codes); ModbusException names it.
inline constexpr std::int16_t NodeTimeout = 20;    // Ethernet: nothing from the node in time
inline constexpr std::int16_t NoReply = 21;        // serial: no character within 3000 ms
inline constexpr std::int16_t BadCrc = 24;         // RTU
inline constexpr std::int16_t NoLineFeed = 25;     // Modbus ASCII
inline constexpr std::int16_t BadLrc = 26;         // Modbus ASCII
inline constexpr std::int16_t ReadFailure = 27;    // serial: port or decode failure; TCP: wrong transaction id
inline constexpr std::int16_t WrongTransaction = 27;
inline constexpr std::int16_t EndlessReply = 28;   // serial: the line never went quiet (noise, continuous output)
inline constexpr std::int16_t DeviceGone = 29;     // serial: the device went away during the exchange
inline constexpr std::int16_t MeterRefused = 30;   // RTU: exception reply with a code other than 01..09
inline constexpr std::int16_t Refused = 31;        // another exchange was waiting: this one was not started
} // namespace status

// One line naming a status code, for logs and wmctl.
[[nodiscard]] std::string StatusMeaning(int code);

} // namespace wm
