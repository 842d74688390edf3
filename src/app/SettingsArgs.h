#pragma once
// The options of `wmctl settings`, parsed apart from the program so they can
// be tested and fuzzed on their own. Range checks are left to
// BuildSettingsLines, which says what Settings.SSS cannot hold.
#include <optional>
#include <string>
#include <vector>

#include "comm/LinkSettings.h"

namespace wm {

struct SettingsArgs {
    std::optional<int> commPort;
    std::optional<std::string> device;
    std::optional<SerialProtocol> protocol;
    std::optional<int> baud;
    std::optional<char> parity;
    std::optional<char> address;
    std::optional<int> modbusAddress, family, revision;
    std::optional<bool> echo; // --echo: true, --no-echo: false
    std::optional<std::string> nodeIP, nodeMac;
    std::optional<int> listenPort;
    bool print = false;
};

// The arguments after the command name. Nothing, and the problem, for an
// unknown option, a missing or malformed value, an option given twice, or
// options that contradict each other (a port number and a device path; a
// serial port and a node).
[[nodiscard]] std::optional<SettingsArgs> ParseSettingsArgs(const std::vector<std::string>& args,
                                                            std::string& problem);

// The settings with the options given applied to `current` (the file's, or a
// new file's defaults). A port number or a device makes the link a serial
// line, a node option the node's (and drops the device); either gives port
// type 1 when it was 0 (no meter link); Custom ASCII without --parity runs without parity.
[[nodiscard]] LinkSettings ApplySettingsArgs(const SettingsArgs& args, LinkSettings current);

} // namespace wm
