#include <gtest/gtest.h>

#include <map>

#include "support/TransferRig.h"
#include "comm/Tables.h"
#include "transfer/GetSetup.h"

namespace wm::test {
namespace {

// A main block whose every byte differs from its neighbours: character
// pairs "00", "01", ... "3B" (positions 1-120).
std::string MainBlock() {
    std::string s;
    for (int i = 0; i < 60; ++i)
        s += ByteToHex(i);
    s.replace(34, 2, "01"); // DC board
    s.replace(54, 2, "60"); // DC V, range 0
    s.replace(44, 4, "0150");
    return s;
}
const std::string kBlock121 = "07020D2A"; // revision 7, family 2
const std::string kBlock129 = "00030001";

// Custom ASCII replies by command (address "0"); a command missing from the
// map gets no reply.
std::map<std::string, std::string> AsciiMeter() {
    return {{"*0XU1DZ", MainBlock()}, {"*0G130", "E4"}, {"*0X26DZ", kBlock121}, {"*0X236Z", kBlock129}};
}

void Serve(TransferRig& rig, std::map<std::string, std::string> replies) {
    rig.peer.respond = [replies](const std::string& request) -> std::optional<std::string> {
        const auto it = replies.find(request);
        if (it == replies.end()) return std::nullopt;
        return it->second;
    };
}

TEST(GetAscii, serialGetSendsTheFiveRequestsAndBuildsTheImage) {
    TransferRig rig(Line1(0, "007"));
    Serve(rig, AsciiMeter());
    const GetResult r = GetSetup(rig.program);

    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.enableMenus);
    EXPECT_FALSE(r.endProgram);
    EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{"*************0A1", "*0XU1DZ", "*0G130",
                                                             "*0X26DZ", "*0X236Z", "*0W1122150"}));
    std::string expected = MainBlock();
    expected.replace(48, 2, "E4");
    EXPECT_EQ(rig.program.setup.text, expected + kBlock121 + kBlock129);
    EXPECT_EQ(rig.program.link.MeterRevision, 7);
    EXPECT_EQ(rig.program.link.MeterFamily, 2);
    EXPECT_EQ(rig.program.SetupReceived, 1);
    EXPECT_EQ(rig.program.SetupFileLine2, "0");
    EXPECT_EQ(rig.op.captions, (std::vector<std::string>{kGettingCaption, kGetOkCaption}));
    EXPECT_EQ(rig.op.statusColour, ColourGreen);
    EXPECT_EQ(rig.op.progress, (std::vector<int>{0, 9, 25, 42, 65, 80, 100}));
    EXPECT_FALSE(rig.op.progressVisible);
    EXPECT_FALSE(rig.op.busy);
    EXPECT_EQ(rig.program.derived.ScType, 1);
}

TEST(GetAscii, revisionsBelowSevenPauseASecondBeforeG130AndBeforeX236Z) {
    auto startOf = [](TransferRig& rig, const std::string& code) {
        for (const auto& t : rig.Sent())
            if (t.bytes.find(code) != std::string::npos) return static_cast<double>(t.startUs) / 1000.0;
        return -1.0;
    };
    TransferRig slow(Line1(0, "006")), fast(Line1(0, "007"));
    for (TransferRig* rig : {&slow, &fast}) {
        Serve(*rig, AsciiMeter());
        ASSERT_EQ(GetSetup(rig->program).status, 0);
    }
    EXPECT_DOUBLE_EQ(startOf(slow, "XU1DZ") - startOf(fast, "XU1DZ"), 0.0);
    EXPECT_DOUBLE_EQ(startOf(slow, "G130") - startOf(fast, "G130"), 1000.0);
    EXPECT_DOUBLE_EQ(startOf(slow, "X26DZ") - startOf(fast, "X26DZ"), 1000.0);
    EXPECT_DOUBLE_EQ(startOf(slow, "X236Z") - startOf(fast, "X236Z"), 2000.0);
}

TEST(GetAscii, aFailedGetShowsItsStatusInRedAndKeepsWhatWasWritten) {
    struct Row {
        const char* command;
        std::optional<std::string> reply; // nullopt: silent
        int status;
        std::size_t imageLength;
    };
    const Row rows[] = {
        {"*0XU1DZ", std::nullopt, 21, 176},
        {"*0XU1DZ", MainBlock().substr(0, 119) + "G", 1, 176}, // not a hex digit
        {"*0X26DZ", std::string("07020D2A00"), 2, 120},
        {"*0X236Z", std::string("00030G01"), 3, 128},
    };
    for (const Row& row : rows) {
        TransferRig rig(Line1(0));
        auto replies = AsciiMeter();
        if (row.reply) {
            replies[row.command] = *row.reply;
        } else {
            replies.erase(row.command);
        }
        Serve(rig, replies);
        const GetResult r = GetSetup(rig.program);
        const std::string label = std::string(row.command) + " " + row.reply.value_or("silent");
        EXPECT_EQ(r.status, row.status) << label;
        EXPECT_FALSE(r.enableMenus) << label;
        EXPECT_EQ(rig.program.SetupReceived, 0) << label;
        EXPECT_EQ(rig.program.setup.text.size(), row.imageLength) << label;
        EXPECT_EQ(rig.op.status, GetFailureCaption(row.status)) << label;
        EXPECT_EQ(rig.op.statusColour, ColourRed) << label;
        EXPECT_TRUE(rig.op.progressVisible) << label;
        EXPECT_FALSE(rig.op.busy) << label;
    }
}

TEST(GetAscii, failureCaptionShowsTheStatusWithALeadingBlank) {
    EXPECT_EQ(GetFailureCaption(21), "Failed to Get data, check connections, then try again.         ( 21)");
    EXPECT_EQ(GetFailureCaption(2), "Failed to Get data, check connections, then try again.         ( 2)");
}

TEST(GetAscii, familyFiveForcesBit6OfByte123OnlyBelowRevision47) {
    for (const auto& [revision, expected] : {std::pair{"046", "42"}, std::pair{"047", "02"}}) {
        TransferRig rig(Line1(0, revision, '5', '0', "001", '5'));
        Serve(rig, AsciiMeter());
        ASSERT_EQ(GetSetup(rig.program).status, 0);
        EXPECT_EQ(rig.program.setup.Mid(123, 2), expected) << revision;
    }
}

TEST(GetAscii, throughTheNodeTheMainBlockComesInTwoHalvesAndG130IsNotSent) {
    TransferRig rig(Line1(0), kNodeLine2);
    const std::string front(60, 'A'), back(60, 'B');
    std::string front2 = front;
    front2.replace(34, 2, "01");
    front2.replace(54, 2, "60");
    rig.node.respond = [&](const std::string& request) -> std::optional<std::string> {
        if (request == "*0XF0EZ") return back;
        if (request == "*0XF1DZ") return front2;
        if (request == "*0X26DZ") return kBlock121;
        if (request == "*0X236Z") return kBlock129;
        return std::nullopt;
    };
    const GetResult r = GetSetup(rig.program);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(rig.node.heard,
              (std::vector<std::string>{"*0XF0EZ", "*0XF1DZ", "*0X26DZ", "*0X236Z", "*0W112AAAA"}));
    EXPECT_EQ(rig.program.setup.text, front2 + back + kBlock121 + kBlock129);
    EXPECT_EQ(rig.op.progress, (std::vector<int>{0, 9, 50, 55, 65, 80, 100}));
}

TEST(GetAscii, throughTheNodeAShortSecondHalfGivesStatus2) {
    TransferRig rig(Line1(0), kNodeLine2);
    rig.node.respond = [](const std::string& request) -> std::optional<std::string> {
        if (request == "*0XF0EZ") return std::string(60, 'B');
        if (request == "*0XF1DZ") return std::string(58, 'A');
        return std::nullopt;
    };
    EXPECT_EQ(GetSetup(rig.program).status, 2);
    EXPECT_EQ(rig.program.setup.text, std::string(60, 'B'));
}

TEST(GetAscii, aGetStartedWhileAnExchangeWaitsIsRefusedWithABeep) {
    TransferRig rig(Line1(0));
    Serve(rig, AsciiMeter());
    std::optional<GetResult> inner;
    rig.vt.AfterUs(100'000, [&] { inner = GetSetup(rig.program); });
    ASSERT_EQ(GetSetup(rig.program).status, 0);
    ASSERT_TRUE(inner.has_value());
    EXPECT_TRUE(inner->refused);
    EXPECT_EQ(rig.op.beeps, 1);
    EXPECT_EQ(rig.peer.Requests().size(), 6U);
}

} // namespace
} // namespace wm::test
