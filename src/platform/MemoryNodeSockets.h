#pragma once
// The node's sockets in memory, for tests: the program's side is the
// NodeSockets interface; the network's side (a scripted node, the simulated
// node, a stranger) sees the program's datagrams, connects to its listening
// port from an address of its choice, sends and receives on the connection
// and drops it, all in virtual time. Every delivery takes NetworkDelayUs.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/NodeSockets.h"
#include "platform/VirtualTime.h"

namespace wm {

class MemoryNodeSockets final : public NodeSockets {
public:
    static constexpr std::uint64_t NetworkDelayUs = 1000;

    explicit MemoryNodeSockets(VirtualTime& time);

    bool Listen(std::uint16_t port, std::string& error) override;
    void CloseTcp() override;
    [[nodiscard]] bool Connected() const override { return current_ != 0; }
    bool SendTcp(const std::string& bytes) override;
    bool BindUdp(std::uint16_t port, std::string& error) override;
    bool SendUdp(const std::string& dottedHost, std::uint16_t port, const std::string& bytes) override;
    void CloseUdp() override { udpBound_ = 0; }

    // --- the network's side ---
    struct Datagram {
        std::uint64_t atUs; // when it arrived
        std::string host;
        std::uint16_t port;
        std::uint16_t fromPort; // the program's bound port, 0 when unbound
        std::string bytes;
    };
    // Each datagram the program sends, as it arrives; all of them are kept.
    std::function<void(const Datagram&)> peerDatagram;
    std::vector<Datagram> datagrams;

    // A peer at address `from` connects to TCP port `port` after delayUs.
    // `done` is told the connection's number, or 0 when nothing listens on
    // the port or the program closed the connection at once.
    void PeerConnect(const std::string& from, std::uint16_t port, std::uint64_t delayUs,
                     std::function<void(int connection)> done = nullptr);
    // Bytes from the peer on a connection, arriving in one data event after
    // delayUs; dropped when the connection is gone by then.
    void PeerSend(int connection, const std::string& bytes, std::uint64_t delayUs = 0);
    // What the program sends on a connection, as it arrives.
    std::function<void(int connection, const std::string& bytes)> peerReceive;
    // The peer drops the connection (the program sees it closed at once).
    void PeerClose(int connection);
    // Told when the program closes a connection (CloseTcp, or a newer one
    // taking its place).
    std::function<void(int connection)> peerClosed;

    struct Sent {
        std::uint64_t atUs;
        int connection;
        std::string bytes;
    };
    // Everything the program sent on a connection, when it sent it.
    std::vector<Sent> tcpSent;
    // The addresses whose connections the program closed at once.
    std::vector<std::string> refused;
    [[nodiscard]] int Current() const { return current_; }
    [[nodiscard]] std::uint16_t ListeningPort() const { return listening_; }
    [[nodiscard]] std::uint16_t UdpPort() const { return udpBound_; }

    // Make the next calls fail: Listen and BindUdp with these texts (empty:
    // they succeed), SendUdp while sendUdpFails is set.
    std::string failListen;
    std::string failBind;
    bool sendUdpFails = false;

private:
    void Drop(int connection);

    VirtualTime& time_;
    std::uint16_t listening_ = 0;
    std::uint16_t udpBound_ = 0;
    int current_ = 0;
    int next_ = 1;
};

} // namespace wm
