// Whole calibration sessions against a meter whose every answer comes from
// the input: the window's start (the "XL24" read), then the handlers in the
// order the input picks them -- a range, Ready, Repeat, an attempt button,
// Stop, End, or time passing -- while the peer answers each request with the
// next reply the input describes (good, damaged, raw, missing, early or
// late), and now and then a click arrives while a handler is still running,
// as the window's event loop would deliver it.
//
// Input: a line byte (echo, the board type a Get left), an address byte, a
// clock byte, then the replies to the start, then actions, each followed by
// what the peer needs while it runs. An exhausted input means silence.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/Program.h"
#include "comm/Hex.h"
#include "comm/Tables.h"
#include "platform/MemorySerialPort.h"
#include "platform/VirtualTime.h"
#include "sc/Calibration.h"

namespace {

using wm::fuzz::Bytes;
using wm::fuzz::IsUpperHex;

constexpr std::uint64_t kMs = 1000;
// However the meter answers, a handler is done this long after the line last
// carried anything: the longest stretch without an exchange is the wait
// after a written word (8.5 s), a reply's time-out is 3 s.
constexpr std::uint64_t kQuietBoundUs = 60'000 * kMs;
// Far more waits than any handler needs; more means a loop that never ends.
constexpr std::uint64_t kMaxWaits = 200'000;
constexpr int kMaxActions = 48;

const std::string kEndWrite = "W305000000100001";

bool Traced() { return std::getenv("WM_FUZZ_TRACE") != nullptr; }

// Virtual time with a guard: a wait past the bound, or one too many, stops
// the run as a handler that does not return.
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
    // A new handler starts: its waits are counted from here.
    void Arm() {
        calls_ = 0;
        lastLineUs = vt_.NowUs();
    }
    [[nodiscard]] std::uint64_t Calls() const { return calls_; }
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

// The meter's side of the line: Custom ASCII only.
class FuzzPeer {
public:
    FuzzPeer(wm::VirtualTime& vt, wm::MemorySerialPort& port, GuardedPump& pump, Bytes& in)
        : vt_(vt), port_(port), pump_(pump), in_(in) {}

    // Called with every frame the program sends (its letters after the
    // address), just before it goes out.
    void Sent(const std::string& letters, std::size_t frameSize) {
        const std::uint64_t done = vt_.NowUs() + frameSize * port_.CharTimeUs();
        pump_.lastLineUs = std::max(pump_.lastLineUs, done);
        const std::uint8_t control = in_.Byte();
        std::string wire;
        switch (control % 8) {
        case 0:
            if (control == 0xF8) port_.Hangup(); // the adapter is pulled
            return;                              // silence
        case 1: wire = in_.Counted(); break;
        case 2: wire = in_.Counted() + "\r"; break;
        case 3: wire = Good(letters); break;
        case 4:
            wire = Good(letters);
            if (!wire.empty()) wire[in_.Byte() % wire.size()] ^= static_cast<char>(in_.Byte() | 1);
            break;
        case 5:
            wire = Good(letters);
            wire.resize(wire.empty() ? 0 : in_.Byte() % wire.size());
            break;
        case 6: wire = Good(letters) + in_.Counted(); break;
        default: {
            const std::string first = Good(letters);
            wire = first + Good(letters);
            break;
        }
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
    std::string Digits(std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) s += Digit(in_.Byte());
        return s;
    }

    // " 80405", "+805.00", "-8040.5": a sign, five or six digits, a point.
    std::string Reading() {
        const std::uint8_t b = in_.Byte();
        std::string digits = std::to_string(in_.Word());
        digits.insert(0, digits.size() < 5 ? 5 - digits.size() : 0, '0');
        if ((b & 0x40) != 0) digits += static_cast<char>('0' + in_.Byte() % 10);
        const std::size_t point = (b >> 2) & 3;
        if (point != 0) digits.insert(digits.size() - point, 1, '.');
        return "+- +"[b & 3] + digits;
    }

    // A reply of the form the request asks for, its values from the input.
    std::string Good(const std::string& letters) {
        if (letters == "XL24") {
            const std::uint8_t b = in_.Byte();
            std::string block(64, '0');
            block.replace(36, 4, (b & 3) == 3 ? Digits(4) : std::string("0200"));
            const int type = (b >> 2) % 8;
            block.replace(62, 2, type < 4 ? std::string("01") : type < 7 ? std::string("03") : Digits(2));
            return block + "\r";
        }
        if (letters == "G130") return Digits(2) + "\r";
        if (letters.starts_with("X1") && letters.size() == 4) return Digits(4) + "\r";
        if (letters == "B1") return Reading() + "\r";
        return {}; // writes and the meter reset: the meter does not answer
    }

    wm::VirtualTime& vt_;
    wm::MemorySerialPort& port_;
    GuardedPump& pump_;
    Bytes& in_;
};

class FuzzOperator final : public wm::Operator {
public:
    std::function<void(const wm::MessageBox&)> asked;

    wm::Answer Ask(const wm::MessageBox& box) override {
        if (asked) asked(box);
        return box.defaultAnswer;
    }
    void SetStatus(const std::string&, wm::Rgb) override {}
    void HideStatus() override {}
    void SetProgress(int value) override { WM_FUZZ_CHECK(value >= 0 && value <= 100); }
    void SetProgressVisible(bool) override {}
    void SetBusy(bool) override {}
    void Beep() override {}
    std::optional<std::string> ChooseFile(wm::FileDialog, const std::string&, const std::string&,
                                          const std::filesystem::path&, const std::string&) override {
        return std::nullopt;
    }
    void EndProgram() override {}
};

// Settings.SSS line 1 of a Custom ASCII link: family, baud, port 01,
// protocol 0, parity, time-out, address, Modbus address, flag, revision,
// port type, board 0.
std::string Line1(Bytes& in, bool echoes) {
    static constexpr const char* kRevisions[] = {"007", "006", "046", "050"};
    const std::uint8_t b = in.Byte();
    std::string l;
    l += "0565"[b & 3];
    l += static_cast<char>('0' + (b >> 2) % 8);
    l += "010";
    l += static_cast<char>('0' + (b >> 5) % 3);
    l += "0";
    const int address = in.Byte() % 32;
    l += static_cast<char>(address < 10 ? '0' + address : 'A' + address - 10);
    l += "0010";
    l += kRevisions[(b >> 6) & 3];
    l += echoes ? "2" : "1";
    l += "0";
    return l;
}

bool IsWordWrite(const std::string& letters) { return letters.starts_with("W1"); }

// The session: the window's calibration, the line, and what the checks
// need to know about the handlers running.
class Session {
public:
    Session(wm::Program& program, wm::VirtualTime& vt, GuardedPump& pump, FuzzPeer& peer, FuzzOperator& op, Bytes& in)
        : program_(program), vt_(vt), pump_(pump), peer_(peer), in_(in), cal_(program) {
        cal_.changed = [this] { CheckState(); };
        op.asked = [this](const wm::MessageBox& box) { Asked(box); };
        program_.txn.trace = [this](const char* direction, const std::string& bytes, std::uint32_t) {
            if (std::string_view(direction) == "tx") Frame(bytes);
        };
    }

    void Run() {
        stack_.emplace_back();
        pump_.Arm();
        startOk_ = cal_.CalibCont();
        stack_.pop_back();
        Trace("start", startOk_ ? "ok" : "refused");
        WM_FUZZ_CHECK(startOk_ != cal_.State().rangeList.empty());
        AfterHandler();
        for (int n = 0; n < kMaxActions && !in_.Empty() && !ended_; ++n) Action();
        CheckRecord();
    }

private:
    struct Context {
        bool failed = false; // a run-ending failure was told
    };

    // One operator action, with now and then a click while it runs.
    void Action() {
        const std::uint8_t a = in_.Byte();
        const int kind = a % 8;
        if (kind == 7) { // the operator takes a while: late replies land
            vt_.AdvanceUs(in_.Byte() * 50 * kMs);
            return;
        }
        if ((a & 0x80) != 0) {
            const std::uint8_t which = in_.Byte();
            const std::uint64_t delay = in_.Byte() * 50 * kMs + kMs;
            const std::uint64_t generation = generation_ + 1;
            vt_.AfterUs(delay, [this, which, generation] {
                if (generation == generation_ && stack_.size() == 1) Interrupt(which);
            });
        }
        ++generation_;
        pump_.Arm();
        stack_.emplace_back();
        Handler(kind, in_.Byte());
        stack_.pop_back();
        ++generation_; // a click not yet delivered is dropped with its handler
        AfterHandler();
    }

    // kind: 0 range, 1-2 Ready, 3 Repeat, 4 an attempt button, 5 Stop, 6 End.
    void Handler(int kind, std::uint8_t arg) {
        const wm::CalibState& s = cal_.State();
        switch (kind) {
        case 0: {
            const int index = arg % static_cast<int>(s.rangeList.size() + 2) - 1;
            Trace("range", std::to_string(index));
            cal_.cboRange_Click(index);
            break;
        }
        case 1:
        case 2: Trace("ready", ""); cal_.cmdReady_Click(); break;
        case 3: Trace("repeat", ""); cal_.cmdRepeat_Click(); break;
        case 4:
            Trace("attempt", std::to_string(arg % 12));
            cal_.cmd_Click(arg % 12);
            break;
        case 5: Trace("stop", ""); cal_.cmdStop_Click(); break;
        default: {
            Trace("end", "");
            const bool closes = s.cmdEnd.enabled && !cal_.Busy();
            cal_.cmdEnd_Click();
            ended_ = closes; // the window closes after End, sent or not
            break;
        }
        }
    }

    // A click delivered during a handler's wait. Only Stop may do anything
    // while a run is busy; nothing asks the meter while an exchange waits.
    void Interrupt(std::uint8_t which) {
        const std::size_t frames = frames_.size();
        const std::uint64_t waits = pump_.Calls();
        const bool busy = cal_.Busy();
        const bool waiting = program_.txn.Waiting();
        const int kind = which % 8;
        stack_.emplace_back();
        switch (kind) {
        case 0:
        case 1:
        case 2: Trace("click stop", ""); cal_.cmdStop_Click(); break;
        case 3: Trace("click ready", ""); cal_.cmdReady_Click(); break;
        case 4: Trace("click repeat", ""); cal_.cmdRepeat_Click(); break;
        case 5: Trace("click attempt", ""); cal_.cmd_Click(which / 8 % 12); break;
        case 6: Trace("click range", ""); cal_.cboRange_Click(which / 8 % 12 - 1); break;
        default: Trace("click end", ""); cal_.cmdEnd_Click(); break;
        }
        stack_.pop_back();
        if (kind <= 2) WM_FUZZ_CHECK(frames_.size() == frames);
        if (busy && kind > 2) WM_FUZZ_CHECK(frames_.size() == frames && pump_.Calls() == waits);
        if (waiting) WM_FUZZ_CHECK(frames_.size() == frames);
    }

    void Frame(const std::string& frame) {
        // "*" + address + letters + CR LF.
        const std::string prefix = "*" + program_.link.MeterAddress;
        WM_FUZZ_CHECK(frame.starts_with(prefix) && frame.ends_with("\r\n"));
        const std::string letters = frame.substr(prefix.size(), frame.size() - prefix.size() - 2);
        Trace("  tx", letters);
        frames_.push_back(letters);
        // After a failure that ended the run, the meter hears nothing more
        // until the operator starts a new step.
        for (const Context& c : stack_) WM_FUZZ_CHECK(!c.failed);
        // Without a board identified only End may reach the meter.
        if (!startOk_ && stack_.size() > 0 && !starting()) WM_FUZZ_CHECK(letters == kEndWrite);
        if (IsWordWrite(letters)) {
            WM_FUZZ_CHECK(letters.size() == 8 && IsUpperHex(letters.substr(2)));
            const std::string address = letters.substr(2, 2);
            if (address != "10" && address != "11" && address != "1B") {
                // A calibration word goes to the selected range's address.
                const wm::CalibRange* range = cal_.State().range;
                WM_FUZZ_CHECK(range != nullptr && address == range->nvAdr);
            }
        }
        peer_.Sent(letters, frame.size());
    }

    [[nodiscard]] bool starting() const { return generation_ == 0; }

    void Asked(const wm::MessageBox& box) {
        if (box.id != wm::MessageId::CommunicationError) return;
        const wm::CalibState& s = cal_.State();
        WM_FUZZ_CHECK(s.failure.has_value() && !cal_.FailureText().empty());
        const wm::CalibFailure& f = *s.failure;
        Trace("  failed", f.exchange + " status " + std::to_string(f.status));
        // The exchange that failed went out last (unless it never went out).
        if (f.status == wm::status::Ok || f.status == wm::status::NoReply)
            WM_FUZZ_CHECK(!frames_.empty() && frames_.back() == f.exchange);
        if (f.endedRun && !stack_.empty()) stack_.back().failed = true;
    }

    void CheckState() {
        const wm::CalibState& s = cal_.State();
        WM_FUZZ_CHECK(s.gridRow >= 0 && s.gridRow < wm::kCalibRows);
        WM_FUZZ_CHECK(s.gridCol >= 1 && s.gridCol < wm::kCalibColumns);
        WM_FUZZ_CHECK(s.focusIndex >= 0 && s.focusIndex < wm::kCalibColumns);
        WM_FUZZ_CHECK(s.progBar >= 0 && s.progBar <= 100);
        WM_FUZZ_CHECK(s.CalStep >= 1 && s.CalStep <= 4);
        WM_FUZZ_CHECK(s.CalBusy == 0 || s.CalBusy == 1);
        if (s.range != nullptr) {
            // The selected range is one the list shows.
            WM_FUZZ_CHECK(s.listIndex >= 0 && static_cast<std::size_t>(s.listIndex) < s.rangeList.size());
            WM_FUZZ_CHECK(s.rangeList[static_cast<std::size_t>(s.listIndex)] == s.range->listText);
        }
        // Row 5 holds only words that were written.
        for (int c = 1; c < wm::kCalibColumns; ++c) {
            const std::string& word = s.grid[5][static_cast<std::size_t>(c)];
            WM_FUZZ_CHECK(word.empty() || (word.size() == 4 && IsUpperHex(word)));
        }
    }

    void AfterHandler() {
        WM_FUZZ_CHECK(!cal_.Busy() && !program_.txn.Waiting());
        CheckState();
    }

    void CheckRecord() const {
        for (const wm::CalibRangeRecord& r : cal_.Record().ranges) {
            WM_FUZZ_CHECK(!r.attempts.empty());
            for (const wm::CalibAttempt& a : r.attempts) {
                WM_FUZZ_CHECK(a.column >= 1 && a.column < wm::kCalibColumns);
                WM_FUZZ_CHECK(a.wordWritten.size() == 4 && IsUpperHex(a.wordWritten));
            }
            if (r.keptColumn) {
                WM_FUZZ_CHECK(*r.keptColumn >= 1 && *r.keptColumn < wm::kCalibColumns);
                WM_FUZZ_CHECK(r.keptWord.size() == 4 && IsUpperHex(r.keptWord));
            }
        }
    }

    void Trace(const char* what, const std::string& detail) const {
        // WM_FUZZ_TRACE=1 tells what an input did, for reading a crash input.
        if (Traced())
            std::fprintf(stderr, "%10.1f ms %s %s\n", static_cast<double>(vt_.NowUs()) / 1000.0, what, detail.c_str());
    }

    wm::Program& program_;
    wm::VirtualTime& vt_;
    GuardedPump& pump_;
    FuzzPeer& peer_;
    Bytes& in_;
    wm::Calibration cal_;
    std::vector<Context> stack_;
    std::vector<std::string> frames_;
    std::uint64_t generation_ = 0;
    bool startOk_ = false;
    bool ended_ = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const std::uint8_t line = in.Byte();
    const bool echoes = (line & 4) != 0;                       // Settings.SSS says the line echoes
    const bool portEchoes = echoes != ((line & 0xF8) == 0xF8); // and now and then it is wrong
    static constexpr int kLeftByGet[] = {0, 1, 3, 1};         // the board type the last Get saw
    const int scTypeBefore = kLeftByGet[(line >> 3) & 3];
    const std::string line1 = Line1(in, echoes);

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
    FuzzOperator op;
    wm::Program program(wm::Platform{port, vt, pump, op}, wm::ProgramPaths{settings, folder, "memory"});
    program.StartUp();
    WM_FUZZ_CHECK(program.link.SettingsUsable && port.IsOpen() && program.link.UseModbus == 0);
    program.derived.ScType = scTypeBefore;

    FuzzPeer peer(vt, port, pump, in);
    Session session(program, vt, pump, peer, op, in);
    session.Run();
    return 0;
}
