#include "MeterOnLine.h"

namespace wm::sim {
namespace {

using Misbehaviour = MeterOnLine;

const std::string ReadGross = "\x01\x04\x00\x07\x00\x02\xC0\x0A"s;
const std::string GrossReply = "\x01\x04\x04\x00\x00\x04\xD2\x79\x19"s;

// When the last byte of the program's last request left.
std::uint64_t RequestEndUs(const MemorySerialPort& port) {
    for (auto t = port.Log().rbegin(); t != port.Log().rend(); ++t) {
        if (t->fromProgram) return t->startUs + t->bytes.size() * port.CharTimeUs();
    }
    return 0;
}

TEST_F(Misbehaviour, replyStartsAfterTheMetersThinkTime) {
    meter.behaviour.replyDelayMs = 15;
    ASSERT_EQ(Ask("*1B3\r\n"), "+01234\r");
    ASSERT_EQ(FromMeter().size(), 1U);
    EXPECT_EQ(FromMeter()[0].startUs, RequestEndUs(rig.port) + 15'000);
}

TEST_F(Misbehaviour, lateReplyStartsTheExtraTimeLater) {
    meter.AddFault(Fault::Late("B3", 500));
    EXPECT_EQ(Ask("*1B3\r\n", 400), "") << "nothing yet after 400 ms";
    rig.time.AdvanceUs(200'000);
    EXPECT_EQ(rig.port.Input(), "+01234\r");
    EXPECT_EQ(FromMeter()[0].startUs, RequestEndUs(rig.port) + 510'000);
}

TEST_F(Misbehaviour, silentRequestIsNeitherAnsweredNorCarriedOut) {
    meter.AddFault(Fault::Silent("C3"));
    meter.AddFault(Fault::Silent("B3"));
    EXPECT_EQ(Ask("*1B3\r\n"), "");
    (void)Ask("*1C3\r\n");
    EXPECT_EQ(meter.Resets().peak, 0);
    EXPECT_EQ(Ask("*1B2\r\n"), "+01234\r") << "other commands are answered";
    EXPECT_EQ(meter.Log()[0].note, "silent (fault)");
}

TEST_F(Misbehaviour, faultWithACountHitsOnlyThatManyRequests) {
    meter.AddFault(Fault::Silent("B3").Times(1));
    EXPECT_EQ(Ask("*1B3\r\n"), "");
    EXPECT_EQ(Ask("*1B3\r\n"), "+01234\r");
}

TEST_F(Misbehaviour, modbusFaultChosenByFunctionAndRegisterPrefix) {
    meter.AddFault(Fault::Silent("03"));
    meter.AddFault(Fault::Silent("040003"));
    EXPECT_EQ(Ask("\x01\x03\x00\x45\x00\x01\x95\xDF"s), "");
    EXPECT_EQ(Ask("\x01\x04\x00\x03\x00\x02\x81\xCB"s), "");
    EXPECT_EQ(Ask(ReadGross), GrossReply);
}

TEST_F(Misbehaviour, truncatedReplyLosesItsTail) {
    meter.AddFault(Fault::Truncate("XU1DZ", 61));
    EXPECT_EQ(Ask("*1XU1DZ\r\n"), meter.Mid(1, 61));
}

TEST_F(Misbehaviour, corruptedReplyFailsItsCheckInEveryProtocol) {
    meter.AddFault(Fault::Corrupt(""));
    EXPECT_EQ(Ask(ReadGross), "\x01\x04\x04\x00\x00\x04\xD2\x79\xE6"s);
    EXPECT_EQ(Ask(":010400070002F2\r\n"), ":010404000004D222\r\n");
    EXPECT_EQ(Ask("*1G12C\r\n"), "70\r");
}

TEST_F(Misbehaviour, exceptionFaultAnswersWithTheCodeInstead) {
    meter.AddFault(Fault::Exception("100001", 4));
    meter.AddFault(Fault::Exception("040007", 4));
    EXPECT_EQ(Ask(ReadGross), "\x01\x84\x04\x42\xC3"s);
    const std::string before = meter.Image();
    (void)Ask("\x01\x10\x00\x01\x00\x02\x04\x00\x00\x03\xE8\x32\xDD"s);
    EXPECT_EQ(meter.Image(), before) << "a refused write is not stored";
}

TEST_F(Misbehaviour, splitReplyPausesInTheMiddle) {
    meter.AddFault(Fault::Split("XU1DZ", 10, 300));
    EXPECT_EQ(Ask("*1XU1DZ\r\n", 1000), meter.Mid(1, 120) + "\r");
    const auto parts = FromMeter();
    ASSERT_EQ(parts.size(), 2U);
    EXPECT_EQ(parts[0].bytes, meter.Mid(1, 10));
    EXPECT_EQ(parts[1].startUs, parts[0].startUs + 10 * rig.port.CharTimeUs() + 300'000);
}

TEST_F(Misbehaviour, appendedBytesFollowTheReply) {
    meter.AddFault(Fault::Append("B3", "\x00\xFFjunk"s));
    EXPECT_EQ(Ask("*1B3\r\n"), "+01234\r\x00\xFFjunk"s);
}

TEST_F(Misbehaviour, echoingLineSendsTheRequestBackBeforeTheReply) {
    meter.behaviour.echo = true;
    EXPECT_EQ(Ask("*1B3\r\n"), "*1B3\r\n+01234\r");
    EXPECT_EQ(Ask(ReadGross), ReadGross + GrossReply);
}

TEST_F(Misbehaviour, requestLogKeepsTimesBytesAndReplies) {
    meter.AddFault(Fault::Silent("B4"));
    (void)Ask("*1B3\r\n");
    (void)Ask("*1B4\r\n");
    (void)Ask(ReadGross);
    const auto& log = meter.Log();
    ASSERT_EQ(log.size(), 3U);
    EXPECT_EQ(log[0].bytes, "*1B3\r\n");
    EXPECT_EQ(log[0].reply, "+01234\r");
    EXPECT_EQ(log[0].endUs - log[0].startUs, 5 * rig.port.CharTimeUs());
    EXPECT_EQ(log[1].reply, "");
    EXPECT_EQ(log[2].framing, Framing::ModbusRtu);
    EXPECT_EQ(log[2].key, "040007");
    EXPECT_LT(log[1].endUs, log[2].startUs);
}

} // namespace
} // namespace wm::sim
