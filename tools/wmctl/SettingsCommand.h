#pragma once
// wmctl settings: writes (or prints) Settings.SSS from options.
#include <filesystem>
#include <string>
#include <vector>

namespace wm {

inline constexpr const char* kSettingsUsage =
    "  settings [--comm-port N | --device PATH] [--protocol ascii|rtu|mbascii] [--baud N] [--parity n|o|e]\n"
    "           [--address C] [--modbus-address N] [--family N] [--revision N] [--echo | --no-echo]\n"
    "           [--node IP --node-mac HEX --listen-port N] [--print]\n"
    "                   write the settings file (--print: show it instead); options not given keep the\n"
    "                   file's values, or a new file's defaults; --device writes SETTINGS.device beside it\n";

// `rest` starts with the command name. Exit status 0, or 2 when the options
// or the file are refused (nothing is written then).
int RunSettingsCommand(const std::vector<std::string>& rest, const std::filesystem::path& settingsFile);

} // namespace wm
