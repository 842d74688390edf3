#pragma once
// The simulated node on the in-memory node sockets, in virtual time: it
// hears the program's datagrams sent to its address, calls back from that
// address, and serves its meter on the connection, so a test runs the
// program's own node link against it as wmsim runs it on real sockets.
//
//     VirtualTime time;
//     MemoryNodeSockets sockets(time);
//     sim::Meter meter;
//     sim::SimNode node(meter, sockets, time, "192.168.1.100");
//
// The sockets and the meter must outlive the SimNode; the time must outlive
// all three.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/MemoryNodeSockets.h"
#include "platform/VirtualTime.h"
#include "sim/Meter.h"
#include "sim/NodeSession.h"

namespace wm::sim {

class SimNode {
public:
    SimNode(Meter& meter, MemoryNodeSockets& sockets, VirtualTime& time, std::string address,
            NodeOptions options = {}, std::uint64_t charTimeUs = 1042);
    ~SimNode();
    SimNode(const SimNode&) = delete;
    SimNode& operator=(const SimNode&) = delete;

    [[nodiscard]] NodeSession& Session();
    // The connection the node called on, 0 while there is none.
    [[nodiscard]] int Connection() const;
    // Every line the node logged so far.
    [[nodiscard]] const std::vector<std::string>& Log() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace wm::sim
