#include "TraceOutput.h"

#include <cerrno>
#include <cstring>

#include "app/Program.h"
#include "comm/TrafficLog.h"

namespace wm {

TraceOutput::~TraceOutput() {
    if (file_ != nullptr) std::fclose(file_);
}

bool TraceOutput::Open(bool toStandardError, const std::string& file, std::string& problem) {
    toStandardError_ = toStandardError;
    if (file.empty()) return true;
    file_ = std::fopen(file.c_str(), "wb");
    if (file_ == nullptr) {
        problem = "cannot write the trace file " + file + ": " + std::strerror(errno);
        return false;
    }
    fileName_ = file;
    return true;
}

void TraceOutput::Attach(Program& program) {
    if (!toStandardError_ && file_ == nullptr) return;
    program.traffic.Subscribe([this](const TrafficLine& line) { Write(FormatTrafficLine(line)); });
}

void TraceOutput::Write(const std::string& line) {
    if (toStandardError_) std::fprintf(stderr, "%s\n", line.c_str());
    if (file_ == nullptr || fileFailed_) return;
    // A full disk does not stop the command; it is said once.
    if (std::fprintf(file_, "%s\n", line.c_str()) < 0 || std::fflush(file_) != 0) {
        fileFailed_ = true;
        std::fprintf(stderr, "wmctl: writing the trace file %s failed: %s\n", fileName_.c_str(),
                     std::strerror(errno));
    }
}

} // namespace wm
