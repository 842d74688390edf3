#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "readings/ReadingsLog.h"

namespace wm {
namespace {

TEST(RecordReading, readsTheNumberARecordHoldsAsThePlotDoes) {
    struct Row {
        const char* record;
        std::optional<double> value;
    };
    const Row rows[] = {
        {"+001234\r", 1234},
        {"-012.50\r", -12.5},
        {"\x02+00110p", 110},      // a start character below "+" is dropped
        {"t+00110p", 110},         // as is the "t" that replaced it
        {"/,+5", 5},               // "/" and "," lead nowhere
        {" 1 2 3\r", 123},         // blanks inside are ignored, the leading one kept
        {"+1\t0\n0 kg", 100},
        {"1.5e2x", 150},
        {"12e", 12},               // an exponent without digits is not read
        {"1.2.3", 1.2},            // one decimal point
        {"+-5", std::nullopt},
        {"OVERLOAD\r", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"1e999", std::nullopt},   // beyond a double: no reading rather than infinity
    };
    for (const Row& r : rows) EXPECT_EQ(RecordReading(r.record), r.value) << r.record;
    EXPECT_EQ(RecordValue("OVERLOAD"), 0.0);
}

TEST(ReadingsLog, savesMillisecondsRecordAndReadingAsCsv) {
    ReadingsLog log;
    EXPECT_EQ(log.Csv(), "ms,record,reading\n");
    log.Add(4'294'967'000u, "+00001\r");
    log.Add(704u, "+00002\r\n"); // the tick counter wrapped in between
    log.Add(1'000u, "t\"a,b\"p");
    log.Add(1'500u, "-000.5\n");
    EXPECT_EQ(log.Csv(), "ms,record,reading\n"
                         "0,+00001,1\n"
                         "1000,+00002,2\n"
                         "1296,\"t\"\"a,b\"\"p\",\n"
                         "1796,-000.5,-0.5\n");
}

TEST(ReadingsLog, keepsOnlyTheNewestRecordsWhenFull) {
    ReadingsLog log(3);
    for (std::uint32_t i = 1; i <= 5; ++i) log.Add(i * 10, std::to_string(i) + "\r");
    EXPECT_EQ(log.Size(), 3u);
    EXPECT_EQ(log.Csv(), "ms,record,reading\n0,3,3\n10,4,4\n20,5,5\n");
    log.Clear();
    EXPECT_TRUE(log.Empty());
}

} // namespace
} // namespace wm
