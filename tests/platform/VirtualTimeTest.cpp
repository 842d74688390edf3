#include <gtest/gtest.h>

#include "platform/MemorySerialPort.h"
#include "platform/VirtualTime.h"

namespace wm {
namespace {

TEST(VirtualTime, waitJumpsToTheNextEventOrTheDeadline) {
    VirtualTime t(0);
    int fired = 0;
    t.AfterUs(1500, [&] { ++fired; });
    t.WaitFor(10);
    EXPECT_EQ(t.NowUs(), 1500u);
    EXPECT_EQ(fired, 1);
    t.WaitFor(10);
    EXPECT_EQ(t.NowUs(), 11500u);
}

TEST(VirtualTime, tickCounterWrapsAtTwoToThe32) {
    VirtualTime t(0xFFFFFFF0u);
    t.WaitFor(0x20);
    EXPECT_EQ(t.TickMs(), 0x10u);
}

TEST(VirtualTime, secondsClockWrapsAtMidnight) {
    VirtualTime t(0, 86'399.5);
    t.WaitFor(1000);
    EXPECT_NEAR(t.SecondsSinceMidnight(), 0.5, 1e-9);
}

TEST(MemorySerialPort, bytesCrossTheLineAtTheCharacterRate) {
    VirtualTime t(0);
    MemorySerialPort port(t);
    ASSERT_TRUE(port.SetSettings("9600,n,8,1"));
    std::string error;
    ASSERT_TRUE(port.Open(error));
    std::string atPeer;
    port.peerReceive = [&](char b) { atPeer.push_back(b); };
    port.Output("abc");
    EXPECT_EQ(port.OutBufferCount(), 3);
    t.AdvanceUs(port.CharTimeUs() * 2);
    EXPECT_EQ(atPeer, "ab");
    port.SendFromPeer("xy", 1000);
    t.AdvanceUs(1000 + port.CharTimeUs() * 2);
    EXPECT_EQ(port.Input(), "xy");
    EXPECT_EQ(port.InBufferCount(), 0);
}

TEST(MemorySerialPort, settingsTextIsParsedAndBadTextRefused) {
    EXPECT_EQ(ParseLineSettings("9600,n,7,2").BitsPerChar(), 10);
    EXPECT_EQ(ParseLineSettings("9600,n,8,2").BitsPerChar(), 11);
    EXPECT_EQ(ParseLineSettings("19200,e,8,1").BitsPerChar(), 11);
    for (const char* bad : {"", "9600", "9600,x,8,1", "abc,n,8,1", "9600,n,9,1", "9600,n,8,3", "9600,n,8,1,1"})
        EXPECT_FALSE(ParseLineSettings(bad).ok) << bad;
}

TEST(MemorySerialPort, portNumberNamesTheOnBoardDevice) {
    EXPECT_EQ(DeviceForPortNumber(1), "/dev/ttyS0");
    EXPECT_EQ(DeviceForPortNumber(12), "/dev/ttyS11");
}

} // namespace
} // namespace wm
