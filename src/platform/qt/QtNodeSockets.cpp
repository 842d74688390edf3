#include "platform/qt/QtNodeSockets.h"

#include <QHostAddress>

namespace wm {

QtNodeSockets::QtNodeSockets(QtEventPump& pump) : pump_(pump) {
    QObject::connect(&server_, &QTcpServer::newConnection, [this] { TakePendingConnections(); });
    QObject::connect(&udp_, &QUdpSocket::errorOccurred, [this](QAbstractSocket::SocketError) {
        if (udpError) udpError(udp_.errorString().toStdString());
    });
}

QtNodeSockets::~QtNodeSockets() {
    CloseTcp();
    CloseUdp();
}

// A socket the program no longer wants: its signals are cut first, so
// nothing of it reaches the owner again. A stranger's is reset at once; the
// node's own is closed after what is still queued for it has gone. The
// server, its parent, deletes it later.
void QtNodeSockets::Release(QTcpSocket* socket, bool graceful) {
    if (socket == nullptr) return;
    socket->disconnect();
    if (graceful) {
        socket->flush();
        socket->disconnectFromHost();
    } else {
        socket->abort();
    }
    socket->deleteLater();
}

void QtNodeSockets::TakePendingConnections() {
    while (QTcpSocket* incoming = server_.nextPendingConnection()) {
        const std::string peer = incoming->peerAddress().toString().toStdString();
        if (!connectionRequest || !connectionRequest(peer)) {
            Release(incoming, false);
            continue;
        }
        Release(socket_, true);
        socket_ = incoming;
        QObject::connect(incoming, &QTcpSocket::readyRead, [this, incoming] {
            const QByteArray data = incoming->readAll();
            if (!data.isEmpty() && dataArrival)
                dataArrival(std::string(data.constData(), static_cast<std::size_t>(data.size())));
            pump_.Wake();
        });
        QObject::connect(incoming, &QTcpSocket::disconnected, [this] { pump_.Wake(); });
        QObject::connect(incoming, &QTcpSocket::errorOccurred, [this](QAbstractSocket::SocketError) { pump_.Wake(); });
    }
    pump_.Wake();
}

bool QtNodeSockets::Listen(std::uint16_t port, std::string& error) {
    CloseTcp();
    if (!server_.listen(QHostAddress::Any, port)) {
        error = server_.errorString().toStdString();
        return false;
    }
    return true;
}

void QtNodeSockets::CloseTcp() {
    server_.close();
    Release(socket_, true);
    socket_ = nullptr;
}

bool QtNodeSockets::Connected() const {
    return socket_ != nullptr && socket_->state() == QAbstractSocket::ConnectedState;
}

bool QtNodeSockets::SendTcp(const std::string& bytes) {
    if (!Connected()) return false;
    const qint64 written = socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    socket_->flush();
    return written == static_cast<qint64>(bytes.size());
}

bool QtNodeSockets::BindUdp(std::uint16_t port, std::string& error) {
    CloseUdp();
    if (!udp_.bind(QHostAddress::AnyIPv4, port, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        error = udp_.errorString().toStdString();
        return false;
    }
    return true;
}

bool QtNodeSockets::SendUdp(const std::string& dottedHost, std::uint16_t port, const std::string& bytes) {
    const QHostAddress host(QString::fromStdString(dottedHost));
    if (host.isNull()) {
        if (udpError) udpError("not an address: " + dottedHost);
        return false;
    }
    // A refused datagram is also reported through errorOccurred.
    return udp_.writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()), host, port) ==
           static_cast<qint64>(bytes.size());
}

void QtNodeSockets::CloseUdp() { udp_.close(); }

} // namespace wm
