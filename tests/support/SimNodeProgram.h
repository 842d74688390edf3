#pragma once
// A program whose settings name an Ethernet node, on the in-memory node
// sockets, with the simulated node and its meter at 192.168.1.100, all in
// virtual time.
#include <memory>
#include <string>

#include "app/Program.h"
#include "platform/MemoryNodeSockets.h"
#include "sim/Meter.h"
#include "sim/SimNode.h"
#include "support/NodeRig.h"

namespace wm::test {

struct SimNodeProgram {
    explicit SimNodeProgram(const std::string& line1, sim::NodeOptions options = {},
                            const std::string& line2 = kRigNodeLine2)
        : port(vt), sockets(vt),
          program(Platform{port, vt, vt, op}, ProgramPaths{folder.path() / "Settings.SSS", folder.path(), ""}) {
        WriteWhole(SettingsFile(), line1 + "\r\n" + line2 + "\r\n");
        node = std::make_unique<sim::SimNode>(meter, sockets, vt, kRigNodeAddress, std::move(options));
        program.AttachNode(sockets);
        program.StartUp();
    }
    ~SimNodeProgram() { node.reset(); }
    SimNodeProgram(const SimNodeProgram&) = delete;
    SimNodeProgram& operator=(const SimNodeProgram&) = delete;

    [[nodiscard]] std::filesystem::path SettingsFile() const { return folder.path() / "Settings.SSS"; }
    [[nodiscard]] bool Connect() { return program.node->BuildLink() == NodeConnection::Outcome::Connected; }
    // The requests the meter heard through the node, as it received them.
    [[nodiscard]] std::vector<std::string> MeterHeard() const {
        std::vector<std::string> out;
        for (const sim::LogEntry& e : meter.Log()) out.push_back(e.bytes);
        return out;
    }
    // What the program sent on the connection, in hex.
    [[nodiscard]] std::vector<std::string> SentHex() const {
        std::vector<std::string> out;
        for (const auto& s : sockets.tcpSent) out.push_back(BytesToHex(s.bytes));
        return out;
    }

    TempFolder folder;
    VirtualTime vt;
    MemorySerialPort port;
    MemoryNodeSockets sockets;
    sim::Meter meter;
    ScriptedOperator op;
    Program program;
    std::unique_ptr<sim::SimNode> node;
};

} // namespace wm::test
