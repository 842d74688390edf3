#include "platform/VirtualTime.h"

#include <cmath>

namespace wm {

VirtualTime::VirtualTime(std::uint32_t tickAtStart, double secondsAtStart)
    : tickAtStart_(tickAtStart), secondsAtStart_(secondsAtStart) {}

std::uint32_t VirtualTime::TickMs() const {
    return static_cast<std::uint32_t>(tickAtStart_ + nowUs_ / 1000); // wraps like the real counter
}

double VirtualTime::SecondsSinceMidnight() const {
    double s = std::fmod(secondsAtStart_ + static_cast<double>(nowUs_ / 1000) / 1000.0, 86'400.0);
    return s < 0 ? s + 86'400.0 : s;
}

void VirtualTime::At(std::uint64_t atUs, std::function<void()> action) {
    if (atUs < nowUs_) atUs = nowUs_;
    queue_.emplace(std::make_pair(atUs, sequence_++), std::move(action));
}

void VirtualTime::RunDue() {
    while (!queue_.empty() && queue_.begin()->first.first <= nowUs_) {
        auto action = std::move(queue_.begin()->second);
        queue_.erase(queue_.begin());
        action();
    }
}

void VirtualTime::ProcessEvents() { RunDue(); }

void VirtualTime::WaitFor(std::uint32_t ms) {
    ++waits_;
    const std::uint64_t deadline = nowUs_ + static_cast<std::uint64_t>(ms) * 1000;
    if (!queue_.empty() && queue_.begin()->first.first <= deadline) {
        nowUs_ = std::max(nowUs_, queue_.begin()->first.first);
    } else {
        nowUs_ = deadline;
    }
    RunDue();
}

void VirtualTime::AdvanceUs(std::uint64_t us) {
    const std::uint64_t end = nowUs_ + us;
    while (!queue_.empty() && queue_.begin()->first.first <= end) {
        nowUs_ = std::max(nowUs_, queue_.begin()->first.first);
        RunDue();
    }
    nowUs_ = end;
}

} // namespace wm
