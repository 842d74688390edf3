#pragma once
// Cuts the bytes the meter receives into requests. Custom ASCII and Modbus
// ASCII requests are lines: they end with LF. Modbus RTU frames have no end
// marker: a frame ends when the line has been silent for 3.5 character
// times (at least 1750 us, the usual floor at high baud rates), so the
// assembler needs to be told the time (Expire) when nothing arrives. A
// partial line that stays silent for LineTimeoutUs is dropped when the next
// byte comes, so noise or a broken request cannot swallow the next one; that
// needs no timer.
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/Meter.h"

namespace wm::sim {

class FrameAssembler {
public:
    static constexpr std::uint64_t LineTimeoutUs = 1'000'000;
    static constexpr std::size_t MaxFrame = 512;

    // framingIfNew is used when byte starts a new request.
    void Receive(char byte, std::uint64_t nowUs, Framing framingIfNew, std::uint64_t charTimeUs);
    // Ends an RTU frame whose silence has passed, drops a stale partial line.
    void Expire(std::uint64_t nowUs);
    // When an RTU frame in progress ends unless another byte comes first.
    [[nodiscard]] std::optional<std::uint64_t> DeadlineUs() const;
    [[nodiscard]] bool Idle() const { return !current_; }
    // Complete requests, oldest first.
    [[nodiscard]] std::vector<Frame> Take();

private:
    [[nodiscard]] std::optional<std::uint64_t> StaleAtUs() const;
    std::optional<Frame> current_;
    std::uint64_t silenceUs_ = 0;
    std::vector<Frame> ready_;
};

} // namespace wm::sim
