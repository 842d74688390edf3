#pragma once
// The calibration record as a file: what a calibration did to each range,
// one line per attempt, for the quality records of whoever owns the meter.
// The procedure fills the record (sc/Calibration.h); this writes it as CSV
// and saves it through the operator's Save As dialog.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sc/Calibration.h"

namespace wm {

class Operator;

// The CSV text: a header line, then one line per completed attempt in the
// order the attempts completed, range by range. Every field is quoted, so
// the blanks of "5 A  DC" and the signs of the readings stay as they are;
// lines end in CR LF. Each line repeats the date and time, the meter and the
// range, so a line still says what it is when it is copied elsewhere. The
// attempt whose word the operator kept says "yes" in the last column.
// Characters from the meter below a blank are written as "?", and bytes
// above 127 as the Latin-1 characters they stand for, in UTF-8.
[[nodiscard]] std::string CalibRecordCsv(const CalibRecord& record);

// The header line's field names, in order.
[[nodiscard]] const std::vector<std::string>& CalibRecordCsvColumns();

// The attempt of a range whose word was kept, or nullptr: the last attempt
// made in the kept column (a later attempt in a column replaces the earlier
// one in the grid).
[[nodiscard]] const CalibAttempt* KeptAttempt(const CalibRangeRecord& range);

// The word a range's calibration left in the meter: the kept word, else the
// word of the last attempt (each attempt writes its word), else empty.
[[nodiscard]] std::string WordLeftInMeter(const CalibRangeRecord& range);

// The name offered for a record: "Calib-<address>-<yyyymmdd-hhmm>.csv" from
// the record's meter address and its date and time ("2026-12-07 11:50:55").
[[nodiscard]] std::string CalibRecordFileName(const CalibRecord& record);

// Save As for the record: the dialog starts in `folder` with the offered
// name; a name without ".csv" gets it (asking before that replaces a file,
// since the dialog asked about the name as typed), a relative name lies in
// `folder`. The file is written whole or not at all; a failure is told to
// the operator (MessageId::FileNotWritten). Returns the file written, or
// nothing when cancelled or failed.
std::optional<std::filesystem::path> SaveCalibRecord(Operator& op, const CalibRecord& record,
                                                     const std::filesystem::path& folder);

} // namespace wm
