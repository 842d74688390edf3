#pragma once
// A program wired to an in-memory serial line under virtual time, with a
// Settings.SSS of its own in a fresh folder, a scripted operator, and a
// scripted peer that answers each complete request (Custom ASCII line,
// Modbus RTU frame, Modbus ASCII line) through a function.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/ScriptedOperator.h"
#include "app/Program.h"
#include "comm/Framing.h"
#include "comm/Hex.h"
#include "comm/NodeLink.h"
#include "platform/MemorySerialPort.h"
#include "platform/VirtualTime.h"

namespace wm::test {

// Settings.SSS line 2 for a serial link (no node).
inline const std::string kSerialLine2 = "00000000000000000000000000000";
// Line 2 naming a node (hardware address not all zero).
inline const std::string kNodeLine2 = "1F900080A3123456000AC0A801640";

// Line 1: family, baud digit, port 01, protocol, parity, time-out 0, address,
// Modbus address, flag, revision, port type 1, board 0.
inline std::string Line1(int protocol, const std::string& revision = "007", char baud = '5',
                         char address = '0', const std::string& modbusAddress = "001", char family = '0') {
    std::string l;
    l += family;
    l += baud;
    l += "01";
    l += static_cast<char>('0' + protocol);
    l += "00";
    l += address;
    l += modbusAddress;
    l += "0";
    l += revision;
    l += "1";
    l += "0";
    return l;
}

inline std::string ReadWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteWhole(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

// A fresh folder per test, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        path_ = std::filesystem::temp_directory_path() /
                ("wm-xfer-" + std::to_string(::getpid()) + "-" + name + "-" + std::to_string(counter_++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

// Answers requests as they complete on the line. The request handed to
// `respond` is the Custom ASCII command without CR LF, or the Modbus
// request digits with the address and without the check field; the reply
// is given the same way (the peer adds CR, or frames it), nullopt for
// silence.
class ScriptedPeer {
public:
    ScriptedPeer(VirtualTime& vt, MemorySerialPort& port, const LinkState& link)
        : vt_(vt), port_(port), link_(link) {
        port_.peerReceive = [this](char b) { Hear(b); };
    }

    std::function<std::optional<std::string>(const std::string& request)> respond;
    std::uint64_t replyDelayUs = 5000;

    struct Heard {
        double ms; // virtual time the request was complete
        std::string request;
    };
    std::vector<Heard> heard;

    [[nodiscard]] std::vector<std::string> Requests() const {
        std::vector<std::string> out;
        for (const Heard& h : heard)
            out.push_back(h.request);
        return out;
    }

private:
    void Hear(char b) {
        buffer_ += b;
        if (link_.UseModbus == 0 || link_.SerialMode == 2) {
            if (buffer_.size() >= 2 && buffer_.ends_with("\r\n")) Complete();
            return;
        }
        // RTU: the frame has ended when the line stays quiet for a few characters.
        const std::uint64_t mark = ++bytes_;
        vt_.AfterUs(4 * port_.CharTimeUs(), [this, mark] {
            if (mark == bytes_ && !buffer_.empty()) Complete();
        });
    }

    void Complete() {
        std::string raw;
        raw.swap(buffer_);
        std::string request;
        if (link_.UseModbus == 0) {
            request = raw.substr(0, raw.size() - 2);
        } else if (link_.SerialMode == 2) {
            request = raw.size() >= 5 ? raw.substr(1, raw.size() - 5) : raw;
        } else {
            request = BytesToHex(raw.size() >= 2 ? raw.substr(0, raw.size() - 2) : raw);
        }
        heard.push_back({vt_.NowMs(), request});
        if (!respond) return;
        const std::optional<std::string> reply = respond(request);
        if (!reply) return;
        std::string wire;
        if (link_.UseModbus == 0) {
            wire = *reply + "\r";
        } else if (link_.SerialMode == 2) {
            wire = BuildAsciiFrame(*reply);
        } else {
            wire = BuildRtuFrame(*reply);
        }
        port_.SendFromPeer(wire, replyDelayUs);
    }

    VirtualTime& vt_;
    MemorySerialPort& port_;
    const LinkState& link_;
    std::string buffer_;
    std::uint64_t bytes_ = 0;
};

// The node's TCP connection in virtual time: what the program sends is
// handed to `respond` (Custom ASCII without CR LF, or the Modbus request
// digits after the header), and the reply lands in NodeRxBuffer a little later.
class FakeNode final : public NodeLink {
public:
    FakeNode(VirtualTime& vt, Exchange& x) : vt_(vt), x_(x) {}
    std::function<std::optional<std::string>(const std::string&)> respond;
    std::vector<std::string> heard;
    bool connected = true;

    void SendData(const std::string& bytes) override {
        const bool tcp =
            bytes.size() >= 6 && bytes[2] == 0 && bytes[3] == 0 && bytes.find("\r\n") == std::string::npos;
        std::string request = tcp ? BytesToHex(bytes.substr(6)) : bytes.substr(0, bytes.size() - 2);
        heard.push_back(request);
        if (!respond) return;
        const auto reply = respond(request);
        if (!reply) return;
        const std::string wire = tcp ? bytes.substr(0, 4) + std::string(1, '\0') +
                                           static_cast<char>(reply->size() / 2) + HexToBytes(*reply)
                                     : *reply + "\r";
        vt_.AfterUs(20'000, [this, wire] { x_.NodeRxBuffer = wire; });
    }
    bool NodeConnected() override { return connected; }

private:
    VirtualTime& vt_;
    Exchange& x_;
};

// One program with its own folder, settings file, port, clock and operator.
struct TransferRig {
    explicit TransferRig(const std::string& line1, const std::string& line2 = kSerialLine2)
        : port(vt), program(Platform{port, vt, vt, op},
                            ProgramPaths{folder.path() / "Settings.SSS", folder.path(), "memory"}),
          peer(vt, port, program.link), node(vt, program.x) {
        WriteWhole(SettingsFile(), line1 + "\r\n" + line2 + "\r\n");
        program.txn.SetNodeLink(&node);
        program.StartUp();
    }

    [[nodiscard]] std::filesystem::path SettingsFile() const { return folder.path() / "Settings.SSS"; }
    [[nodiscard]] std::string SettingsLine1OnDisk() const {
        const std::string text = ReadWhole(SettingsFile());
        return text.substr(0, text.find("\r\n"));
    }
    // Every program write on the line, oldest first.
    [[nodiscard]] std::vector<MemorySerialPort::Transfer> Sent() const {
        std::vector<MemorySerialPort::Transfer> out;
        for (const auto& t : port.Log())
            if (t.fromProgram) out.push_back(t);
        return out;
    }

    TempFolder folder;
    VirtualTime vt;
    MemorySerialPort port;
    ScriptedOperator op;
    Program program;
    ScriptedPeer peer;
    FakeNode node;
};

} // namespace wm::test
