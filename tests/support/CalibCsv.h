#pragma once
// Reads the calibration record's CSV back into lines of fields: every field
// quoted, "" for a quote inside, lines ending in CR LF. Anything else in the
// text fails the test that reads it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wm::test {

inline std::vector<std::vector<std::string>> ReadCalibCsv(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    std::size_t i = 0;
    while (i < text.size()) {
        std::vector<std::string> fields;
        for (;;) {
            if (text[i] != '"') {
                ADD_FAILURE() << "unquoted field at offset " << i;
                return lines;
            }
            std::string field;
            for (++i; i < text.size(); ++i) {
                if (text[i] != '"') {
                    field += text[i];
                } else if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    break;
                }
            }
            ++i; // the closing quote
            fields.push_back(field);
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            if (text.compare(i, 2, "\r\n") != 0) {
                ADD_FAILURE() << "a line does not end in CR LF at offset " << i;
                return lines;
            }
            i += 2;
            break;
        }
        lines.push_back(fields);
    }
    return lines;
}

} // namespace wm::test
