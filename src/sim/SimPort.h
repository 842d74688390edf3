#pragma once
// The simulated meter on the in-memory serial port, in virtual time: every
// byte the program writes reaches the meter when its stop bit has left, and
// the meter's replies go back through SendFromPeer, paced at the port's
// baud rate. The silence that ends an RTU frame, a reply's think time and
// the continuous output's records are events in the same virtual time, so a
// test that waits through the program's own routines sees them in order.
//
//     VirtualTime time;
//     MemorySerialPort port(time);
//     sim::Meter meter;
//     sim::SimPort sim(meter, port, time);   // meter answers once port is open
//
// The port and the meter must outlive the SimPort; the time must outlive
// all three. Destroying the SimPort detaches the meter from the port.
#include <memory>

#include "platform/MemorySerialPort.h"
#include "platform/VirtualTime.h"
#include "sim/Meter.h"
#include "sim/MeterLine.h"
#include "sim/MeterSession.h"

namespace wm::sim {

class SimPort {
public:
    SimPort(Meter& meter, MemorySerialPort& port, VirtualTime& time);
    ~SimPort();
    SimPort(const SimPort&) = delete;
    SimPort& operator=(const SimPort&) = delete;

    [[nodiscard]] Meter& GetMeter();
    [[nodiscard]] MeterSession& Session();
    // The meter's own baud rate and parity: characters the program sends
    // with other port settings (baud, parity, data or stop bits) do not reach
    // it. Unset (the default): it hears the line at whatever the port is set to.
    void SetLine(std::optional<MeterLine> line);

private:
    struct State;
    std::shared_ptr<State> state_;
};

// Everything one test needs for one meter on one line, in a safe order of
// destruction. The port starts closed, as the program expects to open it.
struct SimRig {
    VirtualTime time;
    MemorySerialPort port{time};
    Meter meter;
    SimPort sim{meter, port, time};
};

} // namespace wm::sim
