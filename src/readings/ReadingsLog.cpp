#include "readings/ReadingsLog.h"

#include <charconv>
#include <cmath>

namespace wm {

std::optional<double> ReadNumber(std::string_view text) {
    // Blanks, tabs and line feeds are skipped wherever they are.
    std::string number;
    bool digits = false, point = false, exponent = false, exponentDigits = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == ' ' || ch == '\t' || ch == '\n') continue;
        const char last = number.empty() ? '\0' : number.back();
        if (ch >= '0' && ch <= '9') {
            (exponent ? exponentDigits : digits) = true;
        } else if (ch == '+' || ch == '-') {
            if (!(number.empty() || last == 'e')) break;
        } else if (ch == '.') {
            if (point || exponent) break;
            point = true;
        } else if ((ch == 'e' || ch == 'E') && digits && !exponent) {
            exponent = true;
            number += 'e';
            continue;
        } else {
            break;
        }
        number += ch;
    }
    if (!digits) return std::nullopt;
    // An exponent without digits ("12e", "12e-") is not part of the number.
    if (exponent && !exponentDigits) number.erase(number.find('e'));
    // from_chars: the same on every locale (a desktop may use a decimal comma).
    if (number.front() == '+') number.erase(0, 1);
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<double> RecordReading(std::string_view record) {
    std::size_t i = 0;
    while (i < record.size()) {
        const char ch = record[i];
        if ((ch < '+' && ch != ' ') || ch > '9' || ch == '/' || ch == ',') ++i;
        else break;
    }
    return ReadNumber(record.substr(i));
}

double RecordValue(std::string_view record) { return RecordReading(record).value_or(0.0); }

std::string PlainRecord(std::string record) {
    if (!record.empty() && (record.back() == '\n' || record.back() == '\r')) {
        const char end = record.back();
        record.pop_back();
        if (end == '\n' && !record.empty() && record.back() == '\r') record.pop_back();
    }
    return record;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char ch : text) {
        if (ch == '"') quoted += '"';
        quoted += ch;
    }
    return quoted + "\"";
}

void ReadingsLog::Add(std::uint32_t tickMs, std::string shownRecord) {
    if (max_ == 0) return;
    if (records_.size() < max_) {
        records_.push_back({tickMs, std::move(shownRecord)});
        return;
    }
    records_[first_] = {tickMs, std::move(shownRecord)};
    first_ = (first_ + 1) % max_;
}

void ReadingsLog::Clear() {
    records_.clear();
    first_ = 0;
}

std::string ReadingsLog::Csv() const {
    std::string csv = "ms,record,reading\n";
    if (records_.empty()) return csv;
    const std::uint32_t start = records_[first_].tickMs;
    for (std::size_t n = 0; n < records_.size(); ++n) {
        const Entry& e = records_[(first_ + n) % records_.size()];
        const std::string plain = PlainRecord(e.record);
        csv += std::to_string(static_cast<std::uint32_t>(e.tickMs - start)) + "," + CsvField(plain) + ",";
        if (const std::optional<double> value = RecordReading(plain)) {
            char text[32];
            const auto written = std::to_chars(text, text + sizeof text, *value);
            csv.append(text, written.ptr);
        }
        csv += "\n";
    }
    return csv;
}

} // namespace wm
