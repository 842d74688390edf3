#include <gtest/gtest.h>

#include "app/CalibRecordFile.h"
#include "support/CalibCsv.h"
#include "support/ScriptedOperator.h"
#include "support/TransferRig.h"

namespace wm::test {
namespace {

CalibAttempt Attempt(int column, std::string plusBefore, std::string minusBefore, std::string wordBefore,
                     std::string wordWritten, std::string plusAfter, std::string minusAfter, bool out = false) {
    return CalibAttempt{column,          std::move(plusBefore), std::move(minusBefore), std::move(wordBefore),
                        std::move(wordWritten), std::move(plusAfter), std::move(minusAfter), out};
}

// A DC board: the zero range once, then 5 A with three attempts, where the
// third went into column 1 again (the operator had wrapped round) and
// column 1 was kept; then 200 mV with one attempt and nothing kept.
CalibRecord SampleRecord() {
    CalibRecord r;
    r.meterAddress = "0";
    r.boardType = 1;
    r.boardName = "DC";
    r.dateTime = "2026-12-07 11:50:55";

    CalibRangeRecord zero;
    zero.range = "Zero";
    zero.address = "1A";
    zero.inputApplied = "0 V DC";
    zero.desiredReading = 0;
    zero.zero = true;
    zero.originalWord = "0000";
    zero.attempts = {Attempt(1, "+12", "", "0000", "FF6C", "+1", "")};
    zero.keptColumn = 1;
    zero.keptWord = "FF6C";
    r.ranges.push_back(zero);

    CalibRangeRecord amps;
    amps.range = "5 A  DC"; // two blanks, as the list shows it
    amps.address = "28";
    amps.inputApplied = "2 A  DC";
    amps.desiredReading = 8000;
    amps.originalWord = "1F40";
    amps.attempts = {Attempt(1, "+8050", "-8030", "1F40", "1A21", "+8003", "-7999"),
                     Attempt(2, "+8003", "-7999", "1A21", "1A1F", "+8001", "-8000"),
                     Attempt(1, "+8001", "-8000", "1A1F", "1A1E", "+8000", "-8000")};
    amps.keptColumn = 1;
    amps.keptWord = "1A1E";
    r.ranges.push_back(amps);

    CalibRangeRecord mv;
    mv.range = "200 mV DC";
    mv.address = "1F";
    mv.inputApplied = "200 mV DC";
    mv.desiredReading = 80000;
    mv.originalWord = "F000";
    // A reply with a stray control character and a Latin-1 byte; a quote.
    mv.attempts = {Attempt(1, "+80\"500", std::string("-8030\x01", 6), "F000", "FFFF",
                           std::string("+80\xB5", 4), "-79999", true)};
    r.ranges.push_back(mv);
    return r;
}

TEST(CalibRecordFile, everyAttemptIsOneLineWithItsRangeReadingsWordsAndWhetherItWasKept) {
    const auto lines = ReadCalibCsv(CalibRecordCsv(SampleRecord()));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], CalibRecordCsvColumns());
    using Row = std::vector<std::string>;
    const std::string when = "2026-12-07 11:50:55";
    // A zero range has no negative readings.
    EXPECT_EQ(lines[1], (Row{when, "0", "DC", "Zero", "1A", "0 V DC", "0", "1", "1", "+12", "", "+1", "", "0000",
                             "FF6C", "no", "yes"}));
    // Column 1 was used twice; only the later attempt is the kept one.
    EXPECT_EQ(lines[2], (Row{when, "0", "DC", "5 A  DC", "28", "2 A  DC", "8000", "1", "1", "+8050", "-8030",
                             "+8003", "-7999", "1F40", "1A21", "no", "no"}));
    EXPECT_EQ(lines[3][7], "2");
    EXPECT_EQ(lines[3][16], "no");
    EXPECT_EQ(lines[4], (Row{when, "0", "DC", "5 A  DC", "28", "2 A  DC", "8000", "3", "1", "+8001", "-8000",
                             "+8000", "-8000", "1A1F", "1A1E", "no", "yes"}));
    // Nothing kept; the clamped word says so; the meter's odd characters
    // cannot break the line or the field.
    EXPECT_EQ(lines[5], (Row{when, "0", "DC", "200 mV DC", "1F", "200 mV DC", "80000", "1", "1", "+80\"500",
                             "-8030?", "+80\xC2\xB5", "-79999", "F000", "FFFF", "yes", "no"}));
}

TEST(CalibRecordFile, theWordLeftInTheMeterIsTheKeptOneElseTheLastWritten) {
    const CalibRecord r = SampleRecord();
    EXPECT_EQ(WordLeftInMeter(r.ranges[1]), "1A1E");
    ASSERT_NE(KeptAttempt(r.ranges[1]), nullptr);
    EXPECT_EQ(KeptAttempt(r.ranges[1]), &r.ranges[1].attempts[2]);
    EXPECT_EQ(WordLeftInMeter(r.ranges[2]), "FFFF");
    EXPECT_EQ(KeptAttempt(r.ranges[2]), nullptr);
    EXPECT_EQ(WordLeftInMeter(CalibRangeRecord{}), "");
}

TEST(CalibRecordFile, saveAddsCsvPutsABareNameInTheStartFolderAndWritesTheWholeRecord) {
    TempFolder folder;
    ScriptedOperator op;
    const CalibRecord record = SampleRecord();

    op.files.push_back("run1");
    const auto saved = SaveCalibRecord(op, record, folder.path());
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, folder.path() / "run1.csv");
    EXPECT_EQ(ReadWhole(*saved), CalibRecordCsv(record));
    ASSERT_EQ(op.dialogs.size(), 1u);
    EXPECT_EQ(op.dialogs[0].kind, FileDialog::SaveAs);
    EXPECT_EQ(op.dialogs[0].folder, folder.path());
    EXPECT_EQ(op.dialogs[0].name, "Calib-0-20261207-1150.csv");

    // "run1" again: the dialog did not see "run1.csv", so the program asks.
    op.files.push_back("run1");
    op.answers.push_back(Answer::No);
    EXPECT_FALSE(SaveCalibRecord(op, record, folder.path()));
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text, "run1.csv already exists.\rDo you want to replace it?");

    // Named with its extension in another case: kept as typed.
    op.files.push_back((folder.path() / "Run2.CSV").string());
    EXPECT_EQ(SaveCalibRecord(op, record, folder.path()), folder.path() / "Run2.CSV");

    // Cancel writes nothing.
    const auto before = std::distance(std::filesystem::directory_iterator(folder.path()), {});
    EXPECT_FALSE(SaveCalibRecord(op, record, folder.path()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), before);
}

TEST(CalibRecordFile, aRecordThatCannotBeWrittenIsToldAndNotReportedSaved) {
    TempFolder folder;
    ScriptedOperator op;
    std::filesystem::create_directory(folder.path() / "taken.csv");
    op.files.push_back("taken.csv");
    EXPECT_FALSE(SaveCalibRecord(op, SampleRecord(), folder.path()));
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].id, MessageId::FileNotWritten);
    EXPECT_NE(op.boxes[0].text.find("was not saved"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "taken.csv"));
}

} // namespace
} // namespace wm::test
