#include "platform/MemorySerialPort.h"

#include <algorithm>

namespace wm {

MemorySerialPort::MemorySerialPort(VirtualTime& time) : time_(time), line_(ParseLineSettings(settings_)) {}

bool MemorySerialPort::SetSettings(const std::string& settings) {
    LineSettings parsed = ParseLineSettings(settings);
    if (!parsed.ok) return false;
    settings_ = settings;
    line_ = parsed;
    return true;
}

bool MemorySerialPort::Open(std::string& error) {
    if (open_) {
        error = device_ + ": the port is already open";
        return false;
    }
    if (!failOpen.empty()) {
        error = failOpen;
        return false;
    }
    open_ = true;
    gone_ = false;
    stuckOut_ = 0;
    ++opens_;
    return true;
}

void MemorySerialPort::Close() {
    open_ = false;
    wakeThreshold_ = 1;
    in_.clear();
}

std::uint64_t MemorySerialPort::CharTimeUs() const {
    return static_cast<std::uint64_t>(line_.BitsPerChar()) * 1'000'000ULL / static_cast<std::uint64_t>(line_.baud);
}

void MemorySerialPort::Hangup() {
    if (!open_) return;
    stuckOut_ = OutBufferCount();
    gone_ = true;
    in_.clear();
}

int MemorySerialPort::OutBufferCount() {
    if (gone_) return open_ ? stuckOut_ : 0;
    if (txBusyUntilUs_ <= time_.NowUs()) return 0;
    const std::uint64_t c = CharTimeUs();
    return static_cast<int>((txBusyUntilUs_ - time_.NowUs() + c - 1) / c);
}

std::string MemorySerialPort::Input() {
    std::string out;
    out.swap(in_);
    return out;
}

void MemorySerialPort::Output(const std::string& bytes) {
    if (!open_ || bytes.empty()) return;
    wakeThreshold_ = 1;
    if (gone_) {
        stuckOut_ += static_cast<int>(bytes.size());
        return;
    }
    const std::uint64_t c = CharTimeUs();
    std::uint64_t start = std::max(time_.NowUs(), txBusyUntilUs_);
    log_.push_back({true, start, bytes});
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint64_t done = start + (i + 1) * c;
        const char b = bytes[i];
        time_.At(done, [this, b] {
            if (peerReceive && !gone_) peerReceive(b);
        });
        if (echo) {
            time_.At(done, [this, b] {
                if (open_ && !gone_) in_.push_back(b);
            });
        }
    }
    txBusyUntilUs_ = start + bytes.size() * c;
}

void MemorySerialPort::SendFromPeer(const std::string& bytes, std::uint64_t delayUs) {
    if (bytes.empty()) return;
    const std::uint64_t c = CharTimeUs();
    std::uint64_t start = std::max(time_.NowUs() + delayUs, rxBusyUntilUs_);
    log_.push_back({false, start, bytes});
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char b = bytes[i];
        time_.At(start + (i + 1) * c, [this, b] {
            if (open_ && !gone_) in_.push_back(b);
        });
    }
    rxBusyUntilUs_ = start + bytes.size() * c;
}

} // namespace wm
