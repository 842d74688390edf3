#include "sim/MeterSession.h"

#include <algorithm>

namespace wm::sim {

MeterSession::MeterSession(Meter& meter, std::uint64_t charTimeUs) : meter_(meter), charTimeUs_(charTimeUs) {}

void MeterSession::Receive(char byte, std::uint64_t nowUs) {
    if (meter_.behaviour.echo) Send(nowUs, std::string(1, byte));
    assembler_.Receive(byte, nowUs, meter_.FramingFor(byte), charTimeUs_);
    Serve(nowUs);
}

void MeterSession::Tick(std::uint64_t nowUs) {
    assembler_.Expire(nowUs);
    Serve(nowUs);
    SendRecord(nowUs);
}

std::optional<std::uint64_t> MeterSession::NextDeadlineUs() const {
    std::optional<std::uint64_t> deadline = assembler_.DeadlineUs();
    if (nextRecordUs_ && meter_.OutputRunning())
        deadline = std::min(deadline.value_or(*nextRecordUs_), *nextRecordUs_);
    return deadline;
}

std::vector<Outgoing> MeterSession::TakeOutgoing() {
    std::vector<Outgoing> out;
    out.swap(out_);
    return out;
}

std::uint64_t MeterSession::Send(std::uint64_t atUs, std::string bytes, bool record) {
    const std::uint64_t start = std::max(atUs, lineFreeUs_);
    lineFreeUs_ = start + bytes.size() * charTimeUs_;
    out_.push_back({start, std::move(bytes), record});
    return start;
}

void MeterSession::Serve(std::uint64_t nowUs) {
    for (const Frame& frame : assembler_.Take()) {
        std::uint64_t t = nowUs;
        for (ReplyPiece& piece : meter_.Handle(frame)) {
            Send(std::max(t + piece.pauseUs, lineFreeUs_), std::move(piece.bytes));
            t = lineFreeUs_;
        }
        if (!meter_.OutputRunning()) {
            nextRecordUs_.reset();
        } else if (!nextRecordUs_) {
            nextRecordUs_ = nowUs + std::uint64_t{meter_.behaviour.replyDelayMs} * 1000;
        }
    }
}

void MeterSession::SendRecord(std::uint64_t nowUs) {
    if (!meter_.OutputRunning()) {
        nextRecordUs_.reset();
        return;
    }
    if (!nextRecordUs_ || *nextRecordUs_ > nowUs) return;
    const std::uint64_t start = Send(*nextRecordUs_, meter_.NextRecord(), true);
    const std::uint64_t interval = meter_.RecordIntervalUs();
    // Line rate: the next record follows the last byte of this one. A tick
    // that came late does not make up the records it missed.
    nextRecordUs_ = std::max(interval == 0 ? lineFreeUs_ : start + interval, nowUs + 1);
}

} // namespace wm::sim
