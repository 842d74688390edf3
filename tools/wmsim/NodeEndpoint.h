#pragma once
// wmsim's Ethernet node on real sockets: a UDP socket on the node's address
// and port (shared, so the program on the same machine can bind the port
// number on its own address), and the TCP connection the node makes back to
// the program. The node's behaviour is NodeSession's; this only moves bytes
// at the times it asks, from the poll loop of main.cpp.
#include <netinet/in.h>
#include <poll.h>

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sim/NodeSession.h"

namespace wm::sim {

class NodeEndpoint {
public:
    NodeEndpoint(NodeSession& session, std::string address, std::string strangerAddress);
    ~NodeEndpoint();
    NodeEndpoint(const NodeEndpoint&) = delete;
    NodeEndpoint& operator=(const NodeEndpoint&) = delete;

    // Binds the UDP port; false with the reason.
    bool Open(std::string& error);
    // The descriptors to watch for reading.
    void AddPollFds(std::vector<pollfd>& fds) const;
    // Reads what the watched descriptors have (fds as poll left them).
    void Handle(const std::vector<pollfd>& fds, std::uint64_t nowUs);
    // Does what is due: the call back, the writes, a drop.
    void Tick(std::uint64_t nowUs);
    [[nodiscard]] std::optional<std::uint64_t> NextDeadlineUs() const;

private:
    void Call(std::uint64_t nowUs);
    void TryStranger(std::uint64_t nowUs);
    void CloseConnection(std::uint64_t nowUs);
    void Log(std::uint64_t nowUs, const std::string& text) { session_.AddLog(nowUs, text); }

    NodeSession& session_;
    std::string address_;
    std::string stranger_;
    int udp_ = -1;
    int tcp_ = -1;
    struct PendingCall {
        std::uint64_t atUs;
        sockaddr_in to;
    };
    std::optional<PendingCall> call_;
    std::deque<Outgoing> writes_;
};

} // namespace wm::sim
