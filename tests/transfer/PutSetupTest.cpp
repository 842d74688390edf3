#include <gtest/gtest.h>

#include <map>

#include "support/ModbusPeer.h"
#include "support/TransferRig.h"
#include "comm/Tables.h"
#include "setup/Defaults.h"
#include "transfer/PutSetup.h"

namespace wm::test {
namespace {

// A Custom ASCII meter for the Put check: its board identification and
// stored range; write commands are heard and not answered.
void ServeBoard(TransferRig& rig, const std::string& type, const std::string& range) {
    rig.peer.respond = [type, range](const std::string& request) -> std::optional<std::string> {
        if (request.substr(2) == "X115") return "00" + type;
        if (request.substr(2) == "G12C") return range;
        return std::nullopt;
    };
}

std::string DefaultImage() { return std::string(DefaultSetupText); }

TEST(SignedField, limitsTo99999AndExtendsTheSign) {
    struct Row {
        const char* field;
        const char* hex8;
    };
    for (const Row r : {Row{"000064", "00000064"}, Row{"FFFF9C", "FFFFFF9C"}, Row{"100000", "FFFE7961"},
                        Row{"0F0000", "0001869F"}, Row{"01869F", "0001869F"}, Row{"01869E", "0001869E"},
                        Row{"FE7961", "FFFE7961"}, Row{"FE7960", "FFFE7961"}, Row{"000000", "00000000"}})
        EXPECT_EQ(SignedFieldToHex8(r.field), r.hex8) << r.field;
}

TEST(ScaledFieldOut, isTheValueTheFieldStandsFor) {
    struct Row {
        const char* field;
        const char* hex8;
    };
    for (const Row r : {Row{"40303A", "0012D6A8"}, Row{"E00005", "FFFFFFFB"}, Row{"502710", "000186A0"},
                        Row{"000001", "000186A0"}, Row{"700001", "00000001"}, Row{"800001", "FFFE7960"},
                        Row{"F00001", "FFFFFFFF"}, Row{"600000", "00000000"},
                        // Beyond the 32-bit range: the nearest value the registers can hold.
                        Row{"1053E3", "7FFFFFFF"}, Row{"9053E3", "80000000"}, Row{"1FFFFF", "7FFFFFFF"}})
        EXPECT_EQ(ScaledFieldToHex8(r.field), r.hex8) << r.field;
}

TEST(PutAscii, serialPutChecksTheBoardThenSendsFourWrites) {
    TransferRig rig(Line1(0));
    ServeBoard(rig, "01", "60");
    rig.program.setup.text = DefaultImage();
    const PutResult r = PutSetup(rig.program);
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(r.abandoned);
    const std::string& im = rig.program.setup.text;
    EXPECT_EQ(rig.peer.Requests(),
              (std::vector<std::string>{"*0A1", "*0X115", "*0G12C", "*0WP18" + im.substr(20, 100) + "Z",
                                        "*0W31D" + im.substr(0, 12) + "Z", "*0W26D" + im.substr(120, 8) + "Z",
                                        "*0W236" + im.substr(128, 8)}));
    EXPECT_EQ(rig.op.status, kPutOkCaption);
    EXPECT_EQ(rig.op.statusColour, ColourGreen);
    EXPECT_EQ(rig.op.progress, (std::vector<int>{0, 5, 15, 23, 40, 50, 60, 75, 100}));
    EXPECT_FALSE(rig.op.progressVisible);
    EXPECT_TRUE(rig.op.boxes.empty());
}

TEST(PutAscii, throughTheNodeTheMainBlockGoesInTwoParts) {
    TransferRig rig(Line1(0), kNodeLine2);
    rig.node.respond = [](const std::string& request) -> std::optional<std::string> {
        if (request == "*0X115") return std::string("0001");
        if (request == "*0G12C") return std::string("60");
        return std::nullopt;
    };
    rig.program.setup.text = DefaultImage();
    EXPECT_EQ(PutSetup(rig.program).status, 0);
    const std::string& im = rig.program.setup.text;
    EXPECT_EQ(rig.node.heard,
              (std::vector<std::string>{"*0A1", "*0X115", "*0G12C", "*0WD18" + im.substr(20, 52) + "Z",
                                        "*0WC0B" + im.substr(72, 48) + "Z", "*0W31D" + im.substr(0, 12) + "Z",
                                        "*0W26D" + im.substr(120, 8) + "Z", "*0W236" + im.substr(128, 8)}));
}

TEST(PutAscii, aFailedCheckWritesNothingAndShowsTheStatus) {
    struct Row {
        std::optional<std::string> id, range;
        int status;
    };
    for (const Row& r : {Row{std::nullopt, "60", 21}, Row{"001", "60", 1}, Row{"000001", "60", 1},
                         Row{"0001", std::nullopt, 21}, Row{"0001", "6", 3}}) {
        TransferRig rig(Line1(0));
        rig.peer.respond = [r](const std::string& request) -> std::optional<std::string> {
            if (request == "*0X115") return r.id;
            if (request == "*0G12C") return r.range;
            return std::nullopt;
        };
        rig.program.setup.text = DefaultImage();
        const PutResult result = PutSetup(rig.program);
        EXPECT_EQ(result.status, r.status);
        EXPECT_EQ(rig.op.status, PutFailureCaption(r.status));
        EXPECT_EQ(rig.op.statusColour, ColourRed);
        for (const std::string& q : rig.peer.Requests())
            EXPECT_NE(q.substr(2, 1), "W") << q;
    }
    EXPECT_EQ(PutFailureCaption(21), "Data transfer unsuccessful. Check connections and try again.     (21)");
}

TEST(PutAscii, aMainBlockOnlyImageIsCompletedAndFamilySixClearsBit5OfByte57) {
    TransferRig rig(Line1(0));
    ServeBoard(rig, "01", "60");
    rig.program.setup.text = DefaultImage().substr(0, 120);
    rig.program.setup.Put(57, "FF");
    rig.program.link.MeterFamily = 6; // as a Get of a family-6 meter leaves it
    // The Put rereads the settings first, which name family 0: nothing cleared.
    ASSERT_EQ(PutSetup(rig.program).status, 0);
    EXPECT_EQ(rig.program.setup.text.size(), 128U);
    EXPECT_EQ(rig.program.setup.Mid(121, 8), "00000000");
    EXPECT_EQ(rig.peer.Requests().back(), "*0W236");
    EXPECT_EQ(rig.program.setup.Mid(57, 2), "FF");

    TransferRig six(Line1(0, "007", '5', '0', "001", '6'));
    ServeBoard(six, "01", "60");
    six.program.setup.text = DefaultImage();
    six.program.setup.Put(57, "FF");
    ASSERT_EQ(PutSetup(six.program).status, 0);
    EXPECT_EQ(six.program.setup.Mid(57, 2), "DF");
    EXPECT_EQ(six.peer.Requests()[3].substr(6 + 36, 2), "DF");
}

// --- the compatibility check ------------------------------------------------

const char* kUndetermined = "Meter type could not be determined, DPM PUT will be aborted.";
const char* kIncompatible =
    "Data to be PUT contains incompatible Signal Conditioner Type and Range, DPM PUT will be aborted.";

std::string Mismatch(const std::string& meter, const std::string& data) {
    return "The Meter Signal Conditioner Type is '" + meter +
           "'\rThe Signal Conditioner Type data to be PUT is '" + data +
           "'\rThese are not compatible.  You might be able to correct this discrepancy by clicking on the "
           "Main "
           "Menu item 'SigCondType'.  If you continue, all data except the Signal Conditioner Type and Range "
           "will "
           "be PUT to the Meter ( Not Recommended ).\rContinue?";
}

TEST(PutCheck, outcomesByMeterBoardAndSetupBoard) {
    struct Row {
        const char* meterType;
        const char* meterRange;
        const char* dataType;
        const char* dataRange;
        std::string box; // empty: no box
        std::optional<Answer> answer;
        bool written;
        const char* imageType; // 35-36 afterwards
        const char* imageRange;
    };
    const Row rows[] = {
        {"01", "72", "01", "60", "", std::nullopt, true, "01", "60"},
        {"01", "A1", "01", "70", "", std::nullopt, true, "01", "70"},
        {"03", "C2", "03", "D1", "", std::nullopt, true, "03", "D1"},
        {"01", "80", "01", "60", kUndetermined, std::nullopt, false, "01", "60"},
        {"01", "F0", "01", "60", kUndetermined, std::nullopt, false, "01", "60"}, // mode code F
        {"03", "60", "01", "60", kUndetermined, std::nullopt, false, "01", "60"},
        {"02", "60", "01", "60", kUndetermined, std::nullopt, false, "01", "60"},
        {"01", "60", "02", "60", kIncompatible, std::nullopt, false, "02", "60"},
        {"01", "60", "01", "C0", kIncompatible, std::nullopt, false, "01", "C0"},
        {"01", "60", "01", "F0", kIncompatible, std::nullopt, false, "01", "F0"},
        {"03", "D3", "01", "60", Mismatch("Load Cell", "DC"), Answer::No, false, "01", "60"},
        {"03", "D3", "01", "60", Mismatch("Load Cell", "DC"), Answer::Yes, true, "03", "D3"},
        {"01", "61", "03", "C0", Mismatch("DC", "Load Cell"), Answer::Yes, true, "01", "61"},
    };
    for (const Row& r : rows) {
        const std::string label = std::string(r.meterType) + r.meterRange + "/" + r.dataType + r.dataRange;
        TransferRig rig(Line1(0));
        ServeBoard(rig, r.meterType, r.meterRange);
        rig.program.setup.text = DefaultImage();
        rig.program.setup.Put(35, r.dataType);
        rig.program.setup.Put(55, r.dataRange);
        if (r.answer) rig.op.answers.push_back(*r.answer);
        const PutResult result = PutSetup(rig.program);

        EXPECT_EQ(result.abandoned, !r.written) << label;
        EXPECT_EQ(result.status, 0) << label;
        if (r.box.empty()) {
            EXPECT_TRUE(rig.op.boxes.empty()) << label;
        } else {
            ASSERT_EQ(rig.op.boxes.size(), 1U) << label;
            const MessageBox& box = rig.op.boxes[0];
            EXPECT_EQ(box.text, r.box) << label;
            if (r.answer) {
                EXPECT_EQ(box.title, "Error") << label;
                EXPECT_EQ(box.buttons, Buttons::YesNo) << label;
                EXPECT_EQ(box.defaultAnswer, Answer::No) << label;
            } else {
                EXPECT_EQ(box.buttons, Buttons::Ok) << label;
                EXPECT_EQ(box.title, "") << label;
            }
        }
        bool wrote = false;
        for (const std::string& q : rig.peer.Requests())
            wrote = wrote || q.substr(2, 1) == "W";
        EXPECT_EQ(wrote, r.written) << label;
        EXPECT_EQ(rig.op.statusVisible, r.written) << label;
        EXPECT_EQ(rig.program.setup.Mid(35, 2), r.imageType) << label;
        EXPECT_EQ(rig.program.setup.Mid(55, 2), r.imageRange) << label;
    }
}

TEST(PutCheck, matchingBoardsPauseOneModbusGapBeforeWriting) {
    TransferRig rig(Line1(0));
    ServeBoard(rig, "01", "72");
    rig.program.setup.text = DefaultImage();
    ASSERT_EQ(PutSetup(rig.program).status, 0);
    const auto& heard = rig.peer.heard;
    ASSERT_GE(heard.size(), 4U);
    // G12C's reply, the 2000 ms gap, the 300 ms pause, then "*0WP18..." on the line.
    const auto sent = rig.Sent();
    const double g12c = static_cast<double>(sent[2].startUs) / 1000.0;
    const double wp18 = static_cast<double>(sent[3].startUs) / 1000.0;
    EXPECT_GT(wp18 - g12c, 2300.0);
    EXPECT_LT(wp18 - g12c, 2700.0);
}

// --- Modbus -----------------------------------------------------------------

ModbusPeer DcMeter() {
    ModbusPeer m;
    m.regs[0x68] = 0x0001;
    m.regs[0x45] = 0x0060;
    return m;
}

void ServeModbus(TransferRig& rig, ModbusPeer& m) {
    rig.peer.respond = [&m](const std::string& request) { return m.Answer(request); };
    rig.node.respond = [&m](const std::string& request) { return m.Answer(request); };
}

// Modbus ASCII and TCP flag no exception below the Put: an exception reply
// to a write must still fail it, and nothing after it may be sent.
TEST(PutModbus, anExceptionReplyToAnyWriteFailsItWithItsCode) {
    struct Row {
        int start;
        int code;
        std::size_t requests;
    };
    for (const Row r : {Row{0x01, 11, 3}, Row{0x11, 12, 4}, Row{0x21, 12, 5}, Row{0x4D, 13, 6},
                        Row{0x5D, 14, 7}, Row{0x41, 15, 8}}) {
        TransferRig rig(Line1(2));
        ModbusPeer m = DcMeter();
        m.override10[r.start] = "019002";
        ServeModbus(rig, m);
        rig.program.setup.text = DefaultImage();
        const PutResult result = PutSetup(rig.program);
        EXPECT_EQ(result.status, r.code) << r.start;
        EXPECT_EQ(rig.peer.Requests().size(), r.requests) << r.start;
        EXPECT_EQ(rig.op.status, PutFailureCaption(r.code));
        EXPECT_FALSE(rig.op.progressVisible);
    }
}

TEST(PutModbus, slaveAddressZeroBecomesOneAndTheLastWriteGoesToTheNewAddress) {
    TransferRig rig(Line1(1, "007", '5', '0', "001"));
    ModbusPeer m = DcMeter();
    ServeModbus(rig, m);
    rig.program.setup.text = DefaultImage();
    rig.program.setup.Put(135, "00");
    ASSERT_EQ(PutSetup(rig.program).status, 0);
    EXPECT_EQ(rig.program.setup.Mid(135, 2), "01");
    EXPECT_EQ(rig.peer.Requests()[6].substr(0, 2), "01");

    TransferRig moved(Line1(1, "007", '5', '0', "001"));
    ModbusPeer m2 = DcMeter();
    ServeModbus(moved, m2);
    moved.program.setup.text = DefaultImage();
    moved.program.setup.Put(135, "2A");
    ASSERT_EQ(PutSetup(moved.program).status, 0);
    const auto q = moved.peer.Requests();
    EXPECT_EQ(q[6].substr(0, 2), "01"); // request 5 still to the old address
    EXPECT_EQ(q[7].substr(0, 2), "2A"); // request 6 to the address just written
    EXPECT_EQ(moved.SettingsLine1OnDisk().substr(8, 3), "042");
    EXPECT_EQ(moved.program.link.ModbusAddressHex, "2A");
}

TEST(PutModbus, aCheckThatCannotReadTheBoardDoesNotStopTheWrite) {
    // Time-outs and short replies in the Modbus check are overwritten by the
    // Put that follows: the six blocks go out all the same.
    for (const int start : {0x68, 0x45}) {
        TransferRig rig(Line1(1));
        ModbusPeer m = DcMeter();
        m.silent[start] = true;
        ServeModbus(rig, m);
        rig.program.setup.text = DefaultImage();
        const PutResult r = PutSetup(rig.program);
        EXPECT_EQ(r.status, 0) << start;
        int writes = 0;
        for (const std::string& q : rig.peer.Requests()) writes += q.substr(2, 2) == "10" ? 1 : 0;
        EXPECT_EQ(writes, 6) << start;
        EXPECT_EQ(rig.op.status, kPutOkCaption);
    }
}

// --- Settings.SSS after a Put -------------------------------------------------

TEST(PutSettings, lineOneIsRewrittenOnlyWhenTheSerialSettingsChange) {
    TransferRig same(Line1(0, "007", '5', '1'));
    ServeBoard(same, "01", "60");
    same.program.setup.text = DefaultImage(); // 9600 baud, Custom ASCII, address 1, Modbus 1
    const auto before = std::filesystem::last_write_time(same.SettingsFile());
    const std::string text = ReadWhole(same.SettingsFile());
    const int opens = same.port.Opens();
    ASSERT_EQ(PutSetup(same.program).status, 0);
    EXPECT_EQ(ReadWhole(same.SettingsFile()), text);
    EXPECT_EQ(std::filesystem::last_write_time(same.SettingsFile()), before);
    EXPECT_EQ(same.port.Opens(), opens + 1); // only the reopen that starts every Put

    TransferRig changed(Line1(0, "007"));
    ServeBoard(changed, "01", "60");
    changed.program.setup.text = DefaultImage();
    changed.program.setup.SetBits(6, 4, 47, 6);  // 19200 baud
    changed.program.setup.SetBits(4, 0, 45, 17); // address "H"
    changed.program.setup.SetBits(6, 6, 9, 1);   // half duplex flag
    changed.program.setup.Put(135, "F7");
    ASSERT_EQ(PutSetup(changed.program).status, 0);
    const std::string line1 = changed.SettingsLine1OnDisk();
    EXPECT_EQ(line1, "0601000H247100710");
    EXPECT_EQ(changed.program.link.SettingsLine1, line1);
    EXPECT_EQ(changed.port.Settings(), "19200,n,8,1");
    EXPECT_EQ(changed.program.link.MeterAddress, "H");
    // The rewrite leaves nothing beside the settings file.
    const auto entries = std::distance(std::filesystem::directory_iterator(changed.folder.path()),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1);
}

TEST(PutSettings, aModbusProtocolAndParityInTheImageMoveTheLinkToModbus) {
    TransferRig rig(Line1(0));
    ServeBoard(rig, "01", "60");
    rig.program.setup.text = DefaultImage();
    rig.program.setup.SetBits(3, 2, 133, 1); // Modbus RTU
    rig.program.setup.SetBits(1, 0, 133, 2); // even parity
    ASSERT_EQ(PutSetup(rig.program).status, 0);
    EXPECT_EQ(rig.SettingsLine1OnDisk().substr(4, 2), "12");
    EXPECT_EQ(rig.program.link.UseModbus, 1);
    EXPECT_EQ(rig.port.Settings(), "9600,e,8,1");
}

TEST(PutSettings, aProtocolCodeTheLinkCannotUseLeavesTheFileAsItWas) {
    TransferRig rig(Line1(0));
    ServeBoard(rig, "01", "60");
    rig.program.setup.text = DefaultImage();
    rig.program.setup.SetBits(3, 2, 133, 3); // no such protocol
    const std::string text = ReadWhole(rig.SettingsFile());
    ASSERT_EQ(PutSetup(rig.program).status, 0);
    EXPECT_EQ(ReadWhole(rig.SettingsFile()), text);
    EXPECT_EQ(rig.program.link.UseModbus, 0);
    ASSERT_FALSE(rig.op.boxes.empty());
    EXPECT_NE(rig.op.boxes.back().text.find("Settings.SSS is left as it was"), std::string::npos);
}

TEST(PutSetupCommand, aPutStartedWhileAnExchangeWaitsIsRefused) {
    TransferRig rig(Line1(0));
    ServeBoard(rig, "01", "60");
    rig.program.setup.text = DefaultImage();
    std::optional<PutResult> inner;
    rig.vt.AfterUs(100'000, [&] { inner = PutSetup(rig.program); });
    ASSERT_EQ(PutSetup(rig.program).status, 0);
    ASSERT_TRUE(inner.has_value());
    EXPECT_TRUE(inner->refused);
    EXPECT_EQ(rig.op.beeps, 1);
}

} // namespace
} // namespace wm::test
