#pragma once
// A meter stand-in for the transaction-layer tests: the in-memory serial port
// under virtual time, with a peer that answers each complete request with the
// next scripted reply, and a node link that delivers scripted replies.
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "comm/LinkState.h"
#include "comm/Exchange.h"
#include "comm/NodeLink.h"
#include "comm/Transaction.h"
#include "platform/MemorySerialPort.h"
#include "platform/VirtualTime.h"

namespace wm::test {

inline std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values) out += static_cast<char>(v);
    return out;
}

constexpr std::uint64_t Ms = 1000; // microseconds

// Virtual time as the transaction layer's pump, with a limit: a wait that
// would run past an hour of virtual time throws instead of hanging the suite.
class WatchedPump final : public EventPump {
public:
    explicit WatchedPump(VirtualTime& time) : vt_(time) {}
    void ProcessEvents() override { vt_.ProcessEvents(); }
    void WaitFor(std::uint32_t ms) override {
        if (vt_.NowUs() > 3'600'000'000ULL) throw std::runtime_error("a wait never ended");
        vt_.WaitFor(ms);
    }

private:
    VirtualTime& vt_;
};

// One reply, possibly in pieces: each piece starts delayUs after the request's
// last byte has reached the peer (or after the previous piece, if later).
using Reply = std::vector<std::pair<std::string, std::uint64_t>>;

class SerialBench {
public:
    explicit SerialBench(std::uint32_t tickAtStart = 1'000'000, double secondsAtStart = 36'000.0)
        : vt(tickAtStart, secondsAtStart) {
        link.PortType = 1;
        link.BaudIndex = 5;
        link.CharTimeMs = 1;
        link.MeterAddress = "1";
        std::string error;
        (void)port.SetSettings("9600,n,8,1");
        (void)port.Open(error);
        port.SetRTSEnable(true);
        port.peerReceive = [this](char b) { Hear(b); };
    }

    void UseProtocol(int serialMode) {
        link.SerialMode = serialMode;
        link.UseModbus = serialMode == 0 ? 0 : 1;
    }
    void Answer(std::string reply, std::uint64_t delayUs = 2 * Ms) {
        answers.push_back({{std::move(reply), delayUs}});
    }
    void AnswerInPieces(Reply pieces) { answers.push_back(std::move(pieces)); }
    void Silence() { answers.push_back({}); }

    void AskAscii(const std::string& command) {
        x.TxCommand = "*" + link.MeterAddress + command;
        txn.SendCommand();
        txn.ReceiveReply();
    }
    void AskModbus(const std::string& request) {
        x.ModbusRequest = request;
        txn.SendCommand();
        txn.ReceiveReply();
    }
    [[nodiscard]] std::vector<MemorySerialPort::Transfer> Sent() const {
        std::vector<MemorySerialPort::Transfer> out;
        for (const auto& t : port.Log())
            if (t.fromProgram) out.push_back(t);
        return out;
    }

    VirtualTime vt;
    MemorySerialPort port{vt};
    LinkState link;
    Exchange x;
    WatchedPump pump{vt};
    Transaction txn{link, x, port, vt, pump};
    std::deque<Reply> answers;

private:
    void Hear(char b) {
        heard_ += b;
        const auto sent = Sent();
        if (sent.empty() || heard_.size() < sent.back().bytes.size()) return;
        heard_.clear();
        if (answers.empty()) return;
        for (const auto& [bytes, delay] : answers.front()) port.SendFromPeer(bytes, delay);
        answers.pop_front();
    }
    std::string heard_;
};

// The node's TCP connection: what is sent is recorded; a scripted reply is
// delivered into NodeRxBuffer after its delay, as the node's data event does.
class FakeNode final : public NodeLink {
public:
    FakeNode(VirtualTime& time, Exchange& exchange) : vt_(time), x_(exchange) {}
    void SendData(const std::string& bytes) override {
        sent.push_back(bytes);
        if (replies.empty()) return;
        auto [reply, delayUs] = replies.front();
        replies.pop_front();
        vt_.AfterUs(delayUs, [this, reply] { x_.NodeRxBuffer = reply; });
    }
    bool NodeConnected() override {
        ++checks;
        return connected;
    }
    std::vector<std::string> sent;
    std::deque<std::pair<std::string, std::uint64_t>> replies;
    bool connected = true;
    int checks = 0;

private:
    VirtualTime& vt_;
    Exchange& x_;
};

class NodeBench {
public:
    NodeBench() {
        link.EthernetLink = 1;
        link.PortType = 0;
        link.BaudIndex = 5;
    }
    void UseModbus(bool on) {
        link.UseModbus = on ? 1 : 0;
        link.SerialMode = on ? 1 : 0;
    }

    VirtualTime vt;
    MemorySerialPort port{vt}; // never opened: the node link carries everything
    LinkState link;
    Exchange x;
    FakeNode node{vt, x};
    WatchedPump pump{vt};
    Transaction txn{link, x, port, vt, pump, &node};
};

} // namespace wm::test
