#include <gtest/gtest.h>

#include "CommBench.h"
#include "comm/TrafficLog.h"
#include "comm/TrafficTap.h"

namespace wm::test {
namespace {

TrafficLine Frame(TrafficLine::Kind kind, std::uint64_t timeUs, bool fine, std::string bytes, std::string note = {}) {
    TrafficLine line;
    line.kind = kind;
    line.timeUs = timeUs;
    line.fine = fine;
    line.bytes = std::move(bytes);
    line.note = std::move(note);
    return line;
}

TEST(TrafficLog, eachKindIsWrittenOnOneLineAndReadBackWhole) {
    const std::pair<TrafficLine, std::string> rows[] = {
        {Frame(TrafficLine::Kind::Tx, 1052000, false, "*1B3\r\n"), "1052 tx 2A3142330D0A \"*1B3\\r\\n\""},
        {Frame(TrafficLine::Kind::Rx, 1490250, true, "+01234\r", "ascii B3 heard"),
         "1490.250 rx 2B30313233340D \"+01234\\r\" # ascii B3 heard"},
        {Frame(TrafficLine::Kind::Rx, 7000, false, ""), "7 rx - \"\""},
        {Frame(TrafficLine::Kind::Tx, 5, true, std::string("\x01\x83\"\\\t\0", 6)),
         "0.005 tx 0183225C0900 \"\\x01\\x83\\\"\\\\\\t\\x00\""},
        {EndLine(21, 1490), "1490 end 21 \"no reply from the meter within 3000 ms\""},
        {Frame(TrafficLine::Kind::Note, 12005, true, "", "node called"), "12.005 note # node called"},
    };
    for (const auto& [line, text] : rows) {
        EXPECT_EQ(FormatTrafficLine(line), text);
        const std::optional<TrafficLine> back = ParseTrafficLine(text);
        ASSERT_TRUE(back) << text;
        EXPECT_EQ(*back, line) << text;
        EXPECT_EQ(ParseTrafficLine(text + "\r\n"), back) << "a CRLF line end is taken";
    }
    const std::optional<TrafficLine> end = ParseTrafficLine("3 end -5 \"odd\" # after a fault");
    ASSERT_TRUE(end);
    EXPECT_EQ(end->status, -5);
    EXPECT_EQ(end->note, "after a fault");
}

TEST(TrafficLog, aLineThatIsNotAsWrittenIsRefused) {
    for (const char* text : {
             "",
             "tx 2A \"*\"",                     // no time
             "01 tx 2A \"*\"",                  // leading zero
             "1.5 tx 2A \"*\"",                 // a fraction of other than three digits
             "1 xx 2A \"*\"",                   // unknown kind
             "1 tx 2a \"*\"",                   // lower-case hex
             "1 tx 2A3 \"*\"",                  // odd hex
             "1 tx 2A \"+\"",                   // text and hex differ
             "1 tx 2A \"*",                     // no closing quote
             "1 tx 0D \"\\x0D\"",               // a byte with an escape of its own
             "1 tx 2A \"*\" # ",                // an empty note
             "1 tx 2A \"*\"  # x",              // two blanks
             "1 end 21",                        // no message
             "1 end 021 \"x\"",
             "1 end 40000 \"x\"",
             "1 note",                          // a note line without its note
             "1 rx 0A \"\\n\" # a\tb",          // a raw tab in the note
             "1234567890123456 tx 2A \"*\"",    // more milliseconds than fit
         }) {
        EXPECT_FALSE(ParseTrafficLine(text)) << text;
    }
}

TEST(TrafficLog, tracesOfTheLinkBecomeFramesAndNotes) {
    EXPECT_EQ(TraceLine("tx", "*1B3\r\n", 10).kind, TrafficLine::Kind::Tx);
    EXPECT_EQ(TraceLine("rx", "1\r", 10).timeUs, 10000u);
    const TrafficLine discard = TraceLine("discard", "junk", 11);
    EXPECT_EQ(discard.kind, TrafficLine::Kind::Rx);
    EXPECT_EQ(discard.bytes, "junk");
    EXPECT_NE(discard.note.find("thrown away"), std::string::npos);
    EXPECT_EQ(TraceLine("udp", "Z", 1).kind, TrafficLine::Kind::Tx);
    EXPECT_EQ(TraceLine("keepalive", "K", 1).kind, TrafficLine::Kind::Tx);
    EXPECT_EQ(TraceLine("notification", "N", 1).kind, TrafficLine::Kind::Rx);
    const TrafficLine refused = TraceLine("refused", "127.0.0.3", 12);
    EXPECT_EQ(FormatTrafficLine(refused), "12 note # refused a connection from 127.0.0.3");
}

TEST(TrafficHistory, keepsTheNewestWithinItsBoundAndSkipsWhilePaused) {
    TrafficHistory history(3);
    for (std::uint32_t t = 1; t <= 4; ++t) history.Add(TraceLine("tx", "A", t));
    ASSERT_EQ(history.Size(), 3u);
    EXPECT_EQ(history.Lines().front().timeUs, 2000u) << "the oldest went first";
    EXPECT_EQ(history.Dropped(), 1u);
    history.SetPaused(true);
    EXPECT_EQ(history.Add(EndLine(0, 5)), 0u);
    history.SetPaused(false);
    EXPECT_EQ(history.Skipped(), 1u);
    EXPECT_EQ(history.Text(), "2 tx 41 \"A\"\n3 tx 41 \"A\"\n4 tx 41 \"A\"\n");
    history.Clear();
    EXPECT_EQ(history.Size(), 0u);

    // A large bound drops its oldest hundredth at once.
    TrafficHistory large(200);
    for (std::uint32_t t = 1; t <= 200; ++t) large.Add(TraceLine("rx", "B", t));
    EXPECT_EQ(large.DropsBeforeAdd(), 2u);
    EXPECT_EQ(large.Add(TraceLine("rx", "B", 201)), 2u);
    EXPECT_EQ(large.Size(), 199u);
    EXPECT_EQ(large.Lines().front().timeUs, 3000u);
    EXPECT_EQ(history.Skipped(), 0u);
    EXPECT_EQ(history.Text(), "");
}

// The end status reaches the trace once per exchange, whatever ended it, and
// what is sent does not change.
TEST(TrafficTap, eachExchangeEndsWithOneStatusLine) {
    SerialBench b;
    TrafficTap tap;
    tap.Watch(b.txn);
    std::vector<std::string> lines;
    const int handle = tap.Subscribe([&](const TrafficLine& l) {
        lines.push_back(std::string(TrafficKindName(l.kind)) + ":" +
                        (l.kind == TrafficLine::Kind::End ? std::to_string(l.status) : l.bytes));
    });
    b.Answer("12\r");
    b.AskAscii("G130");
    EXPECT_EQ(lines, (std::vector<std::string>{"tx:*1G130\r\n", "rx:12\r", "end:0"}));

    lines.clear();
    b.Silence();
    b.AskAscii("G131");
    EXPECT_EQ(lines, (std::vector<std::string>{"tx:*1G131\r\n", "end:21"}));

    // An exchange started while another waits for its reply is refused: one
    // end line for it, between the waiting exchange's request and reply.
    lines.clear();
    b.Answer("1234\r", 100 * Ms);
    b.vt.At(b.vt.NowUs() + 350 * Ms, [&] {
        b.x.TxCommand = "*1B1";
        b.txn.SendCommand();
        b.txn.ReceiveReply();
    });
    b.AskAscii("B3");
    EXPECT_EQ(lines, (std::vector<std::string>{"tx:*1B3\r\n", "end:31", "rx:1234\r", "end:0"}));

    // The device gone before the send: the failed send ends the exchange once.
    lines.clear();
    b.port.Hangup();
    b.AskAscii("B3");
    EXPECT_EQ(lines, (std::vector<std::string>{"end:29"}));

    tap.Unsubscribe(handle);
    EXPECT_FALSE(tap.Listening());
    b.AskAscii("B3");
    EXPECT_EQ(lines.size(), 1u) << "nobody listens";
}

} // namespace
} // namespace wm::test
