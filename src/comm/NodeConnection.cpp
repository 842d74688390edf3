#include "comm/NodeConnection.h"

#include "comm/Connection.h"
#include "comm/Hex.h"
#include "comm/NodePacket.h"

namespace wm {

namespace {

// The node must hear from the program at least this often (in ticks of the
// one-second timer) or it drops the connection.
constexpr std::uint16_t KeepAliveTicks = 14;

} // namespace

NodeConnection::NodeConnection(LinkState& link, Exchange& x, Connection& conn, Operator& op, Clock& clock,
                               EventPump& pump, NodeSockets& sockets)
    : link_(link), x_(x), conn_(conn), op_(op), clock_(clock), pump_(pump), sockets_(sockets) {
    sockets_.connectionRequest = [this](const std::string& peer) { return ConnectionRequest(peer); };
    sockets_.dataArrival = [this](const std::string& data) { DataArrival(data); };
    sockets_.udpError = [this](const std::string&) {
        if (onUdpError) onUdpError();
    };
}

NodeConnection::~NodeConnection() {
    sockets_.connectionRequest = nullptr;
    sockets_.dataArrival = nullptr;
    sockets_.udpError = nullptr;
}

void NodeConnection::Trace(const char* what, const std::string& bytes) {
    if (trace) trace(what, bytes, clock_.TickMs());
}

void NodeConnection::SetCaption(std::string_view caption) {
    if (caption_ == caption) return;
    caption_ = std::string(caption);
    if (onCaption) onCaption(caption_);
}

bool NodeConnection::ConnectionRequest(const std::string& peer) {
    if (!nodeAddress_.empty() && PeerIsNode(peer, nodeAddress_)) return true;
    ++strangers_;
    Trace("refused", peer);
    return false;
}

// The node sends notifications of its own on the connection; they are not
// the meter's. Anything else replaces what is waiting: the node delivers a
// reply in one piece.
void NodeConnection::DataArrival(const std::string& data) {
    if (IsNodeNotification(data)) {
        Trace("notification", data);
        return;
    }
    x_.NodeRxBuffer = data;
}

bool NodeConnection::WaitForCall(std::uint32_t ms) {
    const std::uint32_t start = clock_.TickMs();
    for (;;) {
        if (sockets_.Connected()) return true;
        const std::uint32_t elapsed = clock_.TickMs() - start;
        if (elapsed >= ms) return false;
        pump_.WaitFor(ms - elapsed);
    }
}

NodeConnection::Outcome NodeConnection::BuildLink() {
    if (x_.NodeConnectPending != 1) return Outcome::NotPending;
    SetCaption(kNodeCaptionConnecting);

    const std::string& line2 = link_.SettingsLine2;
    sockets_.CloseUdp();
    sockets_.CloseTcp();
    listenPort_ = static_cast<std::uint16_t>(HexNumber(line2.substr(0, 4)).value_or(0));
    nodeAddress_ = NodeDottedAddress(line2).value_or("");
    std::string error;
    if (nodeAddress_.empty()) {
        error = "Settings.SSS line 2 holds no node address in characters 21-28";
    } else if (!sockets_.Listen(listenPort_, error)) {
        error = "the program cannot wait for the node on TCP port " + std::to_string(listenPort_) + ": " + error;
    }
    if (!error.empty()) {
        // Nothing could ever call back: say why, then give up as when the
        // node does not answer.
        op_.Ask({error + ".", "Ethernet", Buttons::Ok, Answer::Ok, Icon::Exclamation,
                 MessageId::NodeCannotListen});
        Fail();
        return Outcome::Failed;
    }

    // Seeded from both clocks: the tick counter may have started from the
    // time of day, so either alone could repeat the other.
    std::seed_seq seed{clock_.TickMs(), static_cast<std::uint32_t>(clock_.SecondsSinceMidnight() * 1000.0)};
    random_.seed(seed);
    const int mode = ChooseCheckMode(std::uniform_real_distribution<double>(0.0, 1.0)(random_));
    const std::string packet = BuildNodeControlPacket(line2.substr(4, 12), listenPort_, mode);

    // From here a socket operation that fails is passed over: the packet is
    // sent again, and the node may still call.
    (void)sockets_.BindUdp(NodePort, error);
    bool called = false;
    for (int attempt = 1; attempt <= attempts && !called; ++attempt) {
        if (onAttempt) onAttempt(attempt);
        Trace("udp", packet);
        (void)sockets_.SendUdp(nodeAddress_, NodePort, packet);
        called = WaitForCall(AttemptMs);
    }
    if (!called) {
        op_.Ask({std::string(kNodeNotConnectedText), "", Buttons::Ok, Answer::Ok, Icon::None,
                 MessageId::NodeNotConnected});
        Fail();
        return Outcome::Failed;
    }
    x_.NodeConnectPending = 0;
    link_.EthernetLink = 1;
    ticks_ = 0;
    SetCaption(kNodeCaptionConnected);
    return Outcome::Connected;
}

void NodeConnection::Fail() {
    (void)conn_.RewriteSettings(); // the lines as read; a failure has been told
    conn_.ClosePort();
    Close();
    op_.EndProgram();
}

void NodeConnection::TimerTick() {
    if (!sockets_.Connected()) {
        SetCaption(kNodeCaptionLost);
        return;
    }
    SetCaption(kNodeCaptionConnected);
    if (++ticks_ < KeepAliveTicks) return;
    ticks_ = 0;
    Trace("keepalive", std::string(NodeKeepAlive));
    (void)sockets_.SendTcp(std::string(NodeKeepAlive));
}

void NodeConnection::Close() {
    sockets_.CloseTcp();
    sockets_.CloseUdp();
}

void NodeConnection::SendData(const std::string& bytes) { (void)sockets_.SendTcp(bytes); }

bool NodeConnection::NodeConnected() {
    if (sockets_.Connected()) return true;
    op_.HideStatus();
    op_.Ask({std::string(kNodeBrokenText), "Re-Connect", Buttons::Ok, Answer::Ok, Icon::None,
             MessageId::NodeBroken});
    return false;
}

} // namespace wm
