// Where the program's setup came from, and the box a Put shows first: the
// rules run on a program talking to the simulated meter.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/SimProgram.h"
#include "app/Baseline.h"
#include "app/SetupFileCommands.h"
#include "setup/Defaults.h"
#include "setup/Fields.h"

namespace wm::test {
namespace {

// The default setup's meter answers at address 1 and slave 1.
std::string MeterLine1(int protocol) { return Line1(protocol, "007", '5', '1', "001"); }

// The meter's own setup says `protocol`, so that a Put of what a Get read
// leaves the link as it is.
void SpeakOnMeter(sim::Meter& meter, int protocol) {
    SetupImage im;
    im.text = meter.Image();
    im.SetBits(3, 2, 133, protocol);
    im.SetBits(1, 0, 133, 0);
    ASSERT_TRUE(meter.SetImage(im.text));
}

std::vector<std::string> Names(const std::vector<PutPreview::Change>& changes) {
    std::vector<std::string> out;
    for (const auto& c : changes)
        out.push_back(c.name);
    return out;
}

std::vector<std::string> Names(const std::vector<FieldChange>& changes) {
    std::vector<std::string> out;
    for (const auto& c : changes)
        out.push_back(c.name);
    return out;
}

// Writes the meter heard since the log was last cleared.
int Writes(const sim::Meter& meter) {
    int n = 0;
    for (const sim::LogEntry& e : meter.Log())
        if (e.key.starts_with("W") || e.key.starts_with("10")) ++n;
    return n;
}

// A different count-by step: a change every setup can take.
void EditCntBy(Program& program) {
    constexpr const FieldDef& cntBy = FieldNamed("CntBy");
    StoreFieldCode(program.setup, cntBy, (FieldCode(program.setup, cntBy) + 1) % 10);
}

TEST(Baseline, followsDefaultOpenAndGetAndIsKeptWhenTheyFail) {
    SimProgram rig(MeterLine1(0));
    Baseline& b = rig.program.baseline;
    EXPECT_EQ(b.source, SetupSource::None);

    DefaultSetup(rig.program);
    EXPECT_EQ(b.source, SetupSource::Default);
    EXPECT_EQ(b.image.text, std::string(DefaultSetupText));

    // An opened file is the baseline as the program holds it, the revision
    // it stores in place of 00 included.
    SetupImage fileImage;
    fileImage.text = std::string(DefaultSetupText);
    fileImage.Put(121, "00");
    EditCntBy(rig.program);
    const auto good = rig.folder.path() / "A.WT";
    WriteWhole(good, fileImage.text + "\r\n0\r\n");
    ASSERT_TRUE(LoadSetupFile(rig.program, good));
    EXPECT_EQ(b.source, SetupSource::File);
    EXPECT_EQ(b.file, good.string());
    EXPECT_EQ(b.image.text, rig.program.setup.text);
    EXPECT_EQ(b.image.Mid(121, 2), "01");

    const auto bad = rig.folder.path() / "B.WT";
    WriteWhole(bad, "not a setup\r\n");
    ASSERT_FALSE(LoadSetupFile(rig.program, bad));
    EXPECT_EQ(b.source, SetupSource::File);
    EXPECT_EQ(b.file, good.string());

    ASSERT_TRUE(GetFromMeter(rig.program).ok());
    EXPECT_EQ(b.source, SetupSource::Get);
    EXPECT_TRUE(b.file.empty());
    EXPECT_EQ(b.image.text.substr(0, 136), rig.meter.Image());
    const std::string afterGet = b.image.text;

    rig.meter.AddFault(sim::Fault::Silent("X26DZ"));
    EXPECT_FALSE(GetFromMeter(rig.program).ok());
    EXPECT_EQ(b.source, SetupSource::Get);
    EXPECT_EQ(b.image.text, afterGet);
}

TEST(Baseline, aPutThatSucceedsIsTheNewBaselineAndOneThatFailsKeepsTheOld) {
    struct Row {
        const char* name;
        int protocol;
        const char* silentAt; // "" for a Put that succeeds
    };
    for (const Row& r : {Row{"custom ascii", 0, ""}, Row{"modbus rtu", 1, ""},
                         Row{"modbus rtu, no reply to the first block", 1, "100001"},
                         Row{"modbus rtu, no reply to the last block", 1, "100041"}}) {
        SimProgram rig(MeterLine1(r.protocol));
        SpeakOnMeter(rig.meter, r.protocol);
        ASSERT_TRUE(GetFromMeter(rig.program).ok()) << r.name;
        const SetupImage meterHeld = rig.program.baseline.image;
        EditCntBy(rig.program);
        if (*r.silentAt != '\0') rig.meter.AddFault(sim::Fault::Silent(r.silentAt));

        const PutOutcome out = PutToMeter(rig.program);
        const bool failed = *r.silentAt != '\0';
        EXPECT_EQ(out.put.ok(), !failed) << r.name;
        const Baseline& b = rig.program.baseline;
        if (failed) {
            // The meter may hold part of it: the next Put lists the change again.
            EXPECT_EQ(b.source, SetupSource::Get) << r.name;
            EXPECT_EQ(b.image.text, meterHeld.text) << r.name;
            EXPECT_EQ(Names(ChangesOnMeter(rig.program)), std::vector<std::string>{"CntBy"}) << r.name;
        } else {
            EXPECT_EQ(b.source, SetupSource::Put) << r.name;
            EXPECT_EQ(b.image.text, rig.program.setup.text) << r.name;
            EXPECT_TRUE(ChangesOnMeter(rig.program).empty()) << r.name;
            EXPECT_TRUE(PutPreviewDue(rig.program)) << r.name;
        }
    }
}

TEST(PutPreview, isShownOnlyWhileTheMeterSetupIsKnown) {
    SimProgram rig(MeterLine1(0));
    // A file or the default setup says nothing of what the meter holds.
    DefaultSetup(rig.program);
    ASSERT_TRUE(PutToMeter(rig.program).put.ok());
    EXPECT_TRUE(rig.op.previews.empty());

    ASSERT_TRUE(GetFromMeter(rig.program).ok());
    EditCntBy(rig.program);
    ASSERT_TRUE(PutToMeter(rig.program).put.ok());
    // The meter now holds it: the next box has nothing to list, and the Put
    // still goes out.
    rig.meter.ClearLog();
    ASSERT_TRUE(PutToMeter(rig.program).put.ok());
    ASSERT_EQ(rig.op.previews.size(), 2U);
    EXPECT_EQ(Names(rig.op.previews[0].changes), std::vector<std::string>{"CntBy"});
    EXPECT_TRUE(rig.op.previews[1].changes.empty());
    EXPECT_GT(Writes(rig.meter), 0);
}

// A Get that finds a corrupt board type goes on with a DC board in memory:
// the meter still holds the corrupt code, so a Put changes it there.
TEST(PutPreview, aBoardTypeDefaultedAfterAGetIsAChangeOnTheMeter) {
    SimProgram rig(MeterLine1(0));
    ASSERT_TRUE(rig.meter.SetScType("02"));
    rig.op.answerFor[MessageId::CorruptType] = Answer::No;
    ASSERT_TRUE(GetFromMeter(rig.program).ok());
    EXPECT_EQ(rig.program.setup.Mid(35, 2), "01");
    EXPECT_EQ(rig.program.baseline.image.Mid(35, 2), "02");
    const auto changes = Names(ChangesOnMeter(rig.program));
    EXPECT_NE(std::find(changes.begin(), changes.end(), "ScTypeCode"), changes.end());
}

// Forcing the board's type writes it on the meter but not in memory: a Put
// of the setup in memory would set it back, and says so.
TEST(PutPreview, listsTheBoardTypeAndRangeAForcedTypeWouldLose) {
    for (const int protocol : {0, 1}) {
        SimProgram rig(MeterLine1(protocol));
        SpeakOnMeter(rig.meter, protocol);
        ASSERT_TRUE(GetFromMeter(rig.program).ok()) << protocol;
        ASSERT_TRUE(RestoreSCTypeOnMeter(rig.program, SCBoard::LoadCell).succeeded) << protocol;
        rig.vt.AdvanceUs(100'000); // a Custom ASCII write gets no reply: let it arrive
        EXPECT_EQ(rig.meter.ScType(), "03") << protocol;
        EXPECT_EQ(rig.program.baseline.image.Mid(35, 2), rig.meter.ScType()) << protocol;
        EXPECT_EQ(rig.program.baseline.image.Mid(55, 2), rig.meter.RangeByte()) << protocol;
        EXPECT_EQ(Names(ChangesOnMeter(rig.program)), (std::vector<std::string>{"ScTypeCode", "InCode"}))
            << protocol;

        // A restore the meter did not take leaves the baseline alone.
        const std::string before = rig.program.baseline.image.text;
        rig.meter.AddFault(protocol == 0 ? sim::Fault::Silent("X110") : sim::Fault::Silent("100045"));
        EXPECT_FALSE(RestoreSCTypeOnMeter(rig.program, SCBoard::DC).succeeded) << protocol;
        EXPECT_EQ(rig.program.baseline.image.text, before) << protocol;
    }
}

} // namespace
} // namespace wm::test
