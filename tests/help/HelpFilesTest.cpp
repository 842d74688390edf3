#include "help/HelpFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "help/HelpTestFolder.h"
#include "help/HelpBuild.h"

namespace wm {
namespace {

using test::HelpTestFolder;

std::string Record(std::uint32_t position, std::uint16_t length) {
    std::string r;
    for (int i = 0; i < 4; ++i) r += static_cast<char>((position >> (8 * i)) & 0xFF);
    r += static_cast<char>(length & 0xFF);
    r += static_cast<char>(length >> 8);
    return r;
}

std::string ZeroRecords(int count) {
    return std::string(static_cast<std::size_t>(count) * HelpRecordSize, '\0');
}

struct NameRow {
    int topic;
    const char* text;
    const char* index;
    int record;
};

TEST(HelpFileNames, hundredsNameTheFileAndLastTwoDigitsTheRecord) {
    const NameRow rows[] = {
        {1371, "Help13.S10", "Help13.R10", 71}, {3118, "Help31.S10", "Help31.R10", 18},
        {501, "Help 5.S10", "Help 5.R10", 1},   {2154, "Help21.S10", "Help21.R10", 54},
        {1138, "Help11.S10", "Help11.R10", 38}, {99, "Help 0.S10", "Help 0.R10", 99},
    };
    for (const NameRow& row : rows) {
        SCOPED_TRACE(row.topic);
        const HelpFilePair names = HelpFileNames(row.topic);
        EXPECT_EQ(names.Text, row.text);
        EXPECT_EQ(names.Index, row.index);
        EXPECT_EQ(HelpRecordNumber(row.topic), row.record);
    }
    EXPECT_EQ(HelpFileTag(5), " 5");
    EXPECT_EQ(HelpFileTag(13), "13");
}

TEST(HelpBuildPair, recordsHoldOneBasedPositionAndLengthLittleEndian) {
    const HelpPairData pair = BuildHelpPair({{1302, 1, false, "xy"}, {1305, 3, false, "abc"}});
    EXPECT_EQ(pair.Text, "xy\r\nabc\r\n");
    const std::string expected = ZeroRecords(1) + Record(1, 2) + ZeroRecords(2) + Record(5, 3);
    EXPECT_EQ(pair.Index, expected);

    // Position and length above one byte.
    const HelpPairData big = BuildHelpPair({{1301, 1, false, std::string(300, 'a')},
                                            {1302, 2, false, std::string(0x1234, 'b')}});
    EXPECT_EQ(big.Index.substr(6, 6), std::string("\x2F\x01\x00\x00\x34\x12", 6));
}

class HelpLoad : public ::testing::Test {
protected:
    // Help13: topics 1301, 1338 and 1371; the index ends with record 71.
    void SetUp() override {
        const HelpPairData pair = BuildHelpPair({{1301, 1, false, "Title$ body"},
                                                 {1338, 2, false, "Output Value$ Filtered or not."},
                                                 {1371, 3, false, "DC Jumpers$\r\n\r\nSet them as shown."}});
        folder.Write("Help13.S10", pair.Text);
        folder.Write("Help13.R10", pair.Index);
    }

    HelpTestFolder folder;
};

TEST_F(HelpLoad, everyTopicOfAPairReadsBack) {
    EXPECT_EQ(LoadHelpTopic(folder.Path(), 1301).Text, "Title$ body");
    EXPECT_EQ(LoadHelpTopic(folder.Path(), 1338).Text, "Output Value$ Filtered or not.");
    const HelpTopicText last = LoadHelpTopic(folder.Path(), 1371);
    EXPECT_TRUE(last.Found());
    EXPECT_EQ(last.Text, "DC Jumpers$\r\n\r\nSet them as shown.");
}

struct NoticeRow {
    int topic;
    HelpStatus status;
    const char* mentions;
};

TEST_F(HelpLoad, topicsWithoutTextGiveANoticeInstead) {
    const NoticeRow rows[] = {
        {1350, HelpStatus::EmptyRecord, "no help text"}, // unused record inside the index
        {1372, HelpStatus::BeyondIndex, "Help13.R10"},   // one past the last record
        {1399, HelpStatus::BeyondIndex, "Help13.R10"},
        {1300, HelpStatus::NoSuchTopic, "topic 1300"}, // record 00 does not exist
        {0, HelpStatus::NoSuchTopic, "topic 0"},
        {-1371, HelpStatus::NoSuchTopic, "topic -1371"},
        {10001, HelpStatus::NoSuchTopic, "topic 10001"},
        {1201, HelpStatus::FileMissing, "Help12.R10"},
    };
    for (const NoticeRow& row : rows) {
        SCOPED_TRACE(row.topic);
        const HelpTopicText result = LoadHelpTopic(folder.Path(), row.topic);
        EXPECT_EQ(result.Status, row.status);
        EXPECT_FALSE(result.Found());
        EXPECT_TRUE(result.Text.starts_with("Help not available$ ")) << result.Text;
        EXPECT_NE(result.Text.find(row.mentions), std::string::npos) << result.Text;
    }
}

TEST_F(HelpLoad, missingTextFileIsNamedInTheNotice) {
    std::filesystem::remove(folder.Path() / "Help13.S10");
    const HelpTopicText result = LoadHelpTopic(folder.Path(), 1301);
    EXPECT_EQ(result.Status, HelpStatus::FileMissing);
    EXPECT_NE(result.Text.find("Help13.S10"), std::string::npos);
}

TEST_F(HelpLoad, aFolderOrFifoInAHelpFilesPlaceIsRefusedWithoutWaiting) {
    struct Row {
        const char* name;
        bool fifo;
        const char* says;
    };
    for (const Row row : {Row{"Help13.R10", false, "Help13.R10 beside the program is a folder, not a file"},
                          Row{"Help13.S10", false, "Help13.S10 beside the program is a folder, not a file"},
                          Row{"Help13.R10", true, "Help13.R10 beside the program is not a regular file"},
                          Row{"Help13.S10", true, "Help13.S10 beside the program is not a regular file"}}) {
        SCOPED_TRACE(std::string(row.name) + (row.fifo ? " fifo" : " folder"));
        SetUp();
        const auto place = folder.Path() / row.name;
        std::filesystem::remove(place);
        if (row.fifo) {
            ASSERT_EQ(::mkfifo(place.c_str(), 0600), 0); // opening it would wait for a writer
        } else {
            std::filesystem::create_directories(place);
        }
        HelpSession session;
        const HelpTopicText result = session.Load(folder.Path(), 1301);
        EXPECT_EQ(result.Status, HelpStatus::FileMissing);
        EXPECT_NE(result.Text.find(row.says), std::string::npos) << result.Text;
        EXPECT_FALSE(session.IsOpen());
        std::filesystem::remove_all(place);
    }
}

TEST_F(HelpLoad, indexCutInsideTheLastRecordIsBeyondTheIndex) {
    const std::string index = ZeroRecords(70) + Record(1, 5).substr(0, 5);
    folder.Write("Help13.R10", index);
    EXPECT_EQ(LoadHelpTopic(folder.Path(), 1371).Status, HelpStatus::BeyondIndex);
    EXPECT_EQ(LoadHelpTopic(folder.Path(), 1370).Status, HelpStatus::EmptyRecord);
}

struct CorruptRow {
    std::uint32_t position;
    std::uint16_t length;
    HelpStatus status;
};

TEST_F(HelpLoad, recordsPointingOutsideTheTextAreRefused) {
    folder.Write("Help13.S10", "0123456789");
    const CorruptRow rows[] = {
        {1, 10, HelpStatus::Ok},          // the whole file
        {10, 1, HelpStatus::Ok},          // the last character
        {10, 2, HelpStatus::OutsideText}, // one past the end
        {11, 1, HelpStatus::OutsideText},
        {0, 5, HelpStatus::OutsideText}, // positions are 1-based
        {3, 0, HelpStatus::OutsideText}, // a position without a length
        {0xFFFFFFFF, 0xFFFF, HelpStatus::OutsideText},
    };
    for (const CorruptRow& row : rows) {
        SCOPED_TRACE(row.position);
        folder.Write("Help13.R10", Record(row.position, row.length));
        const HelpTopicText result = LoadHelpTopic(folder.Path(), 1301);
        EXPECT_EQ(result.Status, row.status);
        if (row.status == HelpStatus::Ok)
            EXPECT_EQ(result.Text, std::string("0123456789").substr(row.position - 1, row.length));
        else
            EXPECT_NE(result.Text.find("do not match"), std::string::npos);
    }
}

TEST_F(HelpLoad, sessionHoldsBothFilesUntilClosedAndReopensForTheNextTopic) {
    HelpSession session;
    EXPECT_EQ(session.Load(folder.Path(), 1301).Text, "Title$ body");
    EXPECT_TRUE(session.IsOpen());
    session.Close();
    EXPECT_FALSE(session.IsOpen());

    // A new help set between two topics is read by the next load.
    const HelpPairData pair = BuildHelpPair({{1301, 1, false, "New$ text"}});
    folder.Write("Help13.S10", pair.Text);
    folder.Write("Help13.R10", pair.Index);
    EXPECT_EQ(session.Load(folder.Path(), 1301).Text, "New$ text");

    // A failed load leaves nothing open, and the next one works again.
    EXPECT_EQ(session.Load(folder.Path(), 1338).Status, HelpStatus::BeyondIndex);
    EXPECT_FALSE(session.IsOpen());
    EXPECT_TRUE(session.Load(folder.Path(), 1301).Found());
}

struct SplitRow {
    const char* text;
    std::vector<HelpPiece> pieces;
};

TEST(SplitHelpText, pieceBeforeEachDollarTogglesBoldAndTheRestIsNormal) {
    const SplitRow rows[] = {
        {"Baud Rate$ The speed.", {{"Baud Rate", true}, {" The speed.", false}}},
        {"No title at all", {{"No title at all", false}}},
        {"A$B$C", {{"A", true}, {"B", false}, {"C", false}}},
        {"A$B$C$D", {{"A", true}, {"B", false}, {"C", true}, {"D", false}}},
        {"Title$", {{"Title", true}}},
        {"$body", {{"body", false}}},
        {"A$$B", {{"A", true}, {"B", false}}},
        {"Line one$\r\nline two", {{"Line one", true}, {"\r\nline two", false}}},
        {"", {}},
    };
    for (const SplitRow& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(SplitHelpText(row.text), row.pieces);
    }
}

TEST(JumperHelpText, everyDollarBecomesABlank) {
    EXPECT_EQ(JumperHelpText("DC Jumpers$\r\n\r\nUse $5 and $6."), "DC Jumpers \r\n\r\nUse  5 and  6.");
    EXPECT_EQ(JumperHelpText("plain"), "plain");
}

} // namespace
} // namespace wm
