#include "NodeEndpoint.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "comm/NodePacket.h"

namespace wm::sim {

namespace {

// How long a stranger's connection waits for the program to close it.
constexpr int StrangerWaitMs = 2000;

bool Address(const std::string& dotted, std::uint16_t port, sockaddr_in& out) {
    out = sockaddr_in{};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    return inet_pton(AF_INET, dotted.c_str(), &out.sin_addr) == 1;
}

// A TCP socket bound to `from` (any port) and connected to `to`; -1 with
// errno set when that fails.
int ConnectFrom(const std::string& from, const sockaddr_in& to) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return -1;
    sockaddr_in local{};
    if (!Address(from, 0, local) || bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        const int saved = errno;
        close(s);
        errno = saved;
        return -1;
    }
    return s;
}

} // namespace

NodeEndpoint::NodeEndpoint(NodeSession& session, std::string address, std::string strangerAddress)
    : session_(session), address_(std::move(address)), stranger_(std::move(strangerAddress)) {}

NodeEndpoint::~NodeEndpoint() {
    if (tcp_ >= 0) close(tcp_);
    if (udp_ >= 0) close(udp_);
}

bool NodeEndpoint::Open(std::string& error) {
    sockaddr_in local{};
    if (!Address(address_, NodePort, local)) {
        error = address_ + " is not an IPv4 address";
        return false;
    }
    udp_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (udp_ < 0 || setsockopt(udp_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(udp_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = "cannot bind UDP " + address_ + ":" + std::to_string(NodePort) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void NodeEndpoint::AddPollFds(std::vector<pollfd>& fds) const {
    if (udp_ >= 0) fds.push_back({udp_, POLLIN, 0});
    if (tcp_ >= 0) fds.push_back({tcp_, POLLIN, 0});
}

void NodeEndpoint::Handle(const std::vector<pollfd>& fds, std::uint64_t nowUs) {
    for (const pollfd& p : fds) {
        if (p.revents == 0) continue;
        if (p.fd == udp_) {
            char buffer[2048];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            ssize_t n = 0;
            while ((n = recvfrom(udp_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length)) >= 0) {
                const auto port = session_.Datagram(std::string(buffer, static_cast<std::size_t>(n)), nowUs);
                if (port) {
                    from.sin_port = htons(*port);
                    call_ = PendingCall{nowUs + std::uint64_t{session_.Options().callDelayMs} * 1000, from};
                }
                length = sizeof from;
            }
        } else if (p.fd == tcp_ && tcp_ >= 0) {
            char buffer[2048];
            for (;;) {
                const ssize_t n = read(tcp_, buffer, sizeof buffer);
                if (n > 0) {
                    session_.Receive(std::string(buffer, static_cast<std::size_t>(n)), nowUs);
                    continue;
                }
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
                Log(nowUs, n == 0 ? "the program closed the connection" : std::string("read: ") + std::strerror(errno));
                CloseConnection(nowUs);
                break;
            }
        }
    }
    for (Outgoing& o : session_.TakeOutgoing()) writes_.push_back(std::move(o));
}

void NodeEndpoint::TryStranger(std::uint64_t nowUs) {
    const auto start = std::chrono::steady_clock::now();
    const int s = ConnectFrom(stranger_, call_->to);
    if (s < 0) {
        Log(nowUs, "stranger from " + stranger_ + " could not connect: " + std::strerror(errno));
        return;
    }
    pollfd p{s, POLLIN, 0};
    bool closed = false;
    if (poll(&p, 1, StrangerWaitMs) > 0) {
        char byte;
        closed = read(s, &byte, 1) <= 0;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    Log(nowUs, "stranger from " + stranger_ + (closed ? ": closed by the program after " + std::to_string(ms.count()) + " ms"
                                                      : ": still open after " + std::to_string(StrangerWaitMs) + " ms"));
    close(s);
}

void NodeEndpoint::Call(std::uint64_t nowUs) {
    if (tcp_ >= 0) CloseConnection(nowUs);
    if (!stranger_.empty()) TryStranger(nowUs);
    const int s = ConnectFrom(address_, call_->to);
    call_.reset();
    if (s < 0) {
        Log(nowUs, std::string("call failed: ") + std::strerror(errno));
        session_.Called(false, nowUs);
        return;
    }
    const int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on); // each reply in a segment of its own
    fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK);
    tcp_ = s;
    session_.Called(true, nowUs);
    for (Outgoing& o : session_.TakeOutgoing()) writes_.push_back(std::move(o));
}

void NodeEndpoint::CloseConnection(std::uint64_t nowUs) {
    if (tcp_ < 0) return;
    close(tcp_);
    tcp_ = -1;
    writes_.clear();
    session_.Disconnected(nowUs);
}

void NodeEndpoint::Tick(std::uint64_t nowUs) {
    if (call_ && call_->atUs <= nowUs) Call(nowUs);
    std::stable_sort(writes_.begin(), writes_.end(),
                     [](const Outgoing& a, const Outgoing& b) { return a.atUs < b.atUs; });
    while (!writes_.empty() && writes_.front().atUs <= nowUs) {
        const std::string& bytes = writes_.front().bytes;
        if (tcp_ >= 0 && write(tcp_, bytes.data(), bytes.size()) < 0 && errno != EAGAIN)
            Log(nowUs, std::string("write: ") + std::strerror(errno));
        writes_.pop_front();
    }
    if (const auto drop = session_.DropAtUs(); drop && *drop <= nowUs && tcp_ >= 0) {
        Log(nowUs, "dropped the connection");
        CloseConnection(nowUs);
    }
}

std::optional<std::uint64_t> NodeEndpoint::NextDeadlineUs() const {
    std::optional<std::uint64_t> next;
    const auto earliest = [&next](std::uint64_t t) { next = std::min(next.value_or(t), t); };
    if (call_) earliest(call_->atUs);
    for (const Outgoing& o : writes_) earliest(o.atUs);
    if (const auto drop = session_.DropAtUs(); drop && tcp_ >= 0) earliest(*drop);
    return next;
}

} // namespace wm::sim
