#include "BatchForm.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace wm {

namespace {

constexpr const char* kJobLineTag = "@wmctl-job ";

bool AllDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string PadRight(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

std::string PadLeft(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

} // namespace

std::optional<PortArg> ParsePortArg(const std::string& text, std::string& problem) {
    PortArg port{text, std::nullopt};
    const std::size_t at = text.rfind('@');
    if (at != std::string::npos && AllDigits(text.substr(at + 1))) {
        const std::string digits = text.substr(at + 1);
        // More than three digits is never an address; stop before the
        // number could overflow.
        if (digits.size() > 3 || std::stoi(digits) > 255) {
            problem = "--port " + text + ": the address after @ is 0 to 255";
            return std::nullopt;
        }
        port.device = text.substr(0, at);
        port.address = std::stoi(digits);
    }
    if (port.device.empty()) {
        problem = "--port needs a device path";
        return std::nullopt;
    }
    return port;
}

std::string SetupFileNameForDevice(const std::string& device) {
    const std::string name = std::filesystem::path(device).filename().string();
    if (name.empty() || name == "." || name == "..") return {};
    return name + ".WT";
}

const char* JobResultText(JobResult result) {
    switch (result) {
    case JobResult::Ok: return "ok";
    case JobResult::Failed: return "failed";
    case JobResult::Abandoned: return "abandoned";
    case JobResult::Error: return "error";
    case JobResult::Killed: return "killed";
    case JobResult::Interrupted: return "interrupted";
    case JobResult::NotRun: return "not run";
    }
    return "?";
}

std::string JobLine(std::optional<int> status, bool abandoned) {
    return kJobLineTag + (status ? std::to_string(*status) : std::string("-")) + (abandoned ? " abandoned" : "");
}

std::optional<JobReport> TakeJobLine(std::string& output) {
    // The job writes it last; only a line of its own counts.
    const std::string tag = kJobLineTag;
    std::size_t at = output.rfind("\n" + tag);
    at = at == std::string::npos ? (output.rfind(tag, 0) == 0 ? 0 : std::string::npos) : at + 1;
    if (at == std::string::npos) return std::nullopt;
    std::size_t end = output.find('\n', at);
    std::string line = output.substr(at + tag.size(), end == std::string::npos ? std::string::npos : end - at - tag.size());
    output.erase(at, end == std::string::npos ? std::string::npos : end + 1 - at);

    JobReport report;
    const std::size_t blank = line.find(' ');
    const std::string status = line.substr(0, blank);
    if (blank != std::string::npos) {
        if (line.substr(blank + 1) != "abandoned") return std::nullopt;
        report.abandoned = true;
    }
    if (AllDigits(status) && status.size() <= 5) {
        report.status = std::stoi(status);
    } else if (status != "-") {
        return std::nullopt;
    }
    return report;
}

JobResult JobResultOf(std::optional<int> exitCode, const std::optional<JobReport>& report) {
    if (!exitCode) return JobResult::Killed;
    if (*exitCode == 0) return JobResult::Ok;
    if (report && report->abandoned) return JobResult::Abandoned;
    // wmctl's own exit statuses: 1 the exchange failed, 2 the port, the
    // settings or a file could not be used.
    return *exitCode == 2 ? JobResult::Error : JobResult::Failed;
}

std::string FormatSummary(const std::vector<JobRow>& rows) {
    std::size_t portWidth = 4;
    for (const JobRow& row : rows) portWidth = std::max(portWidth, row.port.size());
    constexpr std::size_t resultWidth = 11; // "interrupted"
    std::string out = PadRight("port", portWidth) + "  " + PadRight("result", resultWidth) + "  status     time\n";
    for (const JobRow& row : rows) {
        char time[32] = "-";
        if (row.result != JobResult::NotRun) std::snprintf(time, sizeof time, "%.1f s", row.seconds);
        const std::string status = row.status ? std::to_string(*row.status) : std::string("-");
        std::string line = PadRight(row.port, portWidth) + "  " + PadRight(JobResultText(row.result), resultWidth) +
                           "  " + PadLeft(status, 6) + "  " + PadLeft(time, 7);
        out += line + "\n";
    }
    return out;
}

} // namespace wm
