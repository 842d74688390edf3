// Whole exchanges with a meter whose every answer comes from the input: a
// program on the in-memory serial line under virtual time runs Get, Put (with
// its compatibility check), the signal-conditioner read and restore, and the
// meter commands, while the peer answers each request with the next reply the
// input describes -- good, damaged, raw or missing, all at once or in pieces,
// soon or late -- and a scripted operator answers the program's questions
// from the input too.
//
// Input: a line byte (protocol, echo), a baud/address byte, a clock byte,
// then operations, each followed by what the peer and the operator need
// while it runs. An exhausted input means silence and default answers.
#include <cstdint>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "app/Program.h"
#include "comm/Tables.h"
#include "comm/Framing.h"
#include "comm/Hex.h"
#include "comm/MeterCommands.h"
#include "platform/MemorySerialPort.h"
#include "platform/VirtualTime.h"
#include "sc/SigCond.h"
#include "setup/Defaults.h"
#include "setup/Fields.h"
#include "transfer/GetSetup.h"
#include "transfer/PutSetup.h"
#include "app/SetupFileCommands.h"

namespace {

using wm::fuzz::Bytes;
using wm::fuzz::IsUpperHex;

constexpr std::uint64_t kMs = 1000;
// However the meter answers, the program is done this long after the line
// last delivered anything: a Put is at most eight exchanges of pause,
// time-out and gap.
constexpr std::uint64_t kQuietBoundUs = 120'000 * kMs;
// Far more waits than any exchange needs; more means a loop that never ends.
constexpr std::uint64_t kMaxWaits = 200'000;

class FuzzOperator final : public wm::Operator {
public:
    explicit FuzzOperator(Bytes& in) : in_(in) {}

    wm::Answer Ask(const wm::MessageBox& box) override {
        ++asked;
        if (in_.Empty()) return box.defaultAnswer;
        const bool first = in_.Bit();
        switch (box.buttons) {
        case wm::Buttons::YesNo: return first ? wm::Answer::Yes : wm::Answer::No;
        case wm::Buttons::OkCancel: return first ? wm::Answer::Ok : wm::Answer::Cancel;
        default: return wm::Answer::Ok;
        }
    }
    void SetStatus(const std::string&, wm::Rgb) override {}
    void HideStatus() override {}
    void SetProgress(int value) override { WM_FUZZ_CHECK(value >= 0 && value <= 100); }
    void SetProgressVisible(bool) override {}
    void SetBusy(bool) override {}
    void Beep() override {}
    std::optional<std::string> ChooseFile(wm::FileDialog, const std::string&, const std::string&, const std::filesystem::path&,
                                          const std::string&) override {
        return std::nullopt;
    }
    void EndProgram() override { ended = true; }

    int asked = 0;
    bool ended = false;

private:
    Bytes& in_;
};

// Virtual time with a guard: a wait past the bound, or one too many, stops
// the run as a program that does not return.
class GuardedPump final : public wm::EventPump {
public:
    explicit GuardedPump(wm::VirtualTime& vt) : vt_(vt) {}
    void ProcessEvents() override {
        vt_.ProcessEvents();
        Count();
    }
    void WaitFor(std::uint32_t ms) override {
        vt_.WaitFor(ms);
        Count();
        WM_FUZZ_CHECK(vt_.NowUs() <= lastLineUs + kQuietBoundUs);
    }
    std::uint64_t lastLineUs = 0;

private:
    void Count() { WM_FUZZ_CHECK(++calls_ <= kMaxWaits); }
    wm::VirtualTime& vt_;
    std::uint64_t calls_ = 0;
};

char Digit(std::uint8_t b) {
    const char c = wm::HexDigits[b & 15];
    return (b & 0x30) == 0x30 && c >= 'A' ? static_cast<char>(c - 'A' + 'a') : c;
}

unsigned HexValue(const std::string& hex, std::size_t at, std::size_t len) {
    unsigned v = 0;
    for (std::size_t i = at; i < at + len && i < hex.size(); ++i)
        v = v * 16 + static_cast<unsigned>(std::max(0, wm::HexDigitValue(hex[i])));
    return v;
}

// The meter's side of the line.
class FuzzPeer {
public:
    FuzzPeer(wm::VirtualTime& vt, wm::MemorySerialPort& port, const wm::LinkState& link, GuardedPump& pump,
             Bytes& in)
        : vt_(vt), port_(port), link_(link), pump_(pump), in_(in) {}

    // Called with every frame the program sends, just before it goes out.
    void Sent(const std::string& frame) {
        const std::uint64_t done = vt_.NowUs() + frame.size() * port_.CharTimeUs();
        pump_.lastLineUs = std::max(pump_.lastLineUs, done);
        const std::uint8_t control = in_.Byte();
        std::string wire;
        switch (control % 8) {
        case 0: return; // silence
        case 1: wire = in_.Counted(); break;
        case 2: wire = Framed(in_.Counted()); break;
        case 3: wire = Good(frame); break;
        case 4:
            wire = Good(frame);
            if (!wire.empty()) wire[in_.Byte() % wire.size()] ^= static_cast<char>(in_.Byte() | 1);
            break;
        case 5:
            wire = Good(frame);
            wire.resize(wire.empty() ? 0 : in_.Byte() % wire.size());
            break;
        case 6: wire = Good(frame) + in_.Counted(); break;
        default: wire = Good(frame) + Good(frame); break;
        }
        if (wire.empty()) return;
        std::uint64_t at = done + ((control & 0x10) != 0 ? in_.Byte() * 20 * kMs : (2 + (control >> 5)) * kMs);
        const bool pieces = (control & 0x08) != 0;
        for (std::size_t i = 0; i < wire.size();) {
            const std::size_t n = pieces ? std::min<std::size_t>(wire.size() - i, in_.Byte() % 32 + 1) : wire.size();
            const std::string piece = wire.substr(i, n);
            vt_.At(at, [this, piece] { port_.SendFromPeer(piece); });
            at += n * port_.CharTimeUs();
            pump_.lastLineUs = std::max(pump_.lastLineUs, at);
            i += n;
            if (pieces) at += in_.Byte() * kMs;
        }
    }

private:
    [[nodiscard]] bool Modbus() const { return link_.UseModbus != 0; }

    std::string Digits(std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) s += Digit(in_.Byte());
        return s;
    }

    // A payload framed as the line's protocol frames it.
    std::string Framed(const std::string& payload) const {
        if (!Modbus()) return payload + "\r";
        if (link_.SerialMode == 2) return wm::BuildAsciiFrame(wm::BytesToHex(payload));
        return payload + wm::CrcCheckBytes(payload);
    }

    // A reply of the form the request asks for, its values from the input.
    std::string Good(const std::string& frame) {
        if (!Modbus()) {
            std::string letters = frame.substr(0, frame.find('\r'));
            letters.erase(0, std::min(letters.find_first_not_of('*'), letters.size()));
            if (!letters.empty()) letters.erase(0, 1); // the meter address
            std::size_t digits = 0;
            if (letters == "XU1DZ") digits = 120;
            else if (letters == "XF0EZ" || letters == "XF1DZ") digits = 60;
            else if (letters == "X26DZ" || letters == "X236Z") digits = 8;
            else if (letters == "X115" || letters == "X110") digits = 4;
            else if (letters == "G130" || letters == "G12C") digits = 2;
            else if (letters.starts_with('B')) return " " + std::to_string(in_.Word()) + "." + Digits(1) + "\r";
            else return {}; // writes and resets: the meter does not answer
            return Digits(digits) + "\r";
        }
        std::string request;
        if (link_.SerialMode == 2) {
            if (frame.size() < 5) return {};
            request = frame.substr(1, frame.size() - 5);
        } else {
            if (frame.size() < 2) return {};
            request = wm::BytesToHex(frame.substr(0, frame.size() - 2));
        }
        if (request.size() < 4) return {};
        const std::string address = request.substr(0, 2);
        const unsigned function = HexValue(request, 2, 2);
        std::string reply;
        if (function == 0x03 || function == 0x04) {
            const unsigned count = std::min(HexValue(request, 8, 4), 125U);
            reply = address + request.substr(2, 2) + wm::ByteToHex(static_cast<int>(2 * count)) + Digits(4 * count);
        } else if (function == 0x05 || function == 0x06 || function == 0x08) {
            reply = request;
        } else if (function == 0x10) {
            reply = request.substr(0, 12);
        } else {
            reply = address + wm::ByteToHex(static_cast<int>(function | 0x80)) + "01";
        }
        return link_.SerialMode == 2 ? wm::BuildAsciiFrame(reply) : wm::BuildRtuFrame(reply);
    }

    wm::VirtualTime& vt_;
    wm::MemorySerialPort& port_;
    const wm::LinkState& link_;
    GuardedPump& pump_;
    Bytes& in_;
};

// Settings.SSS line 1: family, baud, port 01, protocol, parity, time-out,
// address, Modbus address, flag, revision, port type, board 0.
std::string Line1(Bytes& in, int protocol, bool echoes) {
    static constexpr const char* kRevisions[] = {"007", "006", "046", "050"};
    const std::uint8_t b = in.Byte();
    std::string l;
    l += "0565"[b & 3];
    l += static_cast<char>('0' + (b >> 2) % 8);
    l += "01";
    l += static_cast<char>('0' + protocol);
    l += static_cast<char>('0' + (b >> 5) % 3);
    l += "0";
    const int address = in.Byte() % 32;
    l += static_cast<char>(address < 10 ? '0' + address : 'A' + address - 10);
    l += "001";
    l += "0";
    l += kRevisions[(b >> 6) & 3];
    l += echoes ? "2" : "1";
    l += "0";
    return l;
}

void LoadImage(wm::Program& program, Bytes& in) {
    const std::uint8_t kind = in.Byte();
    wm::DefaultData(program);
    std::string& text = program.setup.text;
    switch (kind % 4) {
    case 0: break;
    case 1: // another signal conditioner in the data
        for (const std::size_t at : {34, 35, 54, 55}) text[at] = wm::HexDigits[in.Byte() & 15];
        break;
    case 2: text.resize(120); break; // a file of the main block only
    default:
        for (char& c : text) c = wm::HexDigits[in.Byte() & 15];
        break;
    }
}

bool ImageOk(const wm::Program& program) { return IsUpperHex(program.setup.text); }

void RunOne(wm::Program& program, Bytes& in, const std::filesystem::path& settings) {
    const std::uint8_t choice = in.Byte() % 14;
    const std::size_t before = program.setup.text.size();
    const bool modbus = program.link.UseModbus != 0;
    switch (choice) {
    case 0: {
        const wm::GetResult r = wm::GetSetup(program);
        WM_FUZZ_CHECK(!r.refused && r.status == program.x.TransferStatus);
        const std::size_t size = program.setup.text.size();
        if (r.status == 0) {
            WM_FUZZ_CHECK(program.SetupReceived == 1);
            WM_FUZZ_CHECK(size == (modbus ? std::max<std::size_t>(before, 136) : 136));
            WM_FUZZ_CHECK(r.endProgram || wm::IsKnownScType(program.derived.ScType));
        } else {
            WM_FUZZ_CHECK(program.SetupReceived == 0);
            WM_FUZZ_CHECK(size == before || size == 120 || size == 128 || size == 136);
        }
        break;
    }
    case 1: {
        const wm::PutResult r = wm::PutSetup(program);
        WM_FUZZ_CHECK(!r.refused && r.status == program.x.TransferStatus);
        WM_FUZZ_CHECK(program.setup.text.size() == (before == 120 ? 128 : before));
        // Whatever the Put wrote into Settings.SSS, the next start can use it.
        const wm::SettingsText text = wm::ReadSettingsFile(settings);
        wm::LinkState next;
        WM_FUZZ_CHECK(text.problem.empty() && wm::DeriveLinkState(text.line1, text.line2, next).empty());
        break;
    }
    case 2: {
        const wm::SCTypeReport r = wm::ReadSCType(program);
        WM_FUZZ_CHECK(!r.refused && r.picTextVisible == !r.lines.empty());
        break;
    }
    case 3:
    case 4: {
        const wm::SCRestoreReport r =
            wm::RestoreSCType(program, choice == 3 ? wm::SCBoard::DC : wm::SCBoard::LoadCell);
        WM_FUZZ_CHECK(!r.refused && r.lines.size() == 1);
        break;
    }
    case 13: LoadImage(program, in); break;
    default: {
        static constexpr const char* kCommands[] = {"meter-reset", "function-reset", "alarm-reset",
                                                    "peak-reset",  "tare-reset",     "gross",
                                                    "net",         "peak"};
        const wm::MeterCommand* command = wm::FindMeterCommand(kCommands[choice - 5]);
        WM_FUZZ_CHECK(command != nullptr);
        const wm::CommandOutcome out = wm::RunMeterCommand(program, *command);
        // A link fault always fails the command; a reply that passed the
        // line but is no answer to it fails with status 0.
        WM_FUZZ_CHECK(!out.refused && out.failed != out.succeeded);
        WM_FUZZ_CHECK(out.status == 0 || out.failed);
        if (out.reading) {
            WM_FUZZ_CHECK(!out.failed && command->isReading);
            WM_FUZZ_CHECK(out.reading->find('\r') == std::string::npos);
            if (modbus && !out.reading->empty()) (void)std::stoll(*out.reading);
        }
        break;
    }
    }
    WM_FUZZ_CHECK(!program.txn.Waiting() && program.txn.Refused() == 0);
    WM_FUZZ_CHECK(ImageOk(program));
    // WM_FUZZ_TRACE=1 tells what an input did, for reading a crash input.
    if (std::getenv("WM_FUZZ_TRACE") != nullptr)
        std::fprintf(stderr, "operation %d: status %d, image %zu characters\n", choice,
                     program.x.TransferStatus, program.setup.text.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const std::uint8_t line = in.Byte();
    const int protocol = line % 3;
    const bool echoes = (line & 4) != 0;                       // Settings.SSS says the line echoes
    const bool portEchoes = echoes != ((line & 0xF8) == 0xF8); // and now and then it is wrong
    const std::string line1 = Line1(in, protocol, echoes);

    const std::uint8_t clock = in.Byte();
    // Near the tick counter's wrap, and near midnight, now and then.
    const std::uint32_t tick = (clock & 1) != 0 ? 0xFFFFFFFFU - clock * 997U : 1'000'000U;
    const double seconds = (clock & 2) != 0 ? 86'400.0 - clock * 0.37 : 36'000.0;

    const std::filesystem::path folder = wm::fuzz::ScratchFolder::Instance().Path();
    const std::filesystem::path settings = folder / "Settings.SSS";
    wm::fuzz::WriteWhole(settings, line1 + "\r\n" + std::string(29, '0') + "\r\n");

    wm::VirtualTime vt(tick, seconds);
    GuardedPump pump(vt);
    wm::MemorySerialPort port(vt);
    port.echo = portEchoes;
    FuzzOperator op(in);
    wm::Program program(wm::Platform{port, vt, pump, op}, wm::ProgramPaths{settings, folder, "memory"});
    FuzzPeer peer(vt, port, program.link, pump, in);
    program.txn.trace = [&peer](const char* direction, const std::string& bytes, std::uint32_t) {
        if (std::string_view(direction) == "tx") peer.Sent(bytes);
    };
    program.StartUp();
    WM_FUZZ_CHECK(program.link.SettingsUsable && port.IsOpen());

    for (int n = 0; n < 4 && !in.Empty() && !op.ended && !program.conn.Refused(); ++n)
        RunOne(program, in, settings);
    return 0;
}
