// The scan that finds the meter, against the simulated meter set to its own
// baud rate, protocol, parity and address on the in-memory line, in virtual
// time: the order of the tries, the link found and the file written for it,
// the time each try may take, cancelling, and a meter that is not there.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "comm/LinkScan.h"
#include "comm/MeterCommands.h"
#include "comm/Tables.h"
#include "support/SimProgram.h"

namespace wm::test {
namespace {

// A meter fixed to one link: protocol, the line setting it answers at, and
// its address. The program starts from Settings.SSS for the usual link
// (Custom ASCII at 9600 baud, address 0), which is not the meter's.
struct ScanRig {
    explicit ScanRig(const ScanLink& meterLink) : rig(Line1(0)) {
        sim::Meter& m = rig.meter;
        m.behaviour.protocol = meterLink.serialMode == 0   ? sim::Protocol::CustomAscii
                               : meterLink.serialMode == 1 ? sim::Protocol::ModbusRtu
                                                           : sim::Protocol::ModbusAscii;
        EXPECT_TRUE(m.SetMeterAddress(meterLink.meterAddress));
        EXPECT_TRUE(m.SetModbusAddress(meterLink.modbusAddress));
        const int baud = std::stoi(std::string(BaudRates[static_cast<std::size_t>(meterLink.baudIndex)]));
        rig.sim->SetLine(sim::MeterLine{baud, "noe"[meterLink.parityCode]});
    }

    // Runs the scan, noting each try's link and the virtual time it began.
    ScanResult Scan(ScanMode mode, std::function<bool()> cancelled = {}) {
        ScanOptions options;
        options.mode = mode;
        options.baseLine1 = rig.program.link.SettingsLine1;
        options.progress = [this](const ScanProgress& p) {
            tried.push_back(p.trying);
            startedUs.push_back(rig.vt.NowUs());
        };
        options.cancelled = std::move(cancelled);
        startUs = rig.vt.NowUs();
        ScanResult result = ScanForMeter(rig.program, options);
        endUs = rig.vt.NowUs();
        return result;
    }
    [[nodiscard]] std::uint64_t ElapsedMs() const { return (endUs - startUs) / 1000; }

    SimProgram rig;
    std::vector<ScanLink> tried;
    std::vector<std::uint64_t> startedUs;
    std::uint64_t startUs = 0, endUs = 0;
};

ScanLink Modbus(int mode, int baudIndex, int parity, int slave) {
    ScanLink l;
    l.serialMode = mode;
    l.baudIndex = baudIndex;
    l.parityCode = parity;
    l.modbusAddress = slave;
    return l;
}

ScanLink Ascii(int baudIndex, char address) {
    ScanLink l;
    l.baudIndex = baudIndex;
    l.meterAddress = address;
    return l;
}

// The program's link and port are as Settings.SSS left them.
void ExpectLinkAsAtStart(SimProgram& rig) {
    EXPECT_EQ(rig.program.link.SettingsLine1, Line1(0));
    EXPECT_EQ(rig.program.link.SerialMode, 0);
    EXPECT_EQ(rig.program.link.BaudIndex, 5);
    EXPECT_EQ(rig.program.link.MeterAddress, "0");
    EXPECT_TRUE(rig.port.IsOpen());
    EXPECT_EQ(rig.port.Settings(), "9600,n,8,1");
    EXPECT_FALSE(rig.program.txn.GetReplyTimes().has_value());
}

TEST(LinkScan, PlanTriesTheCommonLinksFirstAndCoversWhatItSays) {
    const std::vector<ScanLink> quick = ScanPlan(ScanMode::Quick);
    const std::vector<ScanLink> full = ScanPlan(ScanMode::Full);
    ASSERT_EQ(quick.size(), 84U); // 3 baud rates x 7 framings x 4 addresses
    EXPECT_EQ(quick.front(), Ascii(5, '0'));
    EXPECT_EQ(quick[4], Modbus(1, 5, 0, 1)); // the port's setting changes every 4 tries
    ASSERT_GT(full.size(), quick.size());
    EXPECT_TRUE(std::equal(quick.begin(), quick.end(), full.begin())); // a full scan starts as the quick one

    std::set<std::tuple<int, int, int, char, int>> seen;
    for (const ScanLink& l : full) {
        const int address = l.serialMode == 0 ? l.meterAddress : l.modbusAddress;
        EXPECT_TRUE(seen.emplace(l.serialMode, l.baudIndex, l.parityCode, l.meterAddress, l.modbusAddress).second)
            << DescribeScanLink(l);
        if (l.serialMode == 0) {
            EXPECT_EQ(l.parityCode, 0);
        }
        // Beyond the first four, Modbus addresses are tried at the common rates only.
        if (l.serialMode != 0 && l.baudIndex < 5) {
            EXPECT_LE(address, 4) << DescribeScanLink(l);
        }
    }
    // Every Custom ASCII address at every rate; every Modbus slave 1-247 in
    // every framing at 9600, 19200 and 38400.
    for (int baud = 0; baud < 8; ++baud)
        for (char a : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUV"))
            EXPECT_EQ(seen.count({0, baud, 0, a, 1}), 1U) << baud << a;
    for (int baud = 5; baud < 8; ++baud)
        for (int mode = 1; mode <= 2; ++mode)
            for (int parity = 0; parity <= 2; ++parity)
                for (int slave = 1; slave <= 247; ++slave)
                    EXPECT_EQ(seen.count({mode, baud, parity, '0', slave}), 1U) << baud << mode << parity << slave;
    EXPECT_EQ(seen.size(), 32U * 8 + 6U * 4 * 5 + 6U * 247 * 3);
    for (const ScanLink& l : quick) EXPECT_GE(l.baudIndex, 5);

    // Slower lines take longer per try; the whole scan stays bounded.
    EXPECT_LT(TryBoundMs(Modbus(2, 7, 0, 1)), TryBoundMs(Modbus(2, 5, 0, 1)));
    EXPECT_LT(TryBoundMs(Modbus(2, 5, 0, 1)), TryBoundMs(Modbus(2, 0, 0, 1)));
    const ScanDuration q = ScanTime(ScanMode::Quick), f = ScanTime(ScanMode::Full);
    EXPECT_EQ(q.tries, quick.size());
    std::uint64_t sum = 0;
    for (const ScanLink& l : quick) sum += TryBoundMs(l);
    EXPECT_EQ(q.longestMs, sum);
    EXPECT_LT(q.silentMs, q.longestMs);
    EXPECT_LT(q.longestMs, 30'000U);
    EXPECT_LT(f.longestMs, 25U * 60'000);
    std::printf("quick: %zu tries, %llu ms longest, %llu ms silent; full: %zu tries, %llu ms longest, %llu ms silent\n",
                q.tries, static_cast<unsigned long long>(q.longestMs), static_cast<unsigned long long>(q.silentMs),
                f.tries, static_cast<unsigned long long>(f.longestMs), static_cast<unsigned long long>(f.silentMs));
}

TEST(LinkScan, FindsTheMeterAtItsOwnLinkAfterTheTriesBeforeIt) {
    // Odd parity on the in-memory line: the scan tries even first, which the
    // meter does not hear.
    const ScanLink meterLink = Modbus(2, 6, 1, 3);
    ScanRig s(meterLink);
    const ScanResult result = s.Scan(ScanMode::Full);
    ASSERT_TRUE(result.found) << result.problem;
    EXPECT_EQ(*result.found, meterLink);
    EXPECT_EQ(DescribeScanLink(*result.found), "Modbus ASCII, 19200 baud, parity odd, slave 3");
    EXPECT_EQ(result.reading, "1234");
    const std::vector<ScanLink> plan = ScanPlan(ScanMode::Full);
    const auto at = std::find(plan.begin(), plan.end(), meterLink);
    ASSERT_NE(at, plan.end());
    EXPECT_EQ(result.tries, static_cast<std::size_t>(at - plan.begin()) + 1);
    EXPECT_TRUE(std::equal(s.tried.begin(), s.tried.end(), plan.begin()));
    std::uint64_t bound = 0;
    for (const ScanLink& l : s.tried) bound += TryBoundMs(l);
    EXPECT_LE(s.ElapsedMs(), bound);
    // Only the last request reached the meter in its own setting and address.
    ASSERT_FALSE(s.rig.meter.Log().empty());
    for (std::size_t i = 0; i + 1 < s.rig.meter.Log().size(); ++i) EXPECT_FALSE(s.rig.meter.Log()[i].addressed);
    EXPECT_TRUE(s.rig.meter.Log().back().addressed);
    ExpectLinkAsAtStart(s.rig);

    // A Custom ASCII meter at a slow rate and a late address: found by the
    // full scan, not by the quick one, which ends within its bound.
    ScanRig slow(Ascii(3, 'K'));
    const ScanResult quick = slow.Scan(ScanMode::Quick);
    EXPECT_FALSE(quick.found);
    EXPECT_FALSE(quick.cancelled);
    EXPECT_TRUE(quick.problem.empty()) << quick.problem;
    EXPECT_EQ(quick.tries, 84U);
    // Nothing answered: each try took its pause and first-character wait, no more.
    EXPECT_EQ(slow.ElapsedMs(), ScanTime(ScanMode::Quick).silentMs);
    ExpectLinkAsAtStart(slow.rig);
    const ScanResult full = slow.Scan(ScanMode::Full);
    ASSERT_TRUE(full.found);
    EXPECT_EQ(*full.found, Ascii(3, 'K'));
}

TEST(LinkScan, WrittenSettingsOpenTheFoundLinkAndItAnswers) {
    for (const ScanLink& meterLink : {Modbus(1, 7, 2, 4), Modbus(2, 5, 1, 2), Ascii(5, '3')}) {
        ScanRig s(meterLink);
        const ScanResult result = s.Scan(ScanMode::Quick);
        ASSERT_TRUE(result.found) << DescribeScanLink(meterLink);
        // The file as wmctl scan --write writes it (a node's line 2 gives way
        // to the serial port), read back by the program's own reader.
        const SettingsText before = ReadSettingsFile(s.rig.SettingsFile());
        ASSERT_EQ(WriteSettingsFile(s.rig.SettingsFile(), ScanSettingsLine1(*result.found, before.line1),
                                    ScanSettingsLine2(kNodeLine2)),
                  "");
        const SettingsText text = ParseSettingsText(ReadWhole(s.rig.SettingsFile()));
        ASSERT_EQ(text.problem, "");
        s.rig.program.conn.OpenConnection();
        const LinkState& link = s.rig.program.link;
        ASSERT_TRUE(link.SettingsUsable) << link.Problem;
        EXPECT_EQ(link.EthernetLink, 0);
        EXPECT_EQ(link.PortType, 1);
        EXPECT_EQ(link.SerialMode, meterLink.serialMode);
        EXPECT_EQ(link.BaudIndex, meterLink.baudIndex);
        EXPECT_EQ(link.ParityCode, meterLink.parityCode);
        if (meterLink.serialMode == 0) {
            EXPECT_EQ(link.MeterAddress, std::string(1, meterLink.meterAddress));
        } else {
            EXPECT_EQ(link.ModbusAddress, meterLink.modbusAddress);
        }
        EXPECT_EQ(link.MeterRevision, 7); // the other fields are the old file's
        EXPECT_EQ(link.CommPortNumber, 1);
        // With the usual times, the meter answers on the link written.
        const CommandOutcome out = RunMeterCommand(s.rig.program, *FindMeterCommand("gross"));
        EXPECT_TRUE(out.succeeded) << DescribeScanLink(meterLink) << ": " << out.cause;
    }
}

TEST(LinkScan, EveryTryEndsWithinItsBoundEvenWhenTheLineNeverGoesQuiet) {
    // Something on the line answers every request with more noise than any
    // reply: each try ends at its reception bound.
    ScanRig s(Ascii(0, 'V'));
    s.rig.port.peerReceive = [&s](char byte) {
        if (byte == '*' || byte == ':' || byte == '\x01' || byte == '\x02' || byte == '\x03' || byte == '\x04')
            s.rig.port.SendFromPeer(std::string(600, 'U'), 5000);
    };
    const ScanResult result = s.Scan(ScanMode::Quick);
    EXPECT_FALSE(result.found);
    EXPECT_EQ(result.tries, 84U);
    s.startedUs.push_back(s.endUs);
    int noisyTries = 0;
    for (std::size_t i = 0; i < s.tried.size(); ++i) {
        const std::uint64_t ms = (s.startedUs[i + 1] - s.startedUs[i]) / 1000;
        EXPECT_LE(ms, TryBoundMs(s.tried[i])) << DescribeScanLink(s.tried[i]);
        // A try on a quiet line takes its pause and first-character wait exactly.
        const Transaction::ReplyTimes t = ScanReplyTimes(s.tried[i]);
        if (ms != t.pauseBeforeSendMs + t.firstCharacterMs) ++noisyTries;
    }
    EXPECT_GT(noisyTries, 40); // the noise did come, and was waited out
    EXPECT_LE(s.ElapsedMs(), ScanTime(ScanMode::Quick).longestMs);
}

TEST(LinkScan, CancelStopsBeforeTheNextTryAndAPortThatWillNotOpenStopsAtOnce) {
    ScanRig s(Ascii(0, 'V'));
    const ScanResult result = s.Scan(ScanMode::Full, [&s] { return s.tried.size() >= 10; });
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.found);
    EXPECT_EQ(result.tries, 10U);
    EXPECT_EQ(s.tried.size(), 10U);
    ExpectLinkAsAtStart(s.rig);

    // The port closed before the scan stays closed after it.
    s.rig.port.Close();
    const ScanResult closed = s.Scan(ScanMode::Quick, [&s] { return s.tried.size() >= 3; });
    EXPECT_TRUE(closed.cancelled);
    EXPECT_FALSE(s.rig.port.IsOpen());

    s.rig.port.failOpen = "no such device";
    s.tried.clear();
    const ScanResult failed = s.Scan(ScanMode::Full);
    EXPECT_EQ(failed.tries, 0U);
    EXPECT_FALSE(failed.found);
    EXPECT_NE(failed.problem.find("no such device"), std::string::npos) << failed.problem;
}

} // namespace
} // namespace wm::test
