#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "readings/RecordFramer.h"
#include "setup/Fields.h"

namespace wm {
namespace {

using Chunks = std::vector<std::string>;

std::vector<std::string> FeedAll(RecordFramer& framer, const Chunks& chunks) {
    std::vector<std::string> shown;
    for (const std::string& chunk : chunks)
        if (auto record = framer.Feed(chunk)) shown.push_back(*record);
    return shown;
}

Chunks OneByteEach(const std::string& stream) {
    Chunks chunks;
    for (const char c : stream) chunks.emplace_back(1, c);
    return chunks;
}

TEST(RecordCharacters, followTheOutputSettingsAndTheMeterRevision) {
    struct Row {
        const char* what;
        int lf, tranChars, stop, start, revision;
        char end;
        std::optional<char> mark;
    };
    const Row rows[] = {
        {"carriage return by default", 0, 0, 'E', 'S', 1, '\r', '\0'},
        {"line feed when included", 1, 0, 'E', 'S', 1, '\n', '\0'},
        {"revision 0 has no custom characters", 1, 1, 'E', 'S', 0, '\n', '\0'},
        {"stop and start characters", 1, 1, 'E', 'S', 1, 'E', 'S'},
        {"no stop character: start ends", 0, 1, 0, 'S', 2, 'S', std::nullopt},
    };
    for (const Row& r : rows) {
        SetupImage image;
        StoreFieldCode(image, FieldNamed("LF"), r.lf);
        StoreFieldCode(image, FieldNamed("TranChars"), r.tranChars);
        StoreFieldCode(image, FieldNamed("StopChar"), r.stop);
        StoreFieldCode(image, FieldNamed("StartChar"), r.start);
        const RecordCharacters chars = ChooseRecordCharacters(image, r.revision);
        EXPECT_EQ(chars.end, r.end) << r.what;
        EXPECT_EQ(chars.mark, r.mark) << r.what;
        EXPECT_EQ(chars.custom, r.tranChars == 1) << r.what;
    }
}

TEST(RecordFramer, showsRecordsFromTheThirdOnWithTheirEndCharacter) {
    const RecordCharacters cr{};
    const RecordCharacters startStop{.end = 'E', .mark = 'S', .custom = true};
    const RecordCharacters startOnly{.end = 'S', .mark = std::nullopt, .custom = true};
    const RecordCharacters customCr{.end = '\r', .mark = '\0', .custom = true};
    struct Row {
        const char* what;
        RecordCharacters chars;
        std::string stream;
        std::vector<std::string> shown;
        std::string sample;
    };
    const Row rows[] = {
        {"partial first record", cr, "34\r+001\r+002\r+003\r", {"+002\r", "+003\r"}, "+001p"},
        {"whole first record dropped too", cr, "+001\r+002\r+003\r", {"+003\r"}, "+002p"},
        {"line feed starts the next record", cr, "4\r\n+1\r\n+2\r\n+3\r\n", {"\n+2\r", "\n+3\r"}, "\n+1p"},
        {"start and stop become t and p", startStop, "4ES+001234ES+001235ES+1E", {"t+001235p", "t+1p"},
         "S+001234p"},
        {"start character ends, no t", startOnly, "12S+001S+002S+003S", {"+002p", "+003p"}, "+001p"},
        {"zero mark kept, end becomes p", customCr, std::string("a\r\0+1\r\0+2\r", 10), {std::string("\0+2p", 4)},
         std::string("\0+1p", 4)},
    };
    for (const Row& r : rows) {
        RecordFramer framer(r.chars);
        EXPECT_EQ(FeedAll(framer, OneByteEach(r.stream)), r.shown) << r.what;
        EXPECT_EQ(framer.SampleLine(), r.sample) << r.what;
        EXPECT_EQ(framer.State(), FramerState::Running) << r.what;
    }
}

TEST(RecordFramer, showsTheOldestWholeRecordAndDropsTheQueueBehindIt) {
    RecordFramer framer(RecordCharacters{});
    EXPECT_EQ(framer.Feed("x\r+1\r+2\r+3"), std::nullopt); // synchronised and measured at once
    EXPECT_EQ(framer.SampleLine(), "+1p");
    EXPECT_EQ(framer.Feed("\r+4\r+5\r+6"), "+3\r");
    EXPECT_EQ(framer.Buffered(), 2u);
    EXPECT_EQ(framer.Feed("\r"), "+6\r");
    EXPECT_EQ(framer.Buffered(), 0u);
}

// What a reader may wait for: the rest of a record as long as the last whole
// one; the partial record dropped at the start does not count.
TEST(RecordFramer, knowsHowManyCharactersTheRecordUnderWayStillNeeds) {
    RecordFramer framer(RecordCharacters{});
    EXPECT_EQ(framer.CharsToRecordEnd(), 1u) << "no whole record yet";
    EXPECT_EQ(framer.Feed("34\r+01234\r+0"), std::nullopt);
    EXPECT_EQ(framer.RecordLength(), 7u);
    EXPECT_EQ(framer.CharsToRecordEnd(), 5u);
    EXPECT_EQ(framer.Feed("1234\r+01"), "+01234\r");
    EXPECT_EQ(framer.CharsToRecordEnd(), 4u);
    EXPECT_EQ(framer.Feed("2345678"), std::nullopt);
    EXPECT_EQ(framer.CharsToRecordEnd(), 1u) << "already longer than the last";
}

TEST(RecordFramer, chunkingChangesNothingWhileEachArrivalEndsOneRecordAtMost) {
    const std::string stream = "01\r+0001\r-0002\r+0003\r+0004\r";
    const std::vector<std::string> expected = {"-0002\r", "+0003\r", "+0004\r"};
    const Chunks chunkings[] = {
        OneByteEach(stream),
        {"01\r", "+0001\r", "-0002\r", "+0003\r", "+0004\r"},
        {"0", "1\r+00", "01\r-", "", "0002\r+", "0003\r", "+0004\r"},
        {"01\r+", "0001\r-00", "02\r+000", "3\r+0", "004\r"},
    };
    for (const Chunks& chunks : chunkings) {
        RecordFramer framer(RecordCharacters{});
        EXPECT_EQ(FeedAll(framer, chunks), expected) << chunks.size() << " chunks";
    }
    RecordFramer whole(RecordCharacters{});
    EXPECT_EQ(whole.Feed(stream), std::nullopt);
}

TEST(RecordFramer, dropsEverythingWhilePausedAndThePartialRecordAfter) {
    RecordFramer framer(RecordCharacters{});
    EXPECT_EQ(FeedAll(framer, {"x\r", "+1\r", "+2\r", "+3"}), std::vector<std::string>{"+2\r"});
    framer.Pause();
    EXPECT_EQ(framer.Buffered(), 0u);
    EXPECT_EQ(framer.Feed("\r+4\r+5"), std::nullopt);
    EXPECT_EQ(framer.Buffered(), 0u);
    framer.Continue();
    EXPECT_EQ(framer.Feed("5\r"), std::nullopt); // the tail of a record
    EXPECT_EQ(framer.Feed("+6\r"), "+6\r");
}

TEST(RecordFramer, neverHoldsMoreThanItsBoundAndDropsOverlongRecords) {
    const std::string overlong = "+123456789\r";
    for (const bool byteByByte : {false, true}) {
        RecordFramer framer(RecordCharacters{}, 8);
        (void)FeedAll(framer, {"x\r", "+1\r"});
        const Chunks noisy = byteByByte ? OneByteEach(overlong) : Chunks{overlong};
        EXPECT_TRUE(FeedAll(framer, noisy).empty());
        EXPECT_LE(framer.Buffered(), 8u);
        EXPECT_EQ(framer.Feed("+234567\r"), "+234567\r") << "a record of the bound's length is shown";
        EXPECT_TRUE(FeedAll(framer, OneByteEach(std::string(100, '9'))).empty());
        EXPECT_LE(framer.Buffered(), 8u);
    }
}

TEST(GridCursor, fillsTwentyColumnsRowByRowAndWrapsAfterTheLastRow) {
    struct Row {
        int rows, puts; // puts made before the one checked
        GridCursor::Cell record, blank;
    };
    const Row rows[] = {
        {3, 0, {0, 0}, {0, 1}},  {3, 19, {0, 19}, {1, 0}}, {3, 20, {1, 0}, {1, 1}},
        {3, 59, {2, 19}, {0, 0}}, {3, 60, {0, 0}, {0, 1}}, {0, 19, {0, 19}, {0, 0}},
    };
    for (const Row& r : rows) {
        GridCursor cursor{.rows = r.rows, .next = {}};
        for (int i = 0; i < r.puts; ++i) cursor.Put();
        const GridCursor::Placed placed = cursor.Put();
        EXPECT_EQ(placed.record, r.record) << r.rows << " rows, put " << r.puts;
        EXPECT_EQ(placed.blank, r.blank) << r.rows << " rows, put " << r.puts;
    }
}

} // namespace
} // namespace wm
