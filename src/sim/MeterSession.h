#pragma once
// One meter on one line, without a clock of its own: the transport hands it
// each received byte with the time, calls Tick when NextDeadlineUs comes,
// and sends what TakeOutgoing returns at the times given. SimPort drives it
// in virtual time on a MemorySerialPort; wmsim drives it in real time on a
// pseudo-terminal. Replies start after the meter's think time, records of
// the continuous output follow one another at the setup's output rate, and
// nothing overlaps: each piece starts when the line is free.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/FrameAssembler.h"
#include "sim/Meter.h"

namespace wm::sim {

struct Outgoing {
    std::uint64_t atUs = 0; // when the first byte starts
    std::string bytes;
    bool record = false; // one record of the continuous output
};

class MeterSession {
public:
    explicit MeterSession(Meter& meter, std::uint64_t charTimeUs = 1042);

    void SetCharTimeUs(std::uint64_t us) { charTimeUs_ = us; }
    [[nodiscard]] std::uint64_t CharTimeUs() const { return charTimeUs_; }
    void Receive(char byte, std::uint64_t nowUs);
    void Tick(std::uint64_t nowUs);
    [[nodiscard]] std::optional<std::uint64_t> NextDeadlineUs() const;
    [[nodiscard]] std::vector<Outgoing> TakeOutgoing();
    [[nodiscard]] Meter& GetMeter() { return meter_; }

private:
    void Serve(std::uint64_t nowUs);
    void SendRecord(std::uint64_t nowUs);
    std::uint64_t Send(std::uint64_t atUs, std::string bytes, bool record = false);

    Meter& meter_;
    FrameAssembler assembler_;
    std::uint64_t charTimeUs_;
    std::uint64_t lineFreeUs_ = 0;
    std::optional<std::uint64_t> nextRecordUs_;
    std::vector<Outgoing> out_;
};

} // namespace wm::sim
