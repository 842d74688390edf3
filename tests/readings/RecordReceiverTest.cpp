#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/MemorySerialPort.h"
#include "platform/VirtualTime.h"
#include "readings/RecordReceiver.h"

namespace wm {
namespace {

using Outcome = ReceivedRecord::Outcome;

struct Rig {
    VirtualTime time;
    MemorySerialPort port{time};
    RecordReceiver receiver{port, time, time};
    Rig() {
        std::string error;
        port.Open(error);
    }
};

TEST(RecordReceiver, handsOverEachShownRecordWhenItArrivesAndWaitsInBetween) {
    Rig rig;
    // A record every 100 ms; the list drops two, the plot one.
    for (int i = 0; i < 6; ++i) rig.port.SendFromPeer("+0000" + std::to_string(i) + "\r", 100'000u * (i + 1));
    RecordFramer list(RecordCharacters{});
    RecordFramer values(RecordCharacters{}, RecordFramer::DefaultMaxBuffered, FramerUse::Values);
    const auto never = [] { return false; };
    ReceivedRecord got = rig.receiver.Next(list, never);
    EXPECT_EQ(got.outcome, Outcome::Record);
    EXPECT_EQ(got.record, "+00002\r");
    // The port delivers at 9600 baud: the record's seven characters take 7.3 ms.
    EXPECT_NEAR(static_cast<double>(rig.time.NowUs()), 307'300.0, 100.0) << "shown when its end character arrived";
    EXPECT_EQ(list.SampleLine(), "+00001p");
    // The values framer drops only the first record it sees whole.
    got = rig.receiver.Next(values, never);
    EXPECT_EQ(got.record, "+00004\r") << "+00003 synchronised it";
    EXPECT_LE(rig.time.Waits(), 5u * 7u) << "one wait per arrival (a character here), no polling";
}

// Between arrivals the port may hold characters back until the record under
// way can be whole; leaving without a record ends that, so nothing that comes
// later (the reply to the next command) is held back.
TEST(RecordReceiver, asksThePortToWakeItOncePerRecordUntilItStops) {
    Rig rig;
    for (int i = 0; i < 4; ++i) rig.port.SendFromPeer("+0000" + std::to_string(i) + "\r", 100'000u * (i + 1));
    RecordFramer framer(RecordCharacters{});
    ASSERT_EQ(rig.receiver.Next(framer, [] { return false; }).record, "+00002\r");
    std::size_t whileWaiting = 0;
    bool stop = false;
    rig.time.AfterUs(50'000, [&] {
        whileWaiting = rig.port.WakeThreshold();
        stop = true;
    });
    EXPECT_EQ(rig.receiver.Next(framer, [&] { return stop; }).outcome, Outcome::Stopped);
    EXPECT_EQ(whileWaiting, 7u);
    EXPECT_EQ(rig.port.WakeThreshold(), 1u);
}

TEST(RecordReceiver, endsOnStopGoneAndQuiet) {
    Rig rig;
    RecordFramer framer(RecordCharacters{});
    bool stop = false;
    rig.time.AfterUs(2'500'000, [&] { stop = true; });
    EXPECT_EQ(rig.receiver.Next(framer, [&] { return stop; }).outcome, Outcome::Stopped);
    EXPECT_LE(rig.time.NowUs(), 2'500'000u + RecordReceiver::PollMs * 1000u);

    // Bytes without an end character do not count as a record: quiet at 10 s.
    const std::uint32_t since = rig.time.TickMs();
    for (int i = 1; i < 40; ++i) rig.port.SendFromPeer("+0", 500'000u * i);
    const ReceivedRecord quiet = rig.receiver.Next(framer, {}, 10'000, since);
    EXPECT_EQ(quiet.outcome, Outcome::Quiet);
    EXPECT_EQ(quiet.tickMs - since, 10'000u);

    rig.port.Hangup();
    EXPECT_EQ(rig.receiver.Next(framer, {}).outcome, Outcome::Gone);
}

} // namespace
} // namespace wm
