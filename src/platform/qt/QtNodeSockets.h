#pragma once
// The node's sockets on QtNetwork: a QTcpServer that listens on every
// address (IPv4 and IPv6 alike, so an IPv4 peer may be reported in its
// IPv4-mapped form) and keeps the one connection its owner takes, and a
// QUdpSocket bound with address sharing. Every socket event ends the
// current EventPump wait, so a wait for the node's call or for its reply
// returns as soon as it comes.
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include "platform/NodeSockets.h"
#include "platform/qt/QtPlatform.h"

namespace wm {

class QtNodeSockets final : public NodeSockets {
public:
    explicit QtNodeSockets(QtEventPump& pump);
    ~QtNodeSockets() override;
    QtNodeSockets(const QtNodeSockets&) = delete;
    QtNodeSockets& operator=(const QtNodeSockets&) = delete;

    bool Listen(std::uint16_t port, std::string& error) override;
    void CloseTcp() override;
    [[nodiscard]] bool Connected() const override;
    bool SendTcp(const std::string& bytes) override;
    bool BindUdp(std::uint16_t port, std::string& error) override;
    bool SendUdp(const std::string& dottedHost, std::uint16_t port, const std::string& bytes) override;
    void CloseUdp() override;

private:
    void TakePendingConnections();
    void Release(QTcpSocket* socket, bool graceful);

    QtEventPump& pump_;
    QTcpServer server_;
    QPointer<QTcpSocket> socket_;
    QUdpSocket udp_;
};

} // namespace wm
