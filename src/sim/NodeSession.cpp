#include "sim/NodeSession.h"

#include <algorithm>
#include <utility>

#include "comm/NodePacket.h"
#include "comm/TrafficLog.h"
#include "sim/SimFraming.h"

namespace wm::sim {

namespace {

// A message longer than this is not a request of the program's.
constexpr std::size_t MaxMessage = 512;

std::uint16_t Word(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) << 8 |
                                      static_cast<std::uint8_t>(bytes[at + 1]));
}

std::string WordBytes(unsigned v) { return {static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)}; }

} // namespace

std::string NodeNotificationBytes(const std::string& hardwareHex) {
    std::string hardware = Unhex(hardwareHex).value_or(std::string());
    hardware.resize(6, '\0');
    return std::string(NodeMagic) + hardware + std::string("\x05\x04\x00\x00\x00\x00\x01", 7);
}

NodeSession::NodeSession(Meter& meter, NodeOptions options, std::uint64_t charTimeUs)
    : meter_(meter), options_(std::move(options)), charTimeUs_(charTimeUs) {}

void NodeSession::AddLog(std::uint64_t nowUs, const std::string& text) {
    TrafficLine line;
    line.kind = TrafficLine::Kind::Note;
    line.timeUs = nowUs;
    line.fine = true;
    line.note = "node " + text;
    log_.push_back(FormatTrafficLine(line));
}

std::vector<std::string> NodeSession::TakeLog() {
    std::vector<std::string> out;
    out.swap(log_);
    return out;
}

std::vector<Outgoing> NodeSession::TakeOutgoing() {
    std::vector<Outgoing> out;
    out.swap(out_);
    return out;
}

std::optional<std::uint16_t> NodeSession::Datagram(const std::string& bytes, std::uint64_t nowUs) {
    const std::optional<NodeControl> control = DecodeNodeControlPacket(bytes);
    if (!control) {
        AddLog(nowUs, "ignored a datagram that is not a control packet: " + Hex(bytes));
        return std::nullopt;
    }
    if (Hex(control->hardware) != UpperCase(options_.hardware)) {
        AddLog(nowUs, "ignored a control packet for node " + Hex(control->hardware));
        return std::nullopt;
    }
    AddLog(nowUs, "control mode " + std::to_string(control->mode) + " port " + std::to_string(control->port) +
                      (options_.callBack ? "" : " (not calling back)"));
    if (!options_.callBack) return std::nullopt;
    return control->port;
}

void NodeSession::Called(bool taken, std::uint64_t nowUs) {
    connected_ = taken;
    buffer_.clear();
    requests_ = 0;
    dropAtUs_.reset();
    AddLog(nowUs, taken ? "called" : "call refused");
    if (taken && options_.notifyOnCall) Send(nowUs, NodeNotificationBytes(options_.hardware));
}

void NodeSession::Disconnected(std::uint64_t nowUs) {
    if (!connected_) return;
    connected_ = false;
    buffer_.clear();
    dropAtUs_.reset();
    out_.clear();
    AddLog(nowUs, "disconnected");
}

void NodeSession::Receive(const std::string& bytes, std::uint64_t nowUs) {
    if (!connected_) return;
    buffer_ += bytes;
    while (!buffer_.empty() && TakeMessage(nowUs)) {
    }
}

bool NodeSession::TakeMessage(std::uint64_t nowUs) {
    if (buffer_.starts_with(NodeKeepAlive)) {
        buffer_.erase(0, NodeKeepAlive.size());
        keepAlives_.push_back(nowUs);
        AddLog(nowUs, "keepalive");
        return true;
    }
    const auto junk = [&] {
        AddLog(nowUs, "dropped bytes that are no request: " + Hex(buffer_));
        buffer_.clear();
        return false;
    };
    if (buffer_[0] == '*') {
        const std::size_t lf = buffer_.find('\n');
        if (lf == std::string::npos) return buffer_.size() > MaxMessage ? junk() : false;
        const std::string line = buffer_.substr(0, lf + 1);
        buffer_.erase(0, lf + 1);
        Forward(Framing::CustomAscii, line, nowUs, {});
        return true;
    }
    // A Modbus TCP frame: identifier, protocol 0, length, unit and PDU.
    if (buffer_.size() >= 4 && Word(buffer_, 2) != 0) return junk();
    if (buffer_.size() < 6) return false;
    const std::uint16_t length = Word(buffer_, 4);
    if (length < 2 || length > 254) return junk();
    if (buffer_.size() < 6U + length) return false;
    const std::string header = buffer_.substr(0, 4);
    const auto unit = static_cast<std::uint8_t>(buffer_[6]);
    const std::string pdu = buffer_.substr(7, length - 1U);
    buffer_.erase(0, 6U + length);
    Forward(Framing::ModbusRtu, RtuFrame({unit, pdu}), nowUs, header);
    return true;
}

void NodeSession::Forward(Framing framing, const std::string& serialBytes, std::uint64_t nowUs,
                          const std::string& tcpHeader) {
    ++requests_;
    AddLog(nowUs, "request " + Hex(serialBytes));
    const std::uint64_t start = std::max(nowUs, lineFreeUs_);
    const std::uint64_t requestEnd = start + serialBytes.size() * charTimeUs_;
    const Reply reply = meter_.Handle(Frame{framing, serialBytes, start, requestEnd});

    if (!reply.empty() && options_.notifyBeforeReplies) Send(requestEnd, NodeNotificationBytes(options_.hardware));
    std::uint64_t t = requestEnd;
    std::string whole;
    for (const ReplyPiece& piece : reply) {
        t += piece.pauseUs + piece.bytes.size() * charTimeUs_;
        // A pause in the meter's reply makes the node pass on what it has.
        if (framing == Framing::CustomAscii) Send(t, piece.bytes);
        whole += piece.bytes;
    }
    lineFreeUs_ = t;
    if (framing == Framing::ModbusRtu && !whole.empty()) {
        const std::optional<ModbusAdu> adu = ParseRtu(whole);
        if (!adu) {
            AddLog(t, "dropped the meter's reply, its CRC is wrong: " + Hex(whole));
        } else {
            const unsigned id = (Word(tcpHeader, 0) + (options_.wrongTransaction ? 1U : 0U)) & 0xFFFFU;
            Send(t, WordBytes(id) + WordBytes(0) + WordBytes(static_cast<unsigned>(adu->pdu.size() + 1)) +
                        static_cast<char>(adu->unit) + adu->pdu);
        }
    }
    if (options_.dropAfter > 0 && requests_ == options_.dropAfter) dropAtUs_ = t + 1000;
}

void NodeSession::Send(std::uint64_t atUs, std::string bytes) {
    AddLog(atUs, "send " + Hex(bytes));
    out_.push_back({atUs, std::move(bytes)});
}

} // namespace wm::sim
