#pragma once
// The link to a meter behind a serial-to-Ethernet node. The program does not
// call the node; it listens on the TCP port Settings.SSS line 2 names, asks
// the node over UDP to call back there, and waits for it. The connection
// then carries the meter's exchanges (the transaction layer sees it as a
// NodeLink), a one-second tick watches it and sends the node a keep-alive
// every 14 seconds, and when it breaks the operator is told to restart.
//
// Only the node gets in: a connection from any other address is closed at
// once and the wait goes on, so a stranger on the network can neither take
// the meter's link nor feed it replies.
//
// The sockets come from the platform; the front end calls TimerTick once a
// second (and starts its timer afresh when BuildLink succeeds, so the first
// keep-alive goes out 14 s after the connection was made).
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>

#include "comm/Exchange.h"
#include "comm/LinkState.h"
#include "comm/NodeLink.h"
#include "platform/Clock.h"
#include "platform/NodeSockets.h"
#include "platform/Operator.h"

namespace wm {

class Connection;

// The main window's caption while the node is connected, before it has
// connected, and after the connection was lost.
inline constexpr std::string_view kNodeCaptionConnected = "Weight Main Menu                    Connected";
inline constexpr std::string_view kNodeCaptionConnecting = "Weight Main Menu                    Disconnected";
inline constexpr std::string_view kNodeCaptionLost = "Weight Main Menu                      Disconnected";
inline constexpr std::string_view kNodeNotConnectedText = "Ethernet connection interrupted. Try re-connecting.";
inline constexpr std::string_view kNodeBrokenText = "Node communications appears broken.  Restart program.";
// What the Ethernet window prints when the UDP socket fails.
inline constexpr std::string_view kNodeUdpErrorText = "Error";

class NodeConnection final : public NodeLink {
public:
    NodeConnection(LinkState& link, Exchange& x, Connection& conn, Operator& op, Clock& clock, EventPump& pump,
                   NodeSockets& sockets);
    ~NodeConnection() override;
    NodeConnection(const NodeConnection&) = delete;
    NodeConnection& operator=(const NodeConnection&) = delete;

    enum class Outcome { NotPending, Connected, Failed };
    // Builds the link when NodeConnectPending is 1: listens, sends the
    // control packet up to `attempts` times, each followed by a wait of up
    // to AttemptMs for the node's call. When it never comes the operator is
    // told, Settings.SSS is written back as read, the port is closed, the
    // sockets too, and the program is asked to end.
    Outcome BuildLink();
    int attempts = 10;
    static constexpr std::uint32_t AttemptMs = 4000;

    // Once a second: the caption, and the keep-alive every 14 ticks while
    // the connection stands.
    void TimerTick();
    // Closes both sockets (the program's end).
    void Close();

    // NodeLink: the transaction layer's view.
    void SendData(const std::string& bytes) override;
    bool NodeConnected() override;

    // The node's dotted IPv4 address and the listening port, from line 2.
    [[nodiscard]] const std::string& NodeAddress() const { return nodeAddress_; }
    [[nodiscard]] std::uint16_t ListenPort() const { return listenPort_; }
    [[nodiscard]] const std::string& Caption() const { return caption_; }
    [[nodiscard]] int Strangers() const { return strangers_; }

    // For the Ethernet window: the caption of the main window, each control
    // packet sent (the attempt, 1 to `attempts`), and a UDP failure.
    std::function<void(const std::string& caption)> onCaption;
    std::function<void(int attempt)> onAttempt;
    std::function<void()> onUdpError;
    // A trace for debugging, as the transaction layer's: "udp" for a control
    // packet, "keepalive", "notification" for a dropped node notification,
    // "refused" with the address of a stranger's connection.
    std::function<void(const char* what, const std::string& bytes, std::uint32_t tick)> trace;

private:
    bool ConnectionRequest(const std::string& peer);
    void DataArrival(const std::string& data);
    void SetCaption(std::string_view caption);
    void Fail();
    void Trace(const char* what, const std::string& bytes);
    [[nodiscard]] bool WaitForCall(std::uint32_t ms);

    LinkState& link_;
    Exchange& x_;
    Connection& conn_;
    Operator& op_;
    Clock& clock_;
    EventPump& pump_;
    NodeSockets& sockets_;
    std::string nodeAddress_;
    std::uint16_t listenPort_ = 0;
    std::string caption_;
    std::uint16_t ticks_ = 0;
    int strangers_ = 0;
    std::minstd_rand random_;
};

} // namespace wm
