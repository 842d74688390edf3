#pragma once
// wmctl --trace and --trace-file: every frame on the wire and each
// exchange's end status, one traffic line each (comm/TrafficLog.h), on
// standard error and/or in a file. The file is opened before anything is
// sent and flushed after every line, so a run that is killed keeps what
// was traced.
#include <cstdio>
#include <string>

namespace wm {

struct Program;

class TraceOutput {
public:
    TraceOutput() = default;
    ~TraceOutput();
    TraceOutput(const TraceOutput&) = delete;
    TraceOutput& operator=(const TraceOutput&) = delete;

    // Opens the file (created or emptied) when one is named. False, with
    // the reason in problem, when it cannot be written.
    bool Open(bool toStandardError, const std::string& file, std::string& problem);
    // Listens to the program's traffic while the program lives.
    void Attach(Program& program);

private:
    void Write(const std::string& line);

    bool toStandardError_ = false;
    std::FILE* file_ = nullptr;
    std::string fileName_;
    bool fileFailed_ = false;
};

} // namespace wm
