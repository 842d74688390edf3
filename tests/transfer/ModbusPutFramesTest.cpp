#include <gtest/gtest.h>

#include "support/ModbusPeer.h"
#include "support/TransferRig.h"
#include "setup/Defaults.h"
#include "transfer/PutSetup.h"

namespace wm::test {
namespace {

// The default setup with a different value in every field a Modbus Put
// writes, so that a value sent for the wrong register cannot pass.
std::string VariedImage() {
    SetupImage im;
    im.text = std::string(DefaultSetupText);
    struct At {
        int pos;
        const char* text;
    };
    for (const At a :
         {At{1, "00ABCD"},  At{9, "4B"},      At{11, "44"},     At{21, "FFF000"},  At{27, "000111"},  At{33, "11"},
          At{37, "05"},     At{39, "03"},     At{41, "33"},     At{43, "22"},      At{51, "34"},      At{53, "12"},
          At{57, "3C"},     At{59, "A5"},     At{61, "000333"}, At{67, "000222"},  At{73, "054321"},  At{79, "001234"},
          At{85, "FFFF01"}, At{91, "000A0B"}, At{97, "0F0000"}, At{103, "40303A"}, At{109, "FEDCBA"}, At{115, "012345"},
          At{125, "03"},    At{127, "02"}})
        im.Put(a.pos, a.text);
    return im.text;
}

// The six writes exactly as the meter has always been sent them: the
// setpoint and alarm copies, the zero registers, the clamped out-of-range
// fields (054321 and 0F0000 become 99999) and the scale as one 32-bit value.
const std::vector<std::string> kWrites = {
    // 0001-000C: SetPt1, SetPt2, the two again, the scale, Offset
    "01100001000C18"
    "00012345"
    "FFFEDCBA"
    "00012345"
    "FFFEDCBA"
    "0012D6A8"
    "0001869F",
    // 0011-001A: LoIn, LoRd, HiIn, HiRd, Tare
    "01100011000A14"
    "00000A0B"
    "FFFFFF01"
    "00001234"
    "0001869F"
    "0000ABCD",
    // 0021-002C: SP1Diff, SP2Diff, the two again, AnaLo, AnaHi
    "01100021000C18"
    "00000111"
    "FFFFF000"
    "00000111"
    "FFFFF000"
    "00000222"
    "00000333",
    // 004D-0057: bytes 33, 43, 41, 0, 11, 37, four zeros, 39
    "0110004D000B16"
    "0011"
    "0022"
    "0033"
    "0000"
    "0044"
    "0005"
    "0000"
    "0000"
    "0000"
    "0000"
    "0003",
    // 005D-005F: start and stop characters, slave address
    "0110005D000306"
    "0002"
    "0003"
    "0001",
    // 0041-004C: bytes 59, 57, the two again, 55, 53, 51, 49, 47, 45, 9, 133
    "01100041000C18"
    "00A5"
    "003C"
    "00A5"
    "003C"
    "0060"
    "0012"
    "0034"
    "0065"
    "00D0"
    "0021"
    "004B"
    "0000",
};

TEST(PutModbusFrames, theSixWritesCarryEveryRegisterAsAlways) {
    for (const bool ethernet : {false, true}) {
        TransferRig rig(Line1(1), ethernet ? kNodeLine2 : kSerialLine2);
        ModbusPeer m;
        m.regs[0x68] = 0x0001;
        m.regs[0x45] = 0x0060;
        rig.peer.respond = [&m](const std::string& request) { return m.Answer(request); };
        rig.node.respond = [&m](const std::string& request) { return m.Answer(request); };
        rig.program.setup.text = VariedImage();
        ASSERT_EQ(PutSetup(rig.program).status, 0) << ethernet;
        const std::vector<std::string> heard = ethernet ? rig.node.heard : rig.peer.Requests();
        ASSERT_EQ(heard.size(), 8U) << ethernet;
        // The check reads the board type and the range byte first.
        EXPECT_EQ(std::vector<std::string>(heard.begin(), heard.begin() + 2),
                  (std::vector<std::string>{"010300680001", "010300450001"}))
            << ethernet;
        EXPECT_EQ(std::vector<std::string>(heard.begin() + 2, heard.end()), kWrites) << ethernet;
        EXPECT_EQ(rig.op.progress, (std::vector<int>{0, 5, 15, 30, 40, 50, 60, 70, 80, 100})) << ethernet;
    }
}

} // namespace
} // namespace wm::test
