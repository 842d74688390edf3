#pragma once
// Waits for the meter's continuous output and hands over each record the
// framer shows. The list, the plot, the graph and `wmctl stream` all read the
// output this way: every arrival of data on the port is fed to the framer as
// it comes, and between arrivals the program blocks in its event loop (the
// window stays responsive, the processor idle) until more data arrives, the
// caller wants to stop, or a bounded wait runs out. The output's records are
// all of one length, so between arrivals the port is asked to hold back what
// comes until the record under way can be whole: one wake-up per record, not
// per character, where the port can do that.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Clock.h"
#include "platform/SerialPortControl.h"
#include "readings/RecordFramer.h"

namespace wm {

struct ReceivedRecord {
    enum class Outcome {
        Record,  // `record` holds the record as shown
        Stopped, // the caller's stop condition became true
        Gone,    // the serial device went away
        Quiet,   // nothing was shown within the quiet limit
    };
    Outcome outcome = Outcome::Stopped;
    std::string record;
    std::uint32_t tickMs = 0; // the clock's tick when the record was shown
};

class RecordReceiver {
public:
    RecordReceiver(SerialPortControl& port, EventPump& pump, Clock& clock) : port_(port), pump_(pump), clock_(clock) {}

    // Sees every chunk read from the port before the framer does (a trace).
    std::function<void(const std::string& bytes, std::uint32_t tickMs)> tap;

    // Throws away what the port holds now, as a run does at its start.
    void Discard();

    // Waits for the next record framer shows. stop is asked before every
    // read and after every wait; a caller that wants to stop from an event
    // handler sets its flag there (the wait returns on the next event or
    // after at most PollMs). quietLimitMs > 0 ends the wait with Quiet when
    // no record was shown for that long since quietSinceTick (bytes that
    // never make a record do not count); 0 waits for as long as it takes.
    ReceivedRecord Next(RecordFramer& framer, const std::function<bool()>& stop, std::uint32_t quietLimitMs = 0,
                        std::uint32_t quietSinceTick = 0);

    // The longest single wait: a stop set by something that does not wake
    // the event loop is still seen this soon.
    static constexpr std::uint32_t PollMs = 1000;

private:
    SerialPortControl& port_;
    EventPump& pump_;
    Clock& clock_;
};

} // namespace wm
