#include <gtest/gtest.h>

#include "sim/FrameAssembler.h"

namespace wm::sim {
namespace {

using namespace std::string_literals;

constexpr std::uint64_t C = 1000; // one character time

void Feed(FrameAssembler& a, const std::string& bytes, std::uint64_t startUs, Framing f) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        a.Receive(bytes[i], startUs + i * C, f, C);
}

TEST(FrameAssembler, rtuFrameEndsAfterThreeAndAHalfCharactersOfSilence) {
    FrameAssembler a;
    Feed(a, "\x01\x04\x00\x07"s, 0, Framing::ModbusRtu);
    a.Expire(3 * C + 3 * C);
    EXPECT_TRUE(a.Take().empty()) << "3 characters of silence are not enough";
    ASSERT_EQ(a.DeadlineUs(), 3 * C + 3500);
    a.Expire(3 * C + 3500);
    const auto frames = a.Take();
    ASSERT_EQ(frames.size(), 1U);
    EXPECT_EQ(frames[0].bytes.size(), 4U);
    EXPECT_EQ(frames[0].startUs, 0U);
    EXPECT_EQ(frames[0].endUs, 3 * C);
    EXPECT_TRUE(a.Idle());
}

TEST(FrameAssembler, byteAfterTheSilenceStartsTheNextFrame) {
    FrameAssembler a;
    Feed(a, "ab", 0, Framing::ModbusRtu);
    Feed(a, "cd", C + 4 * C, Framing::ModbusRtu); // no Expire in between
    a.Expire(100 * C);
    const auto frames = a.Take();
    ASSERT_EQ(frames.size(), 2U);
    EXPECT_EQ(frames[0].bytes, "ab");
    EXPECT_EQ(frames[1].bytes, "cd");
}

TEST(FrameAssembler, linesEndWithLfAndStalePartsAreDropped) {
    FrameAssembler a;
    Feed(a, "*1B", 0, Framing::CustomAscii);
    EXPECT_FALSE(a.DeadlineUs()) << "lines need no timer";
    a.Expire(2 * C + FrameAssembler::LineTimeoutUs);
    EXPECT_TRUE(a.Take().empty());
    EXPECT_TRUE(a.Idle()) << "a line silent for a second is forgotten";
    Feed(a, "*1B3\r\n:01", 2'000'000, Framing::CustomAscii);
    const auto frames = a.Take();
    ASSERT_EQ(frames.size(), 1U);
    EXPECT_EQ(frames[0].bytes, "*1B3\r\n");
    EXPECT_FALSE(a.Idle());
}

} // namespace
} // namespace wm::sim
