#include <gtest/gtest.h>

#include "support/SimProgram.h"
#include "comm/Tables.h"
#include "setup/Defaults.h"
#include "transfer/GetSetup.h"
#include "transfer/PutSetup.h"

namespace wm::test {
namespace {

const char* ProtocolName(int p) { return p == 0 ? "custom-ascii" : p == 1 ? "modbus-rtu" : "modbus-ascii"; }

// The default setup with a value changed in every field that both
// protocols write and read back; the link fields say `protocol`, meter
// address 3 and Modbus slave 17.
std::string EditedSetup(int protocol) {
    SetupImage im;
    im.text = std::string(DefaultSetupText);
    const std::pair<int, const char*> edits[] = {
        {1, "000123"},   {9, "09"},       {11, "23"},      {21, "00007B"}, {27, "FFFF85"}, {33, "0A"},
        {37, "05"},      {39, "03"},      {41, "5A"},      {43, "A5"},     {45, "23"},     {47, "51"},
        {51, "34"},      {53, "12"},      {55, "61"},      {57, "07"},     {59, "15"},     {61, "000FA0"},
        {67, "FFFFFE"},  {73, "002710"},  {79, "01869F"},  {85, "FE7961"}, {91, "000001"}, {97, "FFFFF6"},
        {103, "40303A"}, {109, "0003E8"}, {115, "FFFF9C"}, {125, "0D"},    {127, "02"},    {135, "11"},
    };
    for (const auto& [pos, value] : edits)
        im.Put(pos, value);
    im.SetBits(3, 2, 133, protocol);
    im.SetBits(1, 0, 133, 0);
    return im.text;
}

// Positions a Get in the protocol fills from the meter.
bool GetReads(int protocol, int pos) {
    if (protocol == 0) return true;
    return !((pos >= 7 && pos <= 8) || (pos >= 13 && pos <= 20) || (pos >= 129 && pos <= 130));
}

void ExpectSameWhereRead(const std::string& got, const std::string& want, int protocol,
                         const std::string& label) {
    ASSERT_EQ(got.size(), 136U) << label;
    for (int pos = 1; pos <= 136; ++pos) {
        if (!GetReads(protocol, pos)) continue;
        EXPECT_EQ(got[static_cast<std::size_t>(pos - 1)], want[static_cast<std::size_t>(pos - 1)])
            << label << " position " << pos;
    }
}

TEST(SimRoundTrip, putThenGetReturnsWhatWasPutInAndAcrossProtocols) {
    for (const auto& [putIn, getIn] : {std::pair{0, 0}, std::pair{1, 1}, std::pair{2, 2}, std::pair{0, 1},
                                       std::pair{1, 2}, std::pair{2, 0}}) {
        const std::string label = std::string(ProtocolName(putIn)) + " then " + ProtocolName(getIn);
        SimProgram rig(Line1(putIn, "007", '5', '1', "001"));
        const std::string edited = EditedSetup(getIn);
        rig.program.setup.text = edited;

        const PutResult put = PutSetup(rig.program);
        ASSERT_EQ(put.status, 0) << label;
        ASSERT_FALSE(put.abandoned) << label;
        EXPECT_TRUE(rig.op.boxes.empty()) << label;
        // The settings follow the setup just written: protocol, address 3, slave 17.
        const std::string line1 = rig.SettingsLine1OnDisk();
        EXPECT_EQ(line1[4], static_cast<char>('0' + getIn)) << label;
        EXPECT_EQ(line1.substr(7, 4), "3017") << label;
        EXPECT_EQ(rig.program.link.SerialMode, getIn) << label;

        rig.program.setup.text = std::string(136, '0');
        const GetResult get = GetSetup(rig.program);
        ASSERT_EQ(get.status, 0) << label;
        ExpectSameWhereRead(rig.program.setup.text, edited, getIn, label);
        EXPECT_EQ(rig.op.status, kGetOkCaption) << label;
    }
}

TEST(SimRoundTrip, aPutAtNewSerialSettingsIsFollowedByTheLink) {
    SimProgram rig(Line1(0, "007", '5', '1', "001"));
    std::string edited = EditedSetup(0);
    SetupImage im;
    im.text = edited;
    im.SetBits(6, 4, 47, 6); // 19200 baud
    rig.program.setup.text = im.text;
    ASSERT_EQ(PutSetup(rig.program).status, 0);
    EXPECT_EQ(rig.SettingsLine1OnDisk().substr(0, 2), "06");
    EXPECT_EQ(rig.port.Settings(), "19200,n,8,1");
    EXPECT_EQ(rig.program.link.CharTimeMs, 1);
    // The meter now answers at address 3: the next Get uses it.
    ASSERT_EQ(GetSetup(rig.program).status, 0);
    EXPECT_EQ(rig.meter.Log().back().bytes.substr(0, 2), "*3");
}

TEST(SimFaults, aGetFailingAtEachStepGivesThatStepsStatus) {
    struct Row {
        int protocol;
        sim::Fault fault;
        int status;
        std::size_t imageLength;
        bool firstBlockLanded;
    };
    const Row rows[] = {
        {0, sim::Fault::Silent("G130"), 21, 120, true},
        {0, sim::Fault::Silent("X26DZ"), 21, 120, true},
        {0, sim::Fault::Truncate("X26DZ", 6), 2, 120, true},
        {0, sim::Fault::Silent("X236Z"), 21, 128, true},
        {0, sim::Fault::Truncate("X236Z", 4), 3, 128, true},
        {1, sim::Fault::Silent("030001"), 21, 176, false},
        {1, sim::Fault::Corrupt("030011"), 24, 176, true},
        {1, sim::Fault::Exception("030041", 2), 2, 176, true},
        {2, sim::Fault::Corrupt("03004C"), 26, 176, true},
        {2, sim::Fault::Silent("03005D"), 21, 176, true},
    };
    for (const Row& r : rows) {
        const std::string label = std::string(ProtocolName(r.protocol)) + " " + r.fault.match;
        SimProgram rig(Line1(r.protocol, "007", '5', '1', "001"));
        rig.meter.AddFault(r.fault);
        const GetResult get = GetSetup(rig.program);
        EXPECT_EQ(get.status, r.status) << label;
        EXPECT_EQ(rig.program.SetupReceived, 0) << label;
        EXPECT_EQ(rig.op.status, GetFailureCaption(r.status)) << label;
        EXPECT_EQ(rig.program.setup.text.size(), r.imageLength) << label;
        // The first block's setpoint 1 (characters 115-120) has or has not landed.
        const std::string setpoint = std::string(DefaultSetupText).substr(114, 6);
        EXPECT_EQ(rig.program.setup.Mid(115, 6) == setpoint, r.firstBlockLanded) << label;
    }
}

} // namespace
} // namespace wm::test
