#pragma once
// Time as the meter protocol sees it: a millisecond tick counter that wraps
// at 2^32 (the operating system's multimedia counter does) and a
// seconds-since-midnight clock that wraps at 86 400.
#include <cstdint>

namespace wm {

class Clock {
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual std::uint32_t TickMs() const = 0;
    // 0 <= value < 86400, with millisecond resolution.
    [[nodiscard]] virtual double SecondsSinceMidnight() const = 0;
};

// "Process window events" and "wait until this deadline or until something
// arrives". Every wait in the program goes through WaitFor, so the programs
// block in the event loop (idle CPU) and the tests jump virtual time forward.
class EventPump {
public:
    virtual ~EventPump() = default;
    // Handle what is pending now; never blocks and never advances time.
    virtual void ProcessEvents() = 0;
    // Return when something arrived (port data, a socket event, a click) or
    // after ms milliseconds, whichever is first. Callers re-check their own
    // condition afterwards: a return does not say which of the two happened.
    virtual void WaitFor(std::uint32_t ms) = 0;
    // Ends the wait under way early, as an arrival would: an event handler
    // that changed what a waiting loop waits for calls it, so the loop sees
    // the change at once. A pump whose waits return after each event anyway
    // has nothing to do.
    virtual void Wake() {}
};

} // namespace wm
