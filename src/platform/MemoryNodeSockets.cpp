#include "platform/MemoryNodeSockets.h"

#include <utility>

namespace wm {

MemoryNodeSockets::MemoryNodeSockets(VirtualTime& time) : time_(time) {}

bool MemoryNodeSockets::Listen(std::uint16_t port, std::string& error) {
    CloseTcp();
    if (!failListen.empty()) {
        error = failListen;
        return false;
    }
    listening_ = port;
    return true;
}

void MemoryNodeSockets::Drop(int connection) {
    if (connection == 0) return;
    if (current_ == connection) current_ = 0;
    if (peerClosed) peerClosed(connection);
}

void MemoryNodeSockets::CloseTcp() {
    listening_ = 0;
    Drop(current_);
}

bool MemoryNodeSockets::SendTcp(const std::string& bytes) {
    if (current_ == 0) return false;
    const int connection = current_;
    tcpSent.push_back({time_.NowUs(), connection, bytes});
    time_.AfterUs(NetworkDelayUs, [this, connection, bytes] {
        if (peerReceive) peerReceive(connection, bytes);
    });
    return true;
}

bool MemoryNodeSockets::BindUdp(std::uint16_t port, std::string& error) {
    if (!failBind.empty()) {
        error = failBind;
        return false;
    }
    udpBound_ = port;
    return true;
}

bool MemoryNodeSockets::SendUdp(const std::string& dottedHost, std::uint16_t port, const std::string& bytes) {
    if (sendUdpFails) {
        time_.AfterUs(NetworkDelayUs, [this] {
            if (udpError) udpError("the datagram could not be sent");
        });
        return false;
    }
    Datagram d{0, dottedHost, port, udpBound_, bytes};
    time_.AfterUs(NetworkDelayUs, [this, d]() mutable {
        d.atUs = time_.NowUs();
        datagrams.push_back(d);
        if (peerDatagram) peerDatagram(d);
    });
    return true;
}

void MemoryNodeSockets::PeerConnect(const std::string& from, std::uint16_t port, std::uint64_t delayUs,
                                    std::function<void(int)> done) {
    time_.AfterUs(delayUs + NetworkDelayUs, [this, from, port, done = std::move(done)] {
        int connection = 0;
        if (listening_ != 0 && listening_ == port) {
            if (connectionRequest && connectionRequest(from)) {
                const int previous = current_;
                connection = next_++;
                current_ = connection;
                Drop(previous);
            } else {
                refused.push_back(from);
            }
        }
        if (done) done(connection);
    });
}

void MemoryNodeSockets::PeerSend(int connection, const std::string& bytes, std::uint64_t delayUs) {
    time_.AfterUs(delayUs + NetworkDelayUs, [this, connection, bytes] {
        if (connection != 0 && connection == current_ && dataArrival) dataArrival(bytes);
    });
}

void MemoryNodeSockets::PeerClose(int connection) {
    if (connection != 0 && connection == current_) current_ = 0;
}

} // namespace wm
