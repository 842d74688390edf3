#include "comm/Transaction.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "comm/Framing.h"

namespace wm {

namespace {

// The meter needs this much silence before it takes a new request, and RTU
// frames are told apart by the same silence.
constexpr std::int32_t PauseBeforeSendMs = 300;
constexpr std::uint32_t FirstCharacterMs = 3000;
// Lets the rest of a reply that has started arrive before the quiet-gap
// watch begins.
constexpr std::int32_t SettleMs = 200;
// Reception always ends. The longest reply the meter sends is a Modbus ASCII
// frame of 123 characters (about 4.5 s at 300 baud); on a line that echoes,
// the request comes back first, so up to twice that arrives. Text that keeps
// coming past these bounds is line noise or the meter's continuous output,
// never a reply, and the exchange ends with EndlessReply:
// - at most ReceiveLimitChars characters are kept: more than twice an
//   echoed longest reply, and little memory however long the noise lasts;
// - at most ReceiveBaseMs plus ReceiveLimitCharTimes character times from
//   the first character: 300 character times cover an echoed longest reply
//   with room for the pauses inside it, and the base covers the meter's
//   think time on an echoing line. At 300 baud (37 ms a character) that is
//   13.1 s, so with the 300 ms pause and the 3000 ms first-character wait an
//   exchange on a noisy line ends within 17 s; from 1200 baud up the
//   character limit ends it sooner.
constexpr std::size_t ReceiveLimitChars = 512;
constexpr std::uint32_t ReceiveBaseMs = 2000;
constexpr std::uint32_t ReceiveLimitCharTimes = 300;
// The character time of the slowest line the meter speaks (300 baud); a
// larger value in the link state is a mistake and must not stretch the bound.
constexpr std::int32_t SlowestCharTimeMs = 37;
// A remaining time beyond this means the tick counter went backwards (a
// counter restarted under us); the wait then starts over with this much.
constexpr std::int64_t ImplausibleRemainingMs = 50'000;
constexpr std::uint32_t RestartWaitMs = 9000;
constexpr double SecondsPerDay = 86'400.0;
// A clock this far past the deadline has not yet wrapped at midnight while
// the deadline already has.
constexpr double MidnightSlackSeconds = 10'000.0;

// Signed milliseconds from now to deadline on the wrapping 32-bit counter.
std::int64_t Until(std::uint32_t deadline, std::uint32_t now) {
    return static_cast<std::int32_t>(deadline - now);
}

std::uint32_t WaitMs(std::int64_t remaining) { return static_cast<std::uint32_t>(remaining); }

class WaitScope {
public:
    explicit WaitScope(int& count) : count_(count) { ++count_; }
    ~WaitScope() { --count_; }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

private:
    int& count_;
};

} // namespace

Transaction::Transaction(const LinkState& link, Exchange& x, SerialPortControl& port, Clock& clock,
                         EventPump& pump, NodeLink* node)
    : link_(link), x_(x), port_(port), clock_(clock), pump_(pump), node_(node) {}

void Transaction::Trace(const char* direction, const std::string& bytes) {
    if (trace) trace(direction, bytes, clock_.TickMs());
}

void Transaction::TraceEnd() {
    if (traceEnd) traceEnd(x_.TransferStatus, clock_.TickMs());
}

void Transaction::FrameRequest() {
    if (link_.UseModbus == 0) {
        x_.TxCommand += "\r\n";
        return;
    }
    x_.ModbusRequest = link_.ModbusAddressHex + x_.ModbusRequest;
    if (link_.EthernetLink == 1) {
        x_.TxCommand = BuildTcpFrame(x_.TransactionId, x_.ModbusRequest);
    } else if (link_.SerialMode == 2) {
        x_.TxCommand = BuildAsciiFrame(x_.ModbusRequest);
        x_.ModbusRequest = ":" + x_.ModbusRequest;
    } else {
        x_.TxCommand = BuildRtuFrame(x_.ModbusRequest);
    }
}

void Transaction::Refuse() {
    ++refused_;
    x_.TransferStatus = status::Refused;
    x_.RxReply.clear();
    x_.ModbusReply.clear();
    x_.ModbusException = 0;
}

void Transaction::Wait(std::uint32_t ms) {
    const Kept kept = Keep();
    pump_.WaitFor(ms);
    if (refused_ != kept.refused) Restore(kept);
}

void Transaction::ProcessEvents() {
    const Kept kept = Keep();
    pump_.ProcessEvents();
    if (refused_ != kept.refused) Restore(kept);
}

Transaction::Kept Transaction::Keep() const {
    return {x_.TxCommand, x_.ModbusRequest, x_.ModbusReply, x_.RxReply, x_.TransferStatus, x_.ModbusException,
            refused_};
}

void Transaction::Restore(Kept kept) {
    x_.TxCommand = std::move(kept.TxCommand);
    x_.ModbusRequest = std::move(kept.ModbusRequest);
    x_.ModbusReply = std::move(kept.ModbusReply);
    x_.RxReply = std::move(kept.RxReply);
    x_.TransferStatus = kept.TransferStatus;
    x_.ModbusException = kept.ModbusException;
}

void Transaction::SendCommand() {
    if (waiting_ > 0) {
        Refuse();
        endTracedAtSend_ = status::Refused;
        TraceEnd();
        return;
    }
    const WaitScope busy(waiting_);
    endTracedAtSend_ = status::Ok;
    const std::int32_t pause = times_ ? static_cast<std::int32_t>(times_->pauseBeforeSendMs) : PauseBeforeSendMs;
    if (!PauseUnlessGone(pause)) {
        x_.TransferStatus = status::DeviceGone;
        endTracedAtSend_ = status::DeviceGone;
        TraceEnd();
        return;
    }
    FrameRequest();
    if (link_.EthernetLink == 1) {
        x_.NodeRxBuffer.clear();
        x_.ModbusReply.clear();
        x_.NodeConnectPending = 0;
        Trace("tx", x_.TxCommand);
        if (node_ != nullptr) node_->SendData(x_.TxCommand);
        return;
    }
    // Whatever is still waiting is the tail of an earlier reply (or line
    // noise); it must not be taken for the answer to this request.
    std::string stale = port_.Input();
    stale += port_.Input();
    if (!stale.empty()) Trace("discard", stale);
    Trace("tx", x_.TxCommand);
    port_.Output(x_.TxCommand);
    if (port_.Gone()) {
        x_.TransferStatus = status::DeviceGone;
        endTracedAtSend_ = status::DeviceGone;
        TraceEnd();
    }
}

bool Transaction::PauseUnlessGone(std::int32_t ms) {
    const bool serial = link_.EthernetLink != 1;
    if (serial && port_.Gone()) return false;
    if (ms <= 0) return true;
    const std::uint32_t start = clock_.TickMs();
    const auto total = static_cast<std::uint32_t>(ms);
    for (;;) {
        const std::uint32_t elapsed = clock_.TickMs() - start;
        if (elapsed >= total) return true;
        Wait(total - elapsed);
        if (serial && port_.Gone()) return false;
    }
}

void Transaction::ReceiveReply() {
    const std::int16_t tracedAtSend = std::exchange(endTracedAtSend_, status::Ok);
    if (waiting_ > 0) {
        Refuse();
        if (tracedAtSend != status::Refused) TraceEnd();
        return;
    }
    {
        const WaitScope busy(waiting_);
        x_.TransferStatus = status::Ok;
        x_.RxReply.clear();
        x_.ModbusReply.clear();
        x_.ModbusException = 0;
        if (link_.EthernetLink == 1) {
            ReceiveFromNode();
        } else {
            ReceiveSerial();
        }
    }
    if (tracedAtSend == status::DeviceGone && x_.TransferStatus == status::DeviceGone) return;
    TraceEnd();
}

Transaction::Arrival Transaction::WaitFirstCharacter() {
    std::uint32_t deadline = clock_.TickMs() + (times_ ? times_->firstCharacterMs : FirstCharacterMs);
    for (;;) {
        if (port_.Gone()) return Arrival::Gone;
        if (port_.InBufferCount() > 0) return Arrival::Arrived;
        const std::uint32_t now = clock_.TickMs();
        std::int64_t remaining = Until(deadline, now);
        if (remaining > ImplausibleRemainingMs) {
            deadline = now + RestartWaitMs;
            remaining = RestartWaitMs;
        }
        if (remaining <= 0) return Arrival::Silent;
        Wait(WaitMs(remaining));
    }
}

std::uint32_t Transaction::QuietGapMs(std::int32_t charTimeMs) {
    return static_cast<std::uint32_t>(10 * std::clamp(charTimeMs, 0, SlowestCharTimeMs) + 50);
}

// The meter sends a reply without pauses, so the reply is complete once the
// line has been quiet for ten character times plus a margin. The time and
// size limits above end a reception that never goes quiet.
Transaction::Arrival Transaction::CollectUntilQuiet(std::string& collected) {
    const std::int32_t charMs = std::clamp(link_.CharTimeMs, 0, SlowestCharTimeMs);
    const std::uint32_t gap = QuietGapMs(charMs);
    const std::uint32_t settle = Settle();
    const std::uint32_t limit =
        times_ ? std::max(times_->receiveLimitMs, settle)
               : ReceiveBaseMs + ReceiveLimitCharTimes * static_cast<std::uint32_t>(charMs);
    std::uint32_t deadline = clock_.TickMs() + gap;
    std::uint32_t end = clock_.TickMs() + limit - settle;
    for (;;) {
        if (port_.Gone()) return Arrival::Gone;
        const std::uint32_t now = clock_.TickMs();
        std::int64_t remaining = Until(deadline, now);
        if (remaining > static_cast<std::int64_t>(gap) + 10) {
            deadline = now + gap;
            remaining = gap;
        }
        std::int64_t left = Until(end, now);
        if (left > static_cast<std::int64_t>(limit)) { // the tick counter jumped back
            end = now + limit;
            left = limit;
        }
        const std::string piece = port_.Input();
        if (!piece.empty()) {
            collected.append(piece, 0, std::min(piece.size(), ReceiveLimitChars - collected.size()));
            if (collected.size() >= ReceiveLimitChars) return Arrival::Endless;
            deadline = clock_.TickMs() + gap;
            continue;
        }
        if (remaining <= 0) return Arrival::Arrived;
        if (left <= 0) return Arrival::Endless;
        Wait(WaitMs(std::min(remaining, left)));
    }
}

std::uint32_t Transaction::Settle() const {
    return times_ ? times_->settleMs : static_cast<std::uint32_t>(SettleMs);
}

void Transaction::ReceiveSerial() {
    if (port_.Gone()) {
        x_.TransferStatus = status::DeviceGone;
        return;
    }
    const Arrival first = WaitFirstCharacter();
    if (first != Arrival::Arrived) {
        x_.TransferStatus = first == Arrival::Gone ? status::DeviceGone : status::NoReply;
        return;
    }
    // The limit on reception time counts from the first character, which
    // is why the collection's own limit leaves out this pause.
    if (!PauseUnlessGone(static_cast<std::int32_t>(Settle()))) {
        x_.TransferStatus = status::DeviceGone;
        return;
    }
    std::string collected;
    const Arrival end = CollectUntilQuiet(collected);
    if (end == Arrival::Gone) {
        Trace("rx", collected);
        x_.TransferStatus = status::DeviceGone;
        return;
    }
    port_.SetRTSEnable(false);
    Trace("rx", collected);
    if (end == Arrival::Endless) {
        x_.TransferStatus = status::EndlessReply;
        return;
    }
    if (link_.PortType == 2 && !RemoveEcho(collected, x_.TxCommand)) return;

    ReplyCheck checked;
    if (link_.UseModbus == 0) {
        checked = CheckCustomAsciiReply(collected, x_.TxCommand);
        ProcessEvents();
    } else if (link_.SerialMode == 2) {
        checked = CheckAsciiReply(collected);
    } else {
        checked = CheckRtuReply(collected);
    }
    x_.TransferStatus = checked.status;
    x_.RxReply = std::move(checked.RxReply);
    x_.ModbusReply = std::move(checked.ModbusReply);
    x_.ModbusException = checked.exception;
}

// The node forwards the meter's reply in one piece, so the first delivery is
// the whole reply; slow lines get more time for the meter's serial side.
void Transaction::ReceiveFromNode() {
    if (node_ == nullptr) {
        x_.TransferStatus = status::NodeTimeout;
        return;
    }
    const std::uint32_t limit = link_.BaudIndex == 0 ? 9000 : link_.BaudIndex == 1 ? 5000 : 3000;
    std::uint32_t deadline = clock_.TickMs() + limit;
    while (x_.NodeRxBuffer.empty()) {
        const std::uint32_t now = clock_.TickMs();
        std::int64_t remaining = Until(deadline, now);
        if (remaining > ImplausibleRemainingMs) {
            deadline = now + RestartWaitMs;
            remaining = RestartWaitMs;
        }
        if (!node_->NodeConnected()) return;
        if (remaining <= 0) {
            x_.TransferStatus = status::NodeTimeout;
            return;
        }
        Wait(WaitMs(remaining));
    }
    Trace("rx", x_.NodeRxBuffer);
    if (link_.UseModbus != 0) {
        ReplyCheck checked = CheckTcpReply(x_.NodeRxBuffer, x_.TransactionId);
        x_.TransferStatus = checked.status;
        x_.ModbusReply = std::move(checked.ModbusReply);
        x_.ModbusException = checked.exception;
        return;
    }
    x_.RxReply = StripNodeLineEnd(std::move(x_.NodeRxBuffer));
    x_.NodeRxBuffer.clear();
    x_.ModbusReply = x_.RxReply;
}

void Transaction::DelayMs(std::int32_t ms) {
    if (ms <= 0) return;
    const WaitScope busy(waiting_);
    const std::uint32_t start = clock_.TickMs();
    const auto total = static_cast<std::uint32_t>(ms);
    for (;;) {
        // Unsigned difference: correct across the counter's wrap at 2^32.
        const std::uint32_t elapsed = clock_.TickMs() - start;
        if (elapsed >= total) return;
        Wait(total - elapsed);
    }
}

void Transaction::DelaySeconds(float seconds) {
    // The meter needs a pause between some requests that is longer on slow
    // lines; at 19200 baud and above it needs none.
    const double wait = seconds == 0.0F ? 0.55 - 0.1 * link_.BaudIndex : static_cast<double>(seconds);
    if (wait <= 0.0) return;
    const WaitScope busy(waiting_);
    double deadline = clock_.SecondsSinceMidnight() + wait;
    // The clock never shows 86 400 itself, so a deadline of exactly midnight
    // must become 0 too, or the wait would last a whole day.
    if (deadline >= SecondsPerDay) deadline -= SecondsPerDay;
    for (;;) {
        const double now = clock_.SecondsSinceMidnight();
        // A clock far below the deadline has wrapped at midnight after a
        // deadline that lay just before it: the pause is over, not a day long.
        const bool notYet = now <= deadline && deadline - now < MidnightSlackSeconds;
        const bool beforeMidnight = now >= deadline + MidnightSlackSeconds;
        if (!notYet && !beforeMidnight) return;
        const double remaining = notYet ? deadline - now : deadline + SecondsPerDay - now;
        Wait(static_cast<std::uint32_t>(std::max(1.0, std::ceil(remaining * 1000.0))));
    }
}

} // namespace wm
