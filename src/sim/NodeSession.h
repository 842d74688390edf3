#pragma once
// The serial-to-Ethernet node in front of the simulated meter, without a
// clock or sockets of its own (SimNode drives it in virtual time on the
// in-memory sockets, wmsim in real time on real ones). It reads control
// packets from its UDP port and answers one meant for it by calling the
// sender back; on that connection it takes the program's requests, Custom
// ASCII lines as they are and Modbus TCP frames turned into RTU frames for
// the meter, and sends back each reply once the meter's last byte of it has
// come in over the serial line: Custom ASCII as the meter sent it, Modbus
// with the TCP header and the request's transaction identifier. The
// keep-alive is taken and logged.
//
// It misbehaves on request: no call back, a notification of its own when
// the connection is made or before every reply, a wrong transaction
// identifier, the connection dropped after a number of requests.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/Meter.h"
#include "sim/MeterSession.h"

namespace wm::sim {

struct NodeOptions {
    std::string hardware = "020000123456"; // twelve hex digits
    bool callBack = true;
    std::uint32_t callDelayMs = 0;     // from the control packet to the call
    bool notifyOnCall = false;         // a notification as soon as the connection stands
    bool notifyBeforeReplies = false;  // a notification ahead of every reply
    bool wrongTransaction = false;     // Modbus TCP replies carry the request's identifier plus one
    int dropAfter = 0;                 // drop the connection after this many requests (0: never)
};

// The 19 bytes the node sends on its own: the signature, its hardware
// address, 05 04 and five bytes the program does not read.
[[nodiscard]] std::string NodeNotificationBytes(const std::string& hardwareHex);

class NodeSession {
public:
    NodeSession(Meter& meter, NodeOptions options, std::uint64_t charTimeUs = 1042);

    // A datagram on the node's UDP port. The port to call back on when it is
    // a well-checked control packet for this node and the node calls back;
    // nothing otherwise. Either way the log says what it was.
    [[nodiscard]] std::optional<std::uint16_t> Datagram(const std::string& bytes, std::uint64_t nowUs);
    // The node's call was taken (true) or refused (false).
    void Called(bool taken, std::uint64_t nowUs);
    // The connection is gone (either side closed it).
    void Disconnected(std::uint64_t nowUs);
    // Bytes the program sent on the connection.
    void Receive(const std::string& bytes, std::uint64_t nowUs);
    // The writes to make on the connection, each at its time, oldest first.
    [[nodiscard]] std::vector<Outgoing> TakeOutgoing();
    // When the node is to drop the connection (after dropAfter requests).
    [[nodiscard]] std::optional<std::uint64_t> DropAtUs() const { return dropAtUs_; }
    [[nodiscard]] bool IsConnected() const { return connected_; }
    [[nodiscard]] const NodeOptions& Options() const { return options_; }

    // One line per event, a note in the traffic format (comm/TrafficLog.h):
    // the time, then "node" and what happened ("control", "called",
    // "keepalive", "request", "reply", "dropped" ...).
    [[nodiscard]] std::vector<std::string> TakeLog();
    void AddLog(std::uint64_t nowUs, const std::string& text);
    // The times the keep-alives came, in microseconds.
    [[nodiscard]] const std::vector<std::uint64_t>& KeepAlives() const { return keepAlives_; }
    [[nodiscard]] int Requests() const { return requests_; }

private:
    // Takes one whole message from the front of the buffer; false when
    // there is none yet.
    bool TakeMessage(std::uint64_t nowUs);
    void Forward(Framing framing, const std::string& serialBytes, std::uint64_t nowUs,
                 const std::string& tcpHeader);
    void Send(std::uint64_t atUs, std::string bytes);

    Meter& meter_;
    NodeOptions options_;
    std::uint64_t charTimeUs_;
    bool connected_ = false;
    std::string buffer_;
    std::uint64_t lineFreeUs_ = 0; // when the serial line to the meter is free again
    int requests_ = 0;
    std::optional<std::uint64_t> dropAtUs_;
    std::vector<Outgoing> out_;
    std::vector<std::string> log_;
    std::vector<std::uint64_t> keepAlives_;
};

} // namespace wm::sim
