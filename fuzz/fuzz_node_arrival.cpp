// The Ethernet node link against a node (and strangers) whose every move
// comes from the input: the program builds the link on the in-memory node
// sockets under virtual time, then the input interleaves data arriving on
// the connection (notifications, replies, junk, at any moment), exchanges in
// Custom ASCII or Modbus TCP, strangers' connections from any address, the
// node dropping or calling again, and timer ticks.
//
// What must hold: a node notification never reaches NodeRxBuffer; a Modbus
// reply is taken only with the request's transaction identifier; only the
// node's address ever holds the connection; every exchange ends within its
// time-out; a broken link is told, never taken for a reply; the keep-alive
// goes only on a standing connection.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "comm/Connection.h"
#include "comm/Hex.h"
#include "comm/NodeConnection.h"
#include "comm/NodePacket.h"
#include "comm/Transaction.h"
#include "platform/MemoryNodeSockets.h"
#include "platform/MemorySerialPort.h"
#include "platform/VirtualTime.h"

namespace {

using wm::fuzz::Bytes;

constexpr std::uint64_t kMs = 1000;
const std::string kNode = "192.168.1.100";

class CountingOperator final : public wm::Operator {
public:
    wm::Answer Ask(const wm::MessageBox& box) override {
        if (box.id == wm::MessageId::NodeBroken) ++broken;
        return box.defaultAnswer;
    }
    void SetStatus(const std::string&, wm::Rgb) override {}
    void HideStatus() override {}
    void SetProgress(int) override {}
    void SetProgressVisible(bool) override {}
    void SetBusy(bool) override {}
    void Beep() override {}
    std::optional<std::string> ChooseFile(wm::FileDialog, const std::string&, const std::string&,
                                          const std::filesystem::path&, const std::string&) override {
        return std::nullopt;
    }
    void EndProgram() override { ended = true; }
    int broken = 0;
    bool ended = false;
};

// The address of a connection, from the input: the node's in one of its
// forms, or another.
std::string PeerAddress(Bytes& in) {
    switch (in.Below(4)) {
    case 0: return kNode;
    case 1: return "::ffff:" + kNode;
    case 2: return "::ffff:c0a8:164";
    default: return wm::BytesToDottedAddress(in.Take(4));
    }
}

std::string Notification(Bytes& in) {
    std::string n = std::string(wm::NodeMagic) + in.Take(6);
    n.resize(12, '\0');
    return n + "\x05\x04" + std::string(5, '\0');
}

struct Rig {
    explicit Rig(Bytes& in) : in_(in) {
        const bool modbus = in.Bit();
        std::string line1 = "0501000000100071" "0";
        line1[4] = modbus ? '1' : '0';
        line1[1] = static_cast<char>('0' + in.Below(8));
        (void)wm::DeriveLinkState(line1, "2710" "020000123456" "0000" "C0A80164" "0", link);
        link.SettingsUsable = false; // nothing is ever written
        x.NodeConnectPending = 1;
        node.attempts = 1 + in.Below(2);
        txn.SetNodeLink(&node);
        const int callOn = in.Below(3); // 0: never
        const std::uint64_t delay = in.Below(8) * 700 * kMs;
        sockets.peerDatagram = [this, callOn, delay](const wm::MemoryNodeSockets::Datagram& d) {
            WM_FUZZ_CHECK(d.host == kNode && d.port == wm::NodePort);
            WM_FUZZ_CHECK(wm::DecodeNodeControlPacket(d.bytes).has_value());
            if (++datagrams == callOn) Connect(kNode, delay);
        };
        sockets.peerReceive = [this](int c, const std::string& bytes) {
            if (bytes == std::string(wm::NodeKeepAlive)) return;
            lastRequest = bytes;
            Reply(c);
        };
    }

    void Connect(const std::string& from, std::uint64_t delayUs) {
        sockets.PeerConnect(from, 10000, delayUs, [this, from](int c) {
            if (c == 0) return;
            WM_FUZZ_CHECK(wm::PeerIsNode(from, kNode));
            connection = c;
        });
    }

    // The node's answer to a request, from the input.
    void Reply(int c) {
        const std::uint64_t delay = in_.Below(16) * 300 * kMs;
        switch (in_.Below(4)) {
        case 0: return; // silence
        case 1: sockets.PeerSend(c, Notification(in_), delay); [[fallthrough]];
        case 2:
            if (link.UseModbus != 0 && lastRequest.size() >= 2) {
                // The header as the request's, or another identifier.
                std::string head = in_.Bit() ? lastRequest.substr(0, 2) : in_.Take(2);
                head.resize(2, '\0');
                sockets.PeerSend(c, head + std::string("\0\0\0\x05\x01\x04\x04\x00\x00", 9) + in_.Take(3), delay + 10 * kMs);
            } else {
                sockets.PeerSend(c, in_.Counted() + "\r", delay + 10 * kMs);
            }
            return;
        default: sockets.PeerSend(c, in_.Counted(), delay); return;
        }
    }

    void Exchange() {
        if (link.UseModbus != 0) {
            x.ModbusRequest = "0400070002";
        } else {
            x.TxCommand = "*0B3";
        }
        const std::uint64_t start = vt.NowUs();
        const int brokenBefore = op.broken;
        txn.SendCommand();
        txn.ReceiveReply();
        WM_FUZZ_CHECK(vt.NowUs() - start <= (300 + 9000 + 1) * kMs);
        WM_FUZZ_CHECK(!wm::IsNodeNotification(x.NodeRxBuffer));
        if (op.broken != brokenBefore) {
            // Told only when the link is gone; no reply taken.
            WM_FUZZ_CHECK(!sockets.Connected() && x.TransferStatus == 0 && x.ModbusReply.empty() && x.RxReply.empty());
            return;
        }
        if (x.TransferStatus != 0) {
            WM_FUZZ_CHECK(x.TransferStatus == wm::status::NodeTimeout || x.TransferStatus == wm::status::WrongTransaction);
            return;
        }
        if (link.UseModbus != 0) {
            const std::string& got = x.NodeRxBuffer;
            WM_FUZZ_CHECK(got.size() >= 2 &&
                          (static_cast<unsigned char>(got[0]) << 8 | static_cast<unsigned char>(got[1])) == x.TransactionId);
            WM_FUZZ_CHECK(x.ModbusReply == wm::BytesToHex(got.size() > 6 ? got.substr(6) : std::string()));
        } else {
            WM_FUZZ_CHECK(x.NodeRxBuffer.empty() && x.ModbusReply == x.RxReply);
        }
    }

    void Run() {
        if (node.BuildLink() != wm::NodeConnection::Outcome::Connected) {
            WM_FUZZ_CHECK(op.ended && !sockets.Connected());
            return;
        }
        WM_FUZZ_CHECK(sockets.Connected() && x.NodeConnectPending == 0);
        for (int step = 0; step < 24 && !in_.Empty(); ++step) {
            switch (in_.Below(7)) {
            case 0: sockets.PeerSend(connection, in_.Bit() ? Notification(in_) : in_.Counted(), in_.Below(50) * kMs); break;
            case 1: Exchange(); break;
            case 2: Connect(PeerAddress(in_), in_.Below(50) * kMs); break;
            case 3: sockets.PeerClose(connection); break;
            case 4: {
                const std::size_t before = sockets.tcpSent.size();
                const bool standing = sockets.Connected();
                for (int i = in_.Below(30); i >= 0; --i) node.TimerTick();
                if (!standing) WM_FUZZ_CHECK(sockets.tcpSent.size() == before);
                break;
            }
            case 5: vt.AdvanceUs(in_.Below(100) * 100 * kMs); break;
            default: Connect(kNode, in_.Below(50) * kMs); break;
            }
            WM_FUZZ_CHECK(!wm::IsNodeNotification(x.NodeRxBuffer));
        }
    }

    Bytes& in_;
    wm::VirtualTime vt;
    wm::MemorySerialPort port{vt};
    wm::MemoryNodeSockets sockets{vt};
    CountingOperator op;
    wm::LinkState link;
    wm::Exchange x;
    wm::Transaction txn{link, x, port, vt, vt};
    wm::Connection conn{link, port, txn, op, wm::fuzz::ScratchFolder::Instance().Path() / "never-written.SSS"};
    wm::NodeConnection node{link, x, conn, op, vt, vt, sockets};
    int datagrams = 0;
    int connection = 0;
    std::string lastRequest;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    Rig rig(in);
    rig.Run();
    return 0;
}
