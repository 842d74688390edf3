#pragma once
// A serial port in memory, for tests: what the program writes reaches a peer
// (the simulated meter) byte by byte at the line's character rate, and what
// the peer sends enters the input buffer the same way, all in virtual time.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/SerialPortControl.h"
#include "platform/VirtualTime.h"

namespace wm {

class MemorySerialPort final : public SerialPortControl {
public:
    explicit MemorySerialPort(VirtualTime& time);

    void SetDevice(const std::string& device) override { device_ = device; }
    [[nodiscard]] std::string Device() const override { return device_; }
    bool SetSettings(const std::string& settings) override;
    [[nodiscard]] std::string Settings() const override { return settings_; }
    bool Open(std::string& error) override;
    void Close() override;
    [[nodiscard]] bool IsOpen() const override { return open_; }
    void SetRTSEnable(bool on) override { rts_ = on; }
    void SetDTREnable(bool on) override { dtr_ = on; }
    void SetHandshaking(int mode) override { handshaking_ = mode; }
    [[nodiscard]] int InBufferCount() override { return static_cast<int>(in_.size()); }
    [[nodiscard]] int OutBufferCount() override;
    std::string Input() override;
    void Output(const std::string& bytes) override;
    [[nodiscard]] bool Gone() const override { return gone_; }
    // Kept, not acted on: every character still wakes a wait in virtual time.
    void SetWakeThreshold(std::size_t chars) override { wakeThreshold_ = chars > 1 ? chars : 1; }
    [[nodiscard]] std::size_t WakeThreshold() const { return wakeThreshold_; }

    // --- the peer's side ---
    // Each byte the program writes, at the moment its stop bit has left.
    std::function<void(char byte)> peerReceive;
    // Bytes from the peer: the first starts after delayUs (after whatever the
    // peer is still sending), then one per character time.
    void SendFromPeer(const std::string& bytes, std::uint64_t delayUs = 0);
    // A line that echoes: every byte written also comes back.
    bool echo = false;
    // Make Open fail with this text (empty: Open succeeds).
    std::string failOpen;
    // The cable is pulled: the port stays open but dead until the next Open.
    // Nothing more arrives (bytes on their way are lost), nothing written
    // reaches the peer, and what is waiting to go out never drains.
    void Hangup();

    [[nodiscard]] std::uint64_t CharTimeUs() const;
    [[nodiscard]] bool Rts() const { return rts_; }
    [[nodiscard]] bool Dtr() const { return dtr_; }
    [[nodiscard]] int Handshaking() const { return handshaking_; }
    [[nodiscard]] int Opens() const { return opens_; }

    // What crossed the line: who sent, when the first byte started, the bytes.
    struct Transfer {
        bool fromProgram;
        std::uint64_t startUs;
        std::string bytes;
    };
    [[nodiscard]] const std::vector<Transfer>& Log() const { return log_; }
    void ClearLog() { log_.clear(); }

private:
    VirtualTime& time_;
    std::string device_ = "memory";
    std::string settings_ = "9600,n,8,1";
    LineSettings line_;
    bool open_ = false, rts_ = false, dtr_ = false, gone_ = false;
    int stuckOut_ = 0; // characters that will never leave a dead port
    int handshaking_ = 0;
    int opens_ = 0;
    std::size_t wakeThreshold_ = 1;
    std::string in_;
    std::uint64_t txBusyUntilUs_ = 0;
    std::uint64_t rxBusyUntilUs_ = 0;
    std::vector<Transfer> log_;
};

} // namespace wm
