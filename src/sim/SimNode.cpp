#include "sim/SimNode.h"

#include "comm/NodePacket.h"

namespace wm::sim {

struct SimNode::State : std::enable_shared_from_this<SimNode::State> {
    State(Meter& m, MemoryNodeSockets& s, VirtualTime& t, std::string a, NodeOptions o, std::uint64_t charUs)
        : sockets(s), time(t), address(std::move(a)), session(m, std::move(o), charUs) {}

    MemoryNodeSockets& sockets;
    VirtualTime& time;
    std::string address;
    NodeSession session;
    int connection = 0;
    std::vector<std::string> log;

    std::weak_ptr<State> Self() { return weak_from_this(); }

    void OnDatagram(const MemoryNodeSockets::Datagram& d) {
        if (d.host != address || d.port != NodePort) return;
        const std::optional<std::uint16_t> port = session.Datagram(d.bytes, time.NowUs());
        if (port) {
            const std::uint64_t delayUs = std::uint64_t{session.Options().callDelayMs} * 1000;
            sockets.PeerConnect(address, *port, delayUs, [self = Self()](int c) {
                if (auto s = self.lock()) s->OnCalled(c);
            });
        }
        Flush();
    }

    void OnCalled(int c) {
        if (c != 0) connection = c;
        session.Called(c != 0, time.NowUs());
        Flush();
    }

    void OnReceive(int c, const std::string& bytes) {
        if (c != connection) return;
        session.Receive(bytes, time.NowUs());
        Flush();
    }

    void OnClosed(int c) {
        if (c != connection) return;
        connection = 0;
        session.Disconnected(time.NowUs());
        Flush();
    }

    void Flush() {
        const std::uint64_t now = time.NowUs();
        for (Outgoing& o : session.TakeOutgoing())
            sockets.PeerSend(connection, o.bytes, o.atUs > now ? o.atUs - now : 0);
        if (const auto drop = session.DropAtUs()) {
            const int c = connection;
            time.At(*drop, [self = Self(), c] {
                auto s = self.lock();
                if (!s || s->connection != c) return;
                s->sockets.PeerClose(c);
                s->OnClosed(c);
            });
        }
        for (std::string& line : session.TakeLog()) log.push_back(std::move(line));
    }
};

SimNode::SimNode(Meter& meter, MemoryNodeSockets& sockets, VirtualTime& time, std::string address,
                 NodeOptions options, std::uint64_t charTimeUs)
    : state_(std::make_shared<State>(meter, sockets, time, std::move(address), std::move(options), charTimeUs)) {
    std::weak_ptr<State> self = state_;
    sockets.peerDatagram = [self](const MemoryNodeSockets::Datagram& d) {
        if (auto s = self.lock()) s->OnDatagram(d);
    };
    sockets.peerReceive = [self](int c, const std::string& bytes) {
        if (auto s = self.lock()) s->OnReceive(c, bytes);
    };
    sockets.peerClosed = [self](int c) {
        if (auto s = self.lock()) s->OnClosed(c);
    };
}

SimNode::~SimNode() {
    state_->sockets.peerDatagram = nullptr;
    state_->sockets.peerReceive = nullptr;
    state_->sockets.peerClosed = nullptr;
}

NodeSession& SimNode::Session() { return state_->session; }

int SimNode::Connection() const { return state_->connection; }

const std::vector<std::string>& SimNode::Log() const { return state_->log; }

} // namespace wm::sim
