#pragma once
// A program whose settings name an Ethernet node, on node sockets in memory
// under virtual time, with a scripted node: it takes the control packets
// meant for it and calls back from its own address on the chosen attempt.
#include <cstdint>
#include <memory>
#include <vector>
#include <string>

#include "comm/NodePacket.h"
#include "platform/MemoryNodeSockets.h"
#include "support/TransferRig.h"

namespace wm::test {

// Line 2: the program listens on TCP port 10000 (2710), the node has the
// hardware address 020000123456 and the IPv4 address 192.168.1.100.
inline const std::string kRigNodeLine2 = "2710" "020000123456" "0000" "C0A80164" "0";
inline const std::string kRigNodeAddress = "192.168.1.100";

struct NodeRig {
    explicit NodeRig(const std::string& line1, const std::string& line2 = kRigNodeLine2)
        : port(vt), sockets(vt),
          program(Platform{port, vt, vt, op}, ProgramPaths{folder.path() / "Settings.SSS", folder.path(), ""}) {
        WriteWhole(SettingsFile(), line1 + "\r\n" + line2 + "\r\n");
        program.AttachNode(sockets);
        program.StartUp();
        sockets.peerDatagram = [this](const MemoryNodeSockets::Datagram& d) { Heard(d); };
    }

    [[nodiscard]] std::filesystem::path SettingsFile() const { return folder.path() / "Settings.SSS"; }
    [[nodiscard]] NodeConnection& Node() { return *program.node; }

    // The one-second timer of the Ethernet window, from now on.
    void StartTicks() {
        const std::uint64_t generation = ++tickGeneration_;
        ScheduleTick(generation);
    }
    void StopTicks() { ++tickGeneration_; }

    // --- the scripted node ---
    std::string address = kRigNodeAddress;
    int callOnAttempt = 1; // 0: never calls
    std::uint64_t callDelayUs = 5000;
    int connection = 0;    // the node's connection once it called
    std::vector<NodeControl> controls; // the control packets it accepted

    TempFolder folder;
    VirtualTime vt;
    MemorySerialPort port;
    MemoryNodeSockets sockets;
    ScriptedOperator op;
    Program program;

private:
    void Heard(const MemoryNodeSockets::Datagram& d) {
        const auto control = DecodeNodeControlPacket(d.bytes);
        if (d.host != address || d.port != NodePort || !control || BytesToHex(control->hardware) != "020000123456")
            return;
        controls.push_back(*control);
        if (static_cast<int>(controls.size()) != callOnAttempt) return;
        sockets.PeerConnect(address, control->port, callDelayUs, [this](int c) {
            if (c != 0) connection = c;
        });
    }

    void ScheduleTick(std::uint64_t generation) {
        vt.AfterUs(1'000'000, [this, generation] {
            if (generation != tickGeneration_ || !program.node) return;
            program.node->TimerTick();
            ScheduleTick(generation);
        });
    }
    std::uint64_t tickGeneration_ = 0;
};

} // namespace wm::test
