// Every exchange the program makes, against every way a reply can go wrong:
// the simulated meter misbehaves on the first request of the operation that
// reads a reply (for the Put's writes: block 2), and the line itself brings
// noise or loses the device. Each case checks the status and words the
// operation ends with, that neither the setup image, the meter nor
// Settings.SSS changed beyond what the outcome tells, and that a reading
// works again once the fault is gone.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/SimProgram.h"
#include "comm/MeterCommands.h"
#include "sc/SigCond.h"
#include "transfer/GetSetup.h"
#include "transfer/PutSetup.h"

namespace wm::test {
namespace {

using sim::Fault;

enum class Kind { Get, PutWrites, PutCheck, ScRead, ScRestore, Reading, Command };
constexpr Kind kKinds[] = {Kind::Get,       Kind::PutWrites, Kind::PutCheck, Kind::ScRead,
                           Kind::ScRestore, Kind::Reading,   Kind::Command};

const char* KindName(Kind k) {
    switch (k) {
    case Kind::Get: return "Get";
    case Kind::PutWrites: return "Put writes";
    case Kind::PutCheck: return "Put check";
    case Kind::ScRead: return "SigCondType read";
    case Kind::ScRestore: return "SigCondType restore";
    case Kind::Reading: return "gross reading";
    case Kind::Command: return "peak reset";
    }
    return "";
}

// The first request of the operation whose reply is read, as the meter keys it.
std::string Target(Kind k, int protocol) {
    const bool ascii = protocol == 0;
    switch (k) {
    case Kind::Get: return ascii ? "XU1DZ" : "080001";
    case Kind::PutWrites: return "100011"; // block 2 of 6
    case Kind::PutCheck: return ascii ? "X115" : "030068";
    case Kind::ScRead: return ascii ? "X110" : "030045";
    case Kind::ScRestore: return ascii ? "X110" : "100045";
    case Kind::Reading: return ascii ? "B3" : "040007";
    case Kind::Command: return "050004";
    }
    return {};
}

// Custom ASCII writes and commands read no reply: nothing to go wrong there.
bool ReadsAReply(Kind k, int protocol) { return protocol != 0 || (k != Kind::PutWrites && k != Kind::Command); }

enum class Line { Plain, Noise, Hangup, EchoMissing };

// What a row expects of the faulted exchange in one protocol: it succeeds,
// the fault means nothing there, or the transaction layer ends it with this
// status (0: the reply passed the line but is no answer).
constexpr int Ok = -1;
constexpr int NA = -2;

struct Row {
    const char* name;
    std::function<Fault(const std::string& key)> fault; // empty: none from the meter
    Line line;
    int outcome[3]; // Custom ASCII, Modbus RTU, Modbus ASCII
    std::set<Kind> only = {}; // empty: every kind
    // The fault outlasts the exchange it hits (a reply arriving after the
    // time-out, a line that stays noisy, a missing echo, a device gone): the
    // exchanges after it suffer too.
    bool outlasts = false;
    // The reply has the right length but is not hex: the Put check cannot
    // tell the meter's kind and abandons the Put with its message.
    bool garbled = false;
};

// Image positions each Modbus Put block writes (a pair or scaled field is 6
// characters, a byte 2). Block 6 also writes the range byte, with which the
// meter sets its type.
const std::vector<std::vector<std::pair<int, int>>> kBlockFields = {
    {{115, 6}, {109, 6}, {103, 6}, {97, 6}},
    {{91, 6}, {85, 6}, {79, 6}, {73, 6}, {1, 6}},
    {{27, 6}, {21, 6}, {67, 6}, {61, 6}},
    {{33, 2}, {43, 2}, {41, 2}, {11, 2}, {37, 2}, {39, 2}},
    {{127, 2}, {125, 2}, {135, 2}},
    {{59, 2}, {57, 2}, {55, 2}, {53, 2}, {51, 2}, {49, 2}, {47, 2}, {45, 2}, {9, 2}, {133, 2}, {35, 2}},
};

// The highest block whose fields cover image position pos (1-based), or 0.
int BlockOf(int pos) {
    for (std::size_t b = 0; b < kBlockFields.size(); ++b)
        for (const auto& [at, len] : kBlockFields[b])
            if (pos >= at && pos < at + len) return static_cast<int>(b) + 1;
    return 0;
}

std::string WithPortType(std::string line1, char portType) {
    line1[15] = portType;
    return line1;
}

struct Rig : SimProgram {
    Rig(int protocol, Line fault)
        : SimProgram(WithPortType(Line1(protocol), fault == Line::EchoMissing ? '2' : '1')) {
        // The meter's own setup says the protocol the link uses, so the
        // settings file already agrees with whatever a Put writes.
        std::string im = meter.Image();
        SetupImage s;
        s.text = im;
        s.SetBits(3, 2, 133, protocol);
        s.SetBits(1, 0, 133, 0);
        EXPECT_TRUE(meter.SetImage(s.text));
        EXPECT_TRUE(meter.SetRangeByte("64")); // DC, 200 mV range 4: a restore to "60" shows
        program.setup.text = meter.Image();
        UpdateSettingsFromSetup(program);
        op = ScriptedOperator{};
        // What a Put writes: one field changed in each block.
        for (const auto& [pos, value] : {std::pair{115, "000064"}, std::pair{91, "000001"},
                                         std::pair{27, "00007B"}, std::pair{33, "0A"}, std::pair{127, "02"},
                                         std::pair{51, "34"}})
            program.setup.Put(pos, value);
        meter.heard = [this](const sim::LogEntry& e) { Heard(e); };
    }
    ~Rig() { meter.heard = nullptr; }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    void Heard(const sim::LogEntry& e) {
        if (armed.empty() || !e.key.starts_with(armed)) return;
        armed.clear();
        if (line == Line::Hangup) {
            vt.AfterUs(15'000, [this] { port.Hangup(); }); // as the meter starts to answer
        } else if (line == Line::Noise) {
            noise = true;
            Noise();
        }
    }
    // Characters back to back, frame characters and line ends among them,
    // for as long as the flag stays set.
    void Noise() {
        if (!noise) return;
        static const std::string chunk("\x55\xAA:0103\r\n*1G\xFF\x00 7E\r", 17);
        port.SendFromPeer(chunk);
        vt.AfterUs(chunk.size() * port.CharTimeUs(), [this] { Noise(); });
    }

    Line line = Line::Plain;
    std::string armed; // the request whose arrival starts the line fault
    bool noise = false;
};

struct Outcome {
    bool failed = false;
    int status = 0; // the operation's own, where it has one
    std::string text;
};

Outcome RunOperation(Rig& rig, Kind k, PutResult& put) {
    Outcome o;
    switch (k) {
    case Kind::Get: {
        const GetResult r = GetSetup(rig.program);
        return {r.status != 0, r.status, rig.op.status};
    }
    case Kind::PutWrites:
    case Kind::PutCheck:
        put = PutSetup(rig.program);
        return {put.status != 0 || put.abandoned, put.status, rig.op.status};
    case Kind::ScRead: {
        const SCTypeReport r = ReadSCType(rig.program);
        if (!r.picTextVisible) return {true, 0, rig.op.boxes.empty() ? "" : rig.op.boxes.back().text};
        return {false, 0, r.lines.size() > 7 ? r.lines[7] : ""};
    }
    case Kind::ScRestore: {
        const SCRestoreReport r = RestoreSCType(rig.program, SCBoard::DC);
        if (r.lines == std::vector<std::string>{kSCWaitLine})
            return {true, 0, rig.op.boxes.empty() ? "" : rig.op.boxes.back().text};
        return {false, 0, r.lines.empty() ? "" : r.lines[0]};
    }
    case Kind::Reading:
    case Kind::Command: {
        const CommandOutcome c =
            RunMeterCommand(rig.program, *FindMeterCommand(k == Kind::Reading ? "gross" : "peak-reset"));
        return {c.failed, c.status, c.caption};
    }
    }
    return o;
}

// What each operation makes of the faulted exchange, from its documented
// contract: a link failure keeps the transaction's status, a reply that
// passed the line but is no answer takes the step's own code.
Outcome Expected(Kind k, int protocol, int outcome, bool outlasts, bool garbled) {
    const bool ok = outcome == Ok;
    const std::string commError = "Communication error.  Try again.";
    switch (k) {
    case Kind::Get: {
        if (ok) return {false, 0, kGetOkCaption};
        const int s = outcome != 0 ? outcome : getstatus::FirstBlock;
        return {true, s, GetFailureCaption(s)};
    }
    case Kind::PutCheck: {
        if (ok) return {false, 0, kPutOkCaption};
        // The Modbus Put writes whatever its check could read: it succeeds
        // unless the fault outlasts the check and spoils the first write too.
        if (protocol != 0 && !outlasts) return {false, 0, kPutOkCaption};
        if (protocol != 0) return {true, putstatus::Request1, PutFailureCaption(putstatus::Request1)};
        if (garbled) return {true, 0, kPuttingCaption};
        const int s = outcome != 0 ? outcome : putstatus::AsciiTypeReply;
        return {true, s, PutFailureCaption(s)};
    }
    case Kind::PutWrites:
        if (ok) return {false, 0, kPutOkCaption};
        return {true, putstatus::Request2Or3, PutFailureCaption(putstatus::Request2Or3)};
    case Kind::ScRead:
        return ok ? Outcome{false, 0, "Signal Conditioner type is DC and range is valid."}
                  : Outcome{true, 0, commError};
    case Kind::ScRestore:
        return ok ? Outcome{false, 0, "Signal Conditioner type set to DC and 200 mV range."}
                  : Outcome{true, 0, commError};
    case Kind::Reading:
        return ok ? Outcome{false, 0, "Gross Reading request sent.    Gross Reading received."}
                  : Outcome{true, outcome, "Communications failure.  Try again."};
    case Kind::Command:
        return ok ? Outcome{false, 0, "Peak Reset Command sent."}
                  : Outcome{true, outcome, "Communications error.  Try again."};
    }
    return {};
}

const Row kRows[] = {
    {"silence", [](const std::string& k) { return Fault::Silent(k); }, Line::Plain, {21, 21, 21}},
    {"first character later than 3000 ms", [](const std::string& k) { return Fault::Late(k, 3500); },
     Line::Plain, {21, 21, 21}, {}, true},
    {"first character late but within 3000 ms", [](const std::string& k) { return Fault::Late(k, 2500); },
     Line::Plain, {Ok, Ok, Ok}},
    // The quiet gap at 9600 baud is 60 ms, counted from the end of the
    // 200 ms settling pause: a 240 ms pause after three characters ends
    // inside it, a 400 ms pause does not.
    {"reply pausing less than the quiet gap", [](const std::string& k) { return Fault::Split(k, 3, 240); },
     Line::Plain, {Ok, Ok, Ok}},
    {"reply cut by a pause longer than the quiet gap", [](const std::string& k) { return Fault::Split(k, 3, 400); },
     Line::Plain, {0, status::BadCrc, status::NoLineFeed}},
    {"short reply", [](const std::string& k) { return Fault::Truncate(k, 3); }, Line::Plain,
     {0, status::BadCrc, status::NoLineFeed}},
    // Custom ASCII and Modbus ASCII replies end at their line end; what
    // follows is not part of them. An RTU frame has no end mark, so the
    // extra bytes spoil its CRC.
    {"bytes after the reply", [](const std::string& k) { return Fault::Append(k, "\x55\xAA"); }, Line::Plain,
     {Ok, status::BadCrc, Ok}},
    {"bad CRC or LRC", [](const std::string& k) { return Fault::Corrupt(k); }, Line::Plain,
     {NA, status::BadCrc, status::BadLrc}},
    // Custom ASCII has no check field: a changed character is caught only
    // where it leaves a hex reply with a character that is no hex digit (a
    // reading is free text, and stays out).
    {"changed character in a hex reply", [](const std::string& k) { return Fault::Corrupt(k); }, Line::Plain,
     {0, NA, NA},
     {Kind::Get, Kind::PutCheck, Kind::ScRead, Kind::ScRestore}, false, true},
    // An exception is a Modbus RTU status of its own; Modbus ASCII passes
    // the reply on, and it is no answer to the request.
    {"Modbus exception", [](const std::string& k) { return Fault::Exception(k, 2); }, Line::Plain,
     {NA, 2, 0}},
    {"endless noise", [](const std::string& k) { return Fault::Silent(k); }, Line::Noise,
     {status::EndlessReply, status::EndlessReply, status::EndlessReply}},
    // The settings say the line echoes; it does not, so no reply starts
    // with the request. Every request fails alike, so the Put stops at its
    // check. The diagnostics echo that opens a Modbus Get and a coil write
    // answer with the request itself: taken for the echo, it leaves a frame
    // too short to check.
    {"echo missing", nullptr, Line::EchoMissing, {0, 0, 0},
     {Kind::PutCheck, Kind::ScRead, Kind::ScRestore, Kind::Reading}},
    {"echo missing, reply the same as the request", nullptr, Line::EchoMissing,
     {0, status::ReadFailure, status::NoLineFeed},
     {Kind::Get, Kind::Command}},
    {"device gone mid-exchange", nullptr, Line::Hangup, {29, 29, 29}},
};

const char* kProtocolNames[] = {"Custom ASCII", "Modbus RTU", "Modbus ASCII"};

TEST(FaultInjection, everyExchangeEndsWithItsStatusAndWordsAndChangesNothingItDoesNotReport) {
    int cases = 0;
    for (const Row& row : kRows) {
        for (int protocol = 0; protocol < 3; ++protocol) {
            const int outcome = row.outcome[protocol];
            if (outcome == NA) continue;
            for (const Kind kind : kKinds) {
                if (!ReadsAReply(kind, protocol) || (!row.only.empty() && row.only.count(kind) == 0)) continue;
                SCOPED_TRACE(std::string(row.name) + " / " + kProtocolNames[protocol] + " / " + KindName(kind));
                ++cases;
                Rig rig(protocol, row.line);
                const std::string target = Target(kind, protocol);
                if (row.fault) rig.meter.AddFault(row.fault(target).Times(1));
                rig.line = row.line;
                rig.armed = target;
                if (std::string(row.name) == "changed character in a hex reply") {
                    // The meter's XOR of the first character turns an A into "@".
                    std::string im = rig.meter.Image();
                    im[0] = 'A';
                    ASSERT_TRUE(rig.meter.SetImage(im));
                    rig.meter.scIdentByte = "A0";
                    rig.meter.scFlagByte = "A0";
                }
                const std::string settingsBefore = ReadWhole(rig.SettingsFile());
                const std::string meterBefore = rig.meter.Image();
                const std::string imageBefore = rig.program.setup.text;

                PutResult put;
                const Outcome got = RunOperation(rig, kind, put);
                const Outcome want = Expected(kind, protocol, outcome, row.outlasts || row.line != Line::Plain, row.garbled);
                EXPECT_EQ(got.failed, want.failed);
                EXPECT_EQ(got.status, want.status);
                EXPECT_EQ(got.text, want.text);
                EXPECT_EQ(ReadWhole(rig.SettingsFile()), settingsBefore);
                if (rig.meter.Image() != meterBefore) {
                    // Only a Put, a restore or a Custom ASCII Get (which
                    // sets the meter's remote flag) may change the meter.
                    EXPECT_TRUE(kind == Kind::PutWrites || kind == Kind::PutCheck || kind == Kind::ScRestore ||
                                (kind == Kind::Get && !got.failed));
                }

                // What each operation may leave changed.
                switch (kind) {
                case Kind::Get:
                    // The first request failed: nothing reached the image.
                    if (got.failed) {
                        EXPECT_EQ(rig.program.setup.text, imageBefore);
                    }
                    break;
                case Kind::PutCheck:
                    if (got.failed && protocol == 0) {
                        EXPECT_EQ(rig.meter.Image(), meterBefore) << "a failed check writes nothing";
                        // Only an abandoned Put speaks, with the check's own message.
                        if (row.garbled) {
                            ASSERT_EQ(rig.op.boxes.size(), 1U);
                            EXPECT_EQ(rig.op.boxes[0].id, MessageId::MeterTypeUndetermined);
                        } else {
                            EXPECT_TRUE(rig.op.boxes.empty());
                        }
                        EXPECT_EQ(put.blocksAcknowledged, 0);
                    }
                    break;
                case Kind::PutWrites:
                    if (got.failed) {
                        EXPECT_EQ(put.linkStatus, outcome);
                        EXPECT_EQ(put.blocksAcknowledged, 1);
                        ASSERT_EQ(rig.op.boxes.size(), 1U);
                        EXPECT_EQ(rig.op.boxes[0].text, PartialWriteText(put));
                        // The meter holds block 1, perhaps the failed block 2, nothing after.
                        const int allowed = put.blocksAcknowledged + (put.failedBlockMayBeWritten ? 1 : 0);
                        for (int pos = 1; pos <= 136; ++pos) {
                            const auto i = static_cast<std::size_t>(pos - 1);
                            if (rig.meter.Image()[i] == meterBefore[i]) continue;
                            const int block = BlockOf(pos);
                            EXPECT_TRUE(block >= 1 && block <= allowed) << "position " << pos << " block " << block;
                        }
                        EXPECT_EQ(rig.meter.Mid(115, 6), "000064"); // block 1 was acknowledged
                    }
                    break;
                case Kind::ScRestore:
                    rig.vt.AdvanceUs(100'000); // a Custom ASCII write is still on the line
                    // A failed Custom ASCII restore stops before its write.
                    if (!got.failed) {
                        EXPECT_EQ(rig.meter.RangeByte(), "60");
                    } else if (protocol == 0) {
                        EXPECT_EQ(rig.meter.RangeByte(), "64");
                    }
                    break;
                default: break;
                }
                if (kind != Kind::Get && kind != Kind::PutWrites && kind != Kind::PutCheck) {
                    EXPECT_EQ(rig.program.setup.text, imageBefore);
                }

                // The fault gone, and a late reply landed and discarded, the
                // program reads again.
                rig.noise = false;
                rig.vt.AdvanceUs(1'000'000);
                rig.meter.ClearFaults();
                if (row.line == Line::EchoMissing) rig.port.echo = true;
                if (rig.port.Gone()) rig.program.conn.OpenConnection();
                const CommandOutcome after = RunMeterCommand(rig.program, *FindMeterCommand("gross"));
                EXPECT_FALSE(after.failed) << after.cause;
                EXPECT_LT(rig.vt.NowUs(), 120'000'000U); // virtual time; no wait without end
            }
        }
    }
    EXPECT_GT(cases, 150);
}

} // namespace
} // namespace wm::test
