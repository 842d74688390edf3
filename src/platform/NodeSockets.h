#pragma once
// The two sockets of the Ethernet node link, reduced to what the program
// uses of them: a TCP listener that takes the node's call back and then
// carries the meter's exchanges, and a UDP socket that sends the node its
// control packets. Byte-transparent: every char is one byte 0..255.
//
// Events reach the owner through the three functions below. They run from
// the event loop (in the programs, during EventPump waits; in tests, when
// virtual time reaches them), never from inside one of the calls here.
#include <cstdint>
#include <functional>
#include <string>

namespace wm {

class NodeSockets {
public:
    virtual ~NodeSockets() = default;

    // --- TCP ---
    // Closes any connection and listener, then listens on the port on every
    // local address. On failure returns false with a plain sentence.
    virtual bool Listen(std::uint16_t port, std::string& error) = 0;
    // Closes the connection and the listener.
    virtual void CloseTcp() = 0;
    // True while a connection stands.
    [[nodiscard]] virtual bool Connected() const = 0;
    // Queues the bytes on the connection; false when there is none.
    virtual bool SendTcp(const std::string& bytes) = 0;

    // --- UDP ---
    // Binds the local port on every local address, sharing it with other
    // sockets bound the same way (on one machine the simulated node holds
    // the same port number on an address of its own).
    virtual bool BindUdp(std::uint16_t port, std::string& error) = 0;
    // One datagram to a dotted IPv4 address. A failure is also reported
    // through udpError.
    virtual bool SendUdp(const std::string& dottedHost, std::uint16_t port, const std::string& bytes) = 0;
    virtual void CloseUdp() = 0;

    // --- events ---
    // A peer asks to connect. True takes its connection in place of the one
    // there is; false closes it at once. Unset: every connection is closed.
    std::function<bool(const std::string& peerAddress)> connectionRequest;
    // The bytes that arrived on the connection in one event.
    std::function<void(const std::string& data)> dataArrival;
    // The UDP socket failed (a send refused, an ICMP error reported back).
    std::function<void(const std::string& what)> udpError;
};

} // namespace wm
