#pragma once
// Virtual time for tests: a clock that stands still until something waits,
// and a queue of things that will happen (a simulated reply's bytes, a
// scripted click). A wait jumps straight to the next of them or to its own
// deadline, so a 3000 ms time-out takes no real time and a wait can be made
// to cross midnight or the tick counter's wrap on purpose.
#include <cstdint>
#include <functional>
#include <map>

#include "platform/Clock.h"

namespace wm {

class VirtualTime final : public Clock, public EventPump {
public:
    // tickAtStart: TickMs() at virtual time 0; secondsAtStart: the
    // seconds-since-midnight clock at virtual time 0.
    explicit VirtualTime(std::uint32_t tickAtStart = 1'000'000, double secondsAtStart = 36'000.0);

    [[nodiscard]] std::uint32_t TickMs() const override;
    [[nodiscard]] double SecondsSinceMidnight() const override;
    void ProcessEvents() override;
    void WaitFor(std::uint32_t ms) override;

    // Microseconds since virtual time 0.
    [[nodiscard]] std::uint64_t NowUs() const { return nowUs_; }
    [[nodiscard]] double NowMs() const { return static_cast<double>(nowUs_) / 1000.0; }
    void At(std::uint64_t atUs, std::function<void()> action);
    void AfterUs(std::uint64_t delayUs, std::function<void()> action) { At(nowUs_ + delayUs, std::move(action)); }
    // Runs everything due up to and including the given time, then stands there.
    void AdvanceUs(std::uint64_t us);
    [[nodiscard]] bool HasPending() const { return !queue_.empty(); }
    // Waits that returned so far (a guard against loops that never wait).
    [[nodiscard]] std::uint64_t Waits() const { return waits_; }

private:
    void RunDue();
    std::uint32_t tickAtStart_;
    double secondsAtStart_;
    std::uint64_t nowUs_ = 0;
    std::uint64_t waits_ = 0;
    std::uint64_t sequence_ = 0;
    std::multimap<std::pair<std::uint64_t, std::uint64_t>, std::function<void()>> queue_;
};

} // namespace wm
