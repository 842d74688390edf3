#pragma once
// The transaction layer: every exchange with the meter goes through
// SendCommand and ReceiveReply, one request and one reply at a time.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "comm/LinkState.h"
#include "comm/Exchange.h"
#include "comm/NodeLink.h"
#include "platform/Clock.h"
#include "platform/SerialPortControl.h"

namespace wm {

class Transaction {
public:
    Transaction(const LinkState& link, Exchange& x, SerialPortControl& port, Clock& clock, EventPump& pump,
                NodeLink* node = nullptr);

    void SetNodeLink(NodeLink* node) { node_ = node; }

    // The waits of a serial exchange when they are not the meter's usual
    // ones (300 ms pause, 3000 ms for the first character, 200 ms settle,
    // 2000 ms plus 300 character times of reception): a scan that tries link
    // after link waits only as long as an answer at the line's speed can
    // take (comm/LinkScan.h says how long). The quiet gap that ends a reply
    // stays ten character times plus 50 ms.
    struct ReplyTimes {
        std::uint32_t pauseBeforeSendMs = 0;
        std::uint32_t firstCharacterMs = 0; // from the moment the request is written
        std::uint32_t settleMs = 0;         // after the first character, before the quiet-gap watch
        std::uint32_t receiveLimitMs = 0;   // reception's bound from the first character, settle included
    };
    // Unset: the usual times.
    void SetReplyTimes(std::optional<ReplyTimes> times) { times_ = times; }
    [[nodiscard]] const std::optional<ReplyTimes>& GetReplyTimes() const { return times_; }
    // The quiet that ends a serial reply: ten character times (whole ms, as
    // the link state holds them) plus 50 ms.
    [[nodiscard]] static std::uint32_t QuietGapMs(std::int32_t charTimeMs);

    // Frames TxCommand (Custom ASCII) or ModbusRequest (Modbus) for the link
    // and writes it, after the 300 ms pause the meter needs between requests.
    // If the serial device goes away first, nothing is written and
    // TransferStatus becomes DeviceGone.
    void SendCommand();
    // Waits for, collects and checks the reply; sets TransferStatus,
    // ModbusException, ModbusReply and RxReply. Both texts are emptied first, on either link,
    // so a reply that never came (no CR, an echo that does not match, a
    // broken node link: all status 0) can never pass for the previous one.
    // Every serial reception ends: NoReply if nothing comes, EndlessReply if
    // the line never goes quiet, DeviceGone at once if the device goes away.
    void ReceiveReply();
    void DelayMs(std::int32_t ms);
    void DelaySeconds(float seconds);

    // A wire trace for debugging: called with "tx" for every frame sent, "rx"
    // for every reply collected (before any check), "discard" for stale input
    // thrown away before a send; with the bytes and the tick.
    std::function<void(const char* direction, const std::string& bytes, std::uint32_t tick)> trace;
    // The status each exchange ended with, once: at the end of ReceiveReply,
    // or when SendCommand already failed (refused, the device gone).
    std::function<void(std::int16_t status, std::uint32_t tick)> traceEnd;

    // True while SendCommand, ReceiveReply or a delay is waiting. A second
    // exchange started from an event handled during that wait is refused, so
    // exchanges never nest: SendCommand and ReceiveReply send and read
    // nothing, empty both reply texts and set TransferStatus to
    // status::Refused, so the refused caller can never take the waiting
    // exchange's reply for its own. When the wait is over, the waiting
    // exchange gets its request, reply texts and status back as they were.
    [[nodiscard]] bool Waiting() const { return waiting_ > 0; }
    [[nodiscard]] int Refused() const { return refused_; }

    [[nodiscard]] const LinkState& Link() const { return link_; }
    [[nodiscard]] Exchange& X() { return x_; }
    [[nodiscard]] Clock& GetClock() { return clock_; }
    [[nodiscard]] EventPump& Pump() { return pump_; }
    [[nodiscard]] SerialPortControl& Port() { return port_; }

private:
    // How a wait on the serial line ended.
    enum class Arrival { Arrived, Silent, Endless, Gone };

    // What a refused exchange overwrites, kept across a wait.
    struct Kept {
        std::string TxCommand, ModbusRequest, ModbusReply, RxReply;
        std::int16_t TransferStatus;
        int ModbusException;
        int refused;
    };

    void Refuse();
    // Every wait goes through these two: events handled during them may
    // start an exchange that is refused, and its marks must not stay.
    void Wait(std::uint32_t ms);
    void ProcessEvents();
    [[nodiscard]] Kept Keep() const;
    void Restore(Kept kept);

    void FrameRequest();
    void ReceiveSerial();
    [[nodiscard]] std::uint32_t Settle() const;
    // A pause that ends early, returning false, when the device goes away.
    [[nodiscard]] bool PauseUnlessGone(std::int32_t ms);
    [[nodiscard]] Arrival WaitFirstCharacter();
    [[nodiscard]] Arrival CollectUntilQuiet(std::string& collected);
    void ReceiveFromNode();
    void Trace(const char* direction, const std::string& bytes);
    void TraceEnd();

    const LinkState& link_;
    Exchange& x_;
    SerialPortControl& port_;
    Clock& clock_;
    EventPump& pump_;
    NodeLink* node_;
    std::optional<ReplyTimes> times_;
    int waiting_ = 0;
    int refused_ = 0;
    // The failure SendCommand traced as the exchange's end (0: none), so the
    // ReceiveReply that follows does not trace it a second time.
    std::int16_t endTracedAtSend_ = status::Ok;
};

} // namespace wm
