#include "app/CalibRecordFile.h"

#include <charconv>
#include <cmath>

#include "app/SaveFileAs.h"

namespace wm {

namespace {

// One field, quoted. Text from the meter is bytes: a control character
// would break the line apart, and a byte above 127 is a Latin-1 character
// that a spreadsheet reading UTF-8 would otherwise show as garbage.
std::string Field(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte == '"') {
            out += "\"\"";
        } else if (byte < 0x20 || byte == 0x7F) {
            out += '?';
        } else if (byte >= 0x80) {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        } else {
            out += ch;
        }
    }
    out += '"';
    return out;
}

// The desired reading as the grid shows it, without the leading blank:
// 80000, 8000, 0. Written in the C locale whatever the system's.
std::string Number(double value) {
    char buffer[32];
    const double whole = std::round(value);
    const auto result = whole == value
                            ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(whole))
                            : std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void AddLine(std::string& csv, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) csv += ',';
        csv += Field(fields[i]);
    }
    csv += "\r\n";
}

} // namespace

const std::vector<std::string>& CalibRecordCsvColumns() {
    static const std::vector<std::string> columns = {
        "date_time",           "meter_address",       "board",           "range",
        "word_address",        "input_applied",       "desired_reading", "attempt",
        "column",              "reading_before_plus", "reading_before_minus", "reading_after_plus",
        "reading_after_minus", "old_word",            "new_word",        "out_of_range",
        "kept"};
    return columns;
}

const CalibAttempt* KeptAttempt(const CalibRangeRecord& range) {
    if (!range.keptColumn) return nullptr;
    for (auto it = range.attempts.rbegin(); it != range.attempts.rend(); ++it)
        if (it->column == *range.keptColumn) return &*it;
    return nullptr;
}

std::string WordLeftInMeter(const CalibRangeRecord& range) {
    if (range.keptColumn && !range.keptWord.empty()) return range.keptWord;
    return range.attempts.empty() ? std::string() : range.attempts.back().wordWritten;
}

std::string CalibRecordCsv(const CalibRecord& record) {
    std::string csv;
    AddLine(csv, CalibRecordCsvColumns());
    for (const CalibRangeRecord& range : record.ranges) {
        const CalibAttempt* kept = KeptAttempt(range);
        int number = 0;
        for (const CalibAttempt& a : range.attempts) {
            AddLine(csv, {record.dateTime, record.meterAddress, record.boardName, range.range, range.address,
                          range.inputApplied, Number(range.desiredReading), std::to_string(++number),
                          std::to_string(a.column), a.plusBefore, range.zero ? "" : a.minusBefore, a.plusAfter,
                          range.zero ? "" : a.minusAfter, a.wordBefore, a.wordWritten, a.outOfRange ? "yes" : "no",
                          &a == kept ? "yes" : "no"});
        }
    }
    return csv;
}

std::string CalibRecordFileName(const CalibRecord& record) {
    std::string stamp;
    for (const char ch : record.dateTime) {
        if (ch >= '0' && ch <= '9') stamp += ch;
        if (stamp.size() == 8 && (ch == ' ' || ch == 'T')) stamp += '-';
        if (stamp.size() == 13) break;
    }
    std::string address;
    for (const char ch : record.meterAddress)
        if ((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z')) address += ch;
    std::string name = "Calib";
    if (!address.empty()) name += "-" + address;
    if (!stamp.empty()) name += "-" + stamp;
    return name + ".csv";
}

std::optional<std::filesystem::path> SaveCalibRecord(Operator& op, const CalibRecord& record,
                                                     const std::filesystem::path& folder) {
    const SaveAsRequest request{"Save Calibration Record", "CSV files (*.csv)|*.csv", folder,
                                CalibRecordFileName(record), {".csv"}};
    const auto file = ChooseFileToSave(op, request);
    if (!file || !WriteSavedFile(op, *file, CalibRecordCsv(record), request.title, "calibration record"))
        return std::nullopt;
    return file;
}

} // namespace wm
