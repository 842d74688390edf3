#include <gtest/gtest.h>

#include "support/ModbusPeer.h"
#include "support/TransferRig.h"
#include "transfer/GetSetup.h"

namespace wm::test {
namespace {

// Register r holds (0x80 + r) in its high byte and r in its low byte, so
// every landed byte names the register it came from.
ModbusPeer NamedRegisters() {
    ModbusPeer m;
    for (std::size_t r = 0; r < m.regs.size(); ++r)
        m.regs[r] = static_cast<std::uint16_t>(((0x80 + r) & 0xFF) << 8 | r);
    m.regs[0x68] = 0x0001; // DC board: no signal-conditioner question
    m.regs[0x45] = 0x0060;
    return m;
}

void Serve(TransferRig& rig, ModbusPeer& m) {
    rig.peer.respond = [&m](const std::string& request) { return m.Answer(request); };
    rig.node.respond = [&m](const std::string& request) { return m.Answer(request); };
}

TEST(ScaledField, registerPairBecomesSignPointAndFiveDigitMagnitude) {
    struct Row {
        std::uint32_t registers;
        const char* field;
    };
    for (const Row r :
         {Row{1234567, "40303A"}, Row{100005, "502710"}, Row{static_cast<std::uint32_t>(-5), "E00005"},
          Row{0xFFFFFFFF, "E00001"}, Row{0, "600000"}, Row{99999, "61869F"}, Row{100015, "502712"},
          Row{0x7FFFFFFF, "1053E3"}, Row{0x80000000, "9053E3"}, Row{0x80000001, "9053E3"}})
        EXPECT_EQ(ScaledFieldFromRegisters(r.registers), r.field) << std::hex << r.registers;
}

TEST(ModbusGapRule, dependsOnBaudAndOnRtuAt300Baud) {
    LinkState link;
    struct Row {
        int baud, mode, ethernet, gap;
    };
    for (const Row r : {Row{7, 1, 0, 2000}, Row{2, 2, 0, 2000}, Row{1, 1, 0, 1000}, Row{0, 1, 0, 500},
                        Row{0, 2, 0, 0}, Row{0, 1, 1, 0}}) {
        link.BaudIndex = r.baud;
        link.SerialMode = r.mode;
        link.EthernetLink = r.ethernet;
        EXPECT_EQ(ModbusGap(link), r.gap) << r.baud << " " << r.mode << " " << r.ethernet;
    }
}

// Where each register lands: its low byte's image position.
struct LandingRow {
    int reg, pos;
};
const LandingRow kLandings[] = {
    {0x01, 115}, {0x03, 109}, {0x0B, 97},  {0x11, 91},  {0x13, 85},  {0x15, 79}, {0x17, 73},
    {0x19, 1},   {0x21, 27},  {0x23, 21},  {0x29, 67},  {0x2B, 61},  {0x41, 59}, {0x42, 57},
    {0x46, 53},  {0x47, 51},  {0x48, 49},  {0x49, 47},  {0x4A, 45},  {0x4B, 9},  {0x4C, 133},
    {0x4D, 33},  {0x4E, 43},  {0x4F, 41},  {0x51, 11},  {0x52, 37},  {0x57, 39}, {0x5D, 127},
    {0x5E, 125}, {0x5F, 135}, {0x64, 131}, {0x65, 123}, {0x66, 121},
};

void ExpectLanded(const SetupImage& image, const char* how) {
    for (const LandingRow& l : kLandings) {
        EXPECT_EQ(image.Mid(l.pos, 2), ByteToHex(l.reg)) << how << " register " << std::hex << l.reg;
    }
    // Pairs: the register after the low byte lands whole.
    EXPECT_EQ(image.Mid(117, 4), "8202") << how;
    EXPECT_EQ(image.Mid(3, 4), "9A1A") << how;
    EXPECT_EQ(image.Mid(55, 2), "60") << how;
    EXPECT_EQ(image.Mid(35, 2), "01") << how;
    // Registers 0009-000A: 0x89098A0A is negative, -1995863542.
    EXPECT_EQ(image.Mid(103, 6), ScaledFieldFromRegisters(0x89090000U | 0x8A0A)) << how;
    // Never written by a Modbus Get.
    EXPECT_EQ(image.Mid(7, 2), "77") << how;
    EXPECT_EQ(image.Mid(13, 8), "77777777") << how;
    EXPECT_EQ(image.Mid(129, 2), "77") << how;
}

TEST(GetModbus, everyVariantLandsEachRegisterAtItsImagePosition) {
    struct Variant {
        const char* name;
        int protocol;
        const std::string* line2;
    };
    for (const Variant v : {Variant{"rtu", 1, &kSerialLine2}, Variant{"ascii", 2, &kSerialLine2},
                            Variant{"tcp", 1, &kNodeLine2}}) {
        TransferRig rig(Line1(v.protocol), *v.line2);
        ModbusPeer m = NamedRegisters();
        Serve(rig, m);
        rig.program.setup.text = std::string(136, '7');
        const GetResult r = GetSetup(rig.program);
        ASSERT_EQ(r.status, 0) << v.name;
        EXPECT_EQ(rig.program.setup.text.size(), 136U) << v.name;
        ExpectLanded(rig.program.setup, v.name);
        EXPECT_EQ(rig.program.link.MeterRevision, 7)
            << v.name << ": a Modbus Get keeps the settings' revision";
        EXPECT_EQ(rig.op.status, kGetOkCaption) << v.name;
    }
}

TEST(GetModbus, requestsAndProgressFollowTheBlockOrder) {
    TransferRig serial(Line1(1)), node(Line1(1), kNodeLine2);
    ModbusPeer m1 = NamedRegisters(), m2 = NamedRegisters();
    Serve(serial, m1);
    Serve(node, m2);
    ASSERT_EQ(GetSetup(serial.program).status, 0);
    ASSERT_EQ(GetSetup(node.program).status, 0);
    EXPECT_EQ(serial.peer.Requests(),
              (std::vector<std::string>{"010800010000", "01030001000C", "01030011001C", "01030041000B",
                                        "0103004C000C", "0103005D000C"}));
    EXPECT_EQ(node.node.heard,
              (std::vector<std::string>{"010800010000", "01030001000C", "01030011000A", "01030021000C",
                                        "01030041000B", "0103004C000C", "0103005D000C"}));
    EXPECT_EQ(serial.op.progress, (std::vector<int>{0, 6, 20, 46, 72, 85, 100}));
    EXPECT_EQ(node.op.progress, (std::vector<int>{0, 6, 20, 46, 59, 72, 85, 100}));
}

TEST(GetModbus, eachBlockOfTheWrongLengthGivesItsStatus) {
    struct Row {
        const std::string* line2;
        int start; // -1: the echo
        int status;
    };
    for (const Row r : {Row{&kSerialLine2, -1, 1}, Row{&kSerialLine2, 0x01, 1}, Row{&kSerialLine2, 0x11, 2},
                        Row{&kNodeLine2, 0x11, 3}, Row{&kNodeLine2, 0x21, 4}, Row{&kSerialLine2, 0x41, 5},
                        Row{&kSerialLine2, 0x4C, 6}, Row{&kNodeLine2, 0x5D, 7}}) {
        TransferRig rig(Line1(1), *r.line2);
        ModbusPeer m = NamedRegisters();
        Serve(rig, m);
        if (r.start < 0) {
            rig.peer.respond = [&m](const std::string& request) -> std::optional<std::string> {
                return request.substr(2, 2) == "08" ? request + "00" : m.Answer(request);
            };
        } else {
            m.override03[r.start] = "0103020000";
        }
        rig.program.setup.text = std::string(136, '7');
        const GetResult result = GetSetup(rig.program);
        EXPECT_EQ(result.status, r.status) << r.start;
        EXPECT_EQ(rig.op.status, GetFailureCaption(r.status)) << r.start;
        EXPECT_EQ(rig.program.SetupReceived, 0);
    }
}

TEST(GetModbus, aShortEthernetBlockKeepsTheOldCharactersAndTheFirstBlock) {
    TransferRig rig(Line1(1), kNodeLine2);
    ModbusPeer m = NamedRegisters();
    m.override03[0x11] = std::string(50, '1');
    Serve(rig, m);
    rig.program.setup.text = std::string(136, '7');
    EXPECT_EQ(GetSetup(rig.program).status, 3);
    EXPECT_EQ(rig.program.setup.Mid(1, 6), "777777");
    EXPECT_EQ(rig.program.setup.Mid(73, 24), std::string(24, '7'));
    EXPECT_EQ(rig.program.setup.Mid(97, 2), "0B");
    EXPECT_EQ(rig.program.setup.Mid(115, 2), "01");
}

TEST(GetModbus, slaveAddressZeroIsStoredAsOneAndFamilyFiveSetsBit6OfByte9) {
    TransferRig rig(Line1(1, "007", '5', '0', "001", '5'));
    ModbusPeer m = NamedRegisters();
    m.regs[0x5F] = 0;
    m.regs[0x4B] = 0x0000;
    Serve(rig, m);
    ASSERT_EQ(GetSetup(rig.program).status, 0);
    EXPECT_EQ(rig.program.setup.Mid(135, 2), "01");
    EXPECT_EQ(rig.program.setup.Mid(9, 2), "40");
}

} // namespace
} // namespace wm::test
