#pragma once
// Traffic logs read back through the one reader (comm/TrafficLog.h): wmsim's
// --log, wmctl's --trace and --trace-file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "comm/TrafficLog.h"

namespace wm::test {

// Every line of text that is a traffic line; the others (wmctl's own
// messages on standard error) are passed over.
inline std::vector<TrafficLine> TrafficLinesIn(const std::string& text) {
    std::vector<TrafficLine> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (const auto parsed = ParseTrafficLine(line)) out.push_back(*parsed);
    return out;
}

// A file that holds traffic lines only: a line the reader refuses fails the test.
inline std::vector<TrafficLine> ReadTrafficFile(const std::filesystem::path& file) {
    std::vector<TrafficLine> out;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        const auto parsed = ParseTrafficLine(line);
        EXPECT_TRUE(parsed) << file << ": not a traffic line: " << line;
        if (parsed) out.push_back(*parsed);
    }
    return out;
}

// The frames of one kind, in order.
inline std::vector<std::string> FramesOf(const std::vector<TrafficLine>& lines, TrafficLine::Kind kind) {
    std::vector<std::string> out;
    for (const TrafficLine& l : lines)
        if (l.kind == kind) out.push_back(l.bytes);
    return out;
}

// What wmsim notes on the rx line of a request: "ascii B3 heard",
// "rtu - ignored (bad CRC or short frame)".
struct SimRequestNote {
    std::string framing, key;
    bool heard = false;
};
inline SimRequestNote SimNote(const std::string& note) {
    SimRequestNote n;
    std::istringstream words(note);
    std::string verdict;
    words >> n.framing >> n.key >> verdict;
    n.heard = verdict == "heard";
    return n;
}

// The keys of the requests wmsim logged, heard or not, in order.
inline std::vector<SimRequestNote> SimRequests(const std::vector<TrafficLine>& lines) {
    std::vector<SimRequestNote> out;
    for (const TrafficLine& l : lines)
        if (l.kind == TrafficLine::Kind::Rx) out.push_back(SimNote(l.note));
    return out;
}

} // namespace wm::test
