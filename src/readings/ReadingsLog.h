#pragma once
// What the readings windows showed, kept so it can be saved as CSV, and the
// reading a record holds as a number.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wm {

// The number at the start of a text: blanks, tabs and line feeds anywhere
// are ignored and the number is read up to the first character that cannot
// continue it (an optional sign, digits, one decimal point, an exponent).
// Nullopt when no digit was read (or the number is beyond a double). The
// same on every locale: the point is the decimal point.
[[nodiscard]] std::optional<double> ReadNumber(std::string_view text);

// The number a record holds, as the plot and the graph read it. Leading
// characters that cannot start a reading are dropped: those below "+"
// other than the blank, those above "9", and "/" and ",". Then the rest is
// read with ReadNumber.
[[nodiscard]] std::optional<double> RecordReading(std::string_view record);
// The same, with a record that holds no number counting as 0 (what the plot
// and the graph draw for it).
[[nodiscard]] double RecordValue(std::string_view record);

// The record without its end character: a final CR, LF or CR LF removed.
[[nodiscard]] std::string PlainRecord(std::string record);
// A CSV field: quoted (with inner quotes doubled) when it holds a comma, a
// quote or a line break.
[[nodiscard]] std::string CsvField(const std::string& text);

// The records a window showed, with the tick each was shown at.
class ReadingsLog {
public:
    // Keeps at most maxRecords; the oldest go first (a list left running
    // over a weekend must not eat the memory).
    static constexpr std::size_t DefaultMaxRecords = 1'000'000;
    explicit ReadingsLog(std::size_t maxRecords = DefaultMaxRecords) : max_(maxRecords) {}

    void Add(std::uint32_t tickMs, std::string shownRecord);
    void Clear();
    [[nodiscard]] std::size_t Size() const { return records_.size(); }
    [[nodiscard]] bool Empty() const { return records_.empty(); }

    // "ms,record,reading" then one line per record: milliseconds since the
    // first record kept, the record as shown (end character removed, a CSV
    // field), and its reading when it holds one (else an empty field).
    [[nodiscard]] std::string Csv() const;

private:
    struct Entry {
        std::uint32_t tickMs;
        std::string record;
    };
    std::size_t max_;
    std::vector<Entry> records_;
    std::size_t first_ = 0; // index of the oldest entry once the log is full (a ring)
};

} // namespace wm
