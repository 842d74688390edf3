#include "sim/FrameAssembler.h"

#include <algorithm>

namespace wm::sim {

void FrameAssembler::Receive(char byte, std::uint64_t nowUs, Framing framingIfNew, std::uint64_t charTimeUs) {
    Expire(nowUs);
    if (!current_) {
        current_ = Frame{framingIfNew, {}, nowUs, nowUs};
        silenceUs_ = std::max<std::uint64_t>(charTimeUs * 35 / 10, 1750);
    }
    current_->bytes.push_back(byte);
    current_->endUs = nowUs;
    if (current_->bytes.size() > MaxFrame) {
        current_.reset();
        return;
    }
    if (current_->framing != Framing::ModbusRtu && byte == '\n') {
        ready_.push_back(std::move(*current_));
        current_.reset();
    }
}

std::optional<std::uint64_t> FrameAssembler::StaleAtUs() const {
    if (!current_) return std::nullopt;
    return current_->endUs + (current_->framing == Framing::ModbusRtu ? silenceUs_ : LineTimeoutUs);
}

std::optional<std::uint64_t> FrameAssembler::DeadlineUs() const {
    if (!current_ || current_->framing != Framing::ModbusRtu) return std::nullopt;
    return StaleAtUs();
}

void FrameAssembler::Expire(std::uint64_t nowUs) {
    const std::optional<std::uint64_t> deadline = StaleAtUs();
    if (!deadline || nowUs < *deadline) return;
    if (current_->framing == Framing::ModbusRtu) ready_.push_back(std::move(*current_));
    current_.reset();
}

std::vector<Frame> FrameAssembler::Take() {
    std::vector<Frame> out;
    out.swap(ready_);
    return out;
}

} // namespace wm::sim
