#include "SettingsCommand.h"

#include <cstdio>

#include "app/SettingsArgs.h"
#include "comm/LinkSettings.h"

namespace wm {

namespace {

int Refuse(const std::string& problem) {
    std::fprintf(stderr, "wmctl: %s\n", problem.c_str());
    return 2;
}

} // namespace

int RunSettingsCommand(const std::vector<std::string>& rest, const std::filesystem::path& settingsFile) {
    for (std::size_t i = 1; i < rest.size(); ++i) {
        if (rest[i] == "-h" || rest[i] == "--help") {
            std::printf("usage: wmctl [--settings FILE] settings [OPTIONS]\n%s", kSettingsUsage);
            return 0;
        }
    }
    std::string problem;
    const std::optional<SettingsArgs> args =
        ParseSettingsArgs(std::vector<std::string>(rest.begin() + 1, rest.end()), problem);
    if (!args) {
        std::fprintf(stderr, "wmctl: %s\nusage: wmctl [--settings FILE] settings [OPTIONS]\n%s", problem.c_str(),
                     kSettingsUsage);
        return 2;
    }
    const LinkSettingsFile current = ReadLinkSettingsFile(settingsFile);
    if (!current.missing && !current.settings)
        return Refuse(current.problem + "; nothing written (remove it to start from a new file's defaults)");
    const LinkSettings settings = ApplySettingsArgs(*args, current.settings.value_or(LinkSettings{}));
    const SettingsLines lines = BuildSettingsLines(settings);
    if (!lines.problem.empty()) return Refuse(lines.problem + "; nothing written");
    if (args->print) {
        std::printf("%s\r\n%s\r\n", lines.line1.c_str(), lines.line2.c_str());
        if (!settings.device.empty())
            std::fprintf(stderr, "%s would hold %s\n", DeviceFileFor(settingsFile).string().c_str(),
                         settings.device.c_str());
        return 0;
    }
    problem = WriteLinkSettings(settingsFile, settings);
    if (!problem.empty()) return Refuse(problem);
    return 0;
}

} // namespace wm
