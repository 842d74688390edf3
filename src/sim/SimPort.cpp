#include "sim/SimPort.h"

#include <optional>

namespace wm::sim {

struct SimPort::State : std::enable_shared_from_this<SimPort::State> {
    State(Meter& m, MemorySerialPort& p, VirtualTime& t) : port(p), time(t), session(m, p.CharTimeUs()) {}

    MemorySerialPort& port;
    VirtualTime& time;
    MeterSession session;
    std::optional<std::uint64_t> tickAtUs;
    std::optional<MeterLine> line;

    void OnByte(char byte) {
        if (line && !MeterHears(*line, FixedFraming(session.GetMeter()), ParseLineSettings(port.Settings()), false))
            return;
        session.SetCharTimeUs(port.CharTimeUs());
        session.Receive(byte, time.NowUs());
        Flush();
    }

    void OnTick(std::uint64_t scheduledUs) {
        if (tickAtUs == scheduledUs) tickAtUs.reset();
        session.Tick(time.NowUs());
        Flush();
    }

    void Flush() {
        const std::uint64_t now = time.NowUs();
        for (Outgoing& o : session.TakeOutgoing())
            port.SendFromPeer(o.bytes, o.atUs > now ? o.atUs - now : 0);
        const std::optional<std::uint64_t> deadline = session.NextDeadlineUs();
        if (!deadline || (tickAtUs && *tickAtUs <= *deadline)) return;
        tickAtUs = *deadline;
        std::weak_ptr<State> self = weak_from_this();
        time.At(*deadline, [self, at = *deadline] {
            if (auto s = self.lock()) s->OnTick(at);
        });
    }
};

SimPort::SimPort(Meter& meter, MemorySerialPort& port, VirtualTime& time)
    : state_(std::make_shared<State>(meter, port, time)) {
    std::weak_ptr<State> self = state_;
    port.peerReceive = [self](char byte) {
        if (auto s = self.lock()) s->OnByte(byte);
    };
}

SimPort::~SimPort() { state_->port.peerReceive = nullptr; }

Meter& SimPort::GetMeter() { return state_->session.GetMeter(); }

MeterSession& SimPort::Session() { return state_->session; }

void SimPort::SetLine(std::optional<MeterLine> line) { state_->line = line; }

} // namespace wm::sim
