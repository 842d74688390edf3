#pragma once
// The link Settings.SSS describes, as named values instead of character
// positions: the routines that write the file's two lines from them and read
// them back, and the companion file that names a serial device by its path.
//
// What a line means is decided by DeriveLinkState, the program's own reader:
// BuildSettingsLines writes only lines that reader turns into the link the
// values describe, and refuses, naming each, the values it could not.
#include <filesystem>
#include <optional>
#include <string>

namespace wm {

enum class SerialProtocol { CustomAscii = 0, ModbusRtu = 1, ModbusAscii = 2 };

// "Custom ASCII", "Modbus RTU", "Modbus ASCII".
[[nodiscard]] std::string ProtocolName(SerialProtocol protocol);

struct LinkSettings {
    // Line 1, character by character.
    int family = 0;                                        // 1: 0-3 or 5-8 (4 and 9 read as 0)
    int baud = 9600;                                       // 2: one of BaudRates
    int commPort = 1;                                      // 3-4: 1-99, /dev/ttyS(n-1)
    SerialProtocol protocol = SerialProtocol::CustomAscii; // 5
    char parity = 'n';                                     // 6: n, o, e; Custom ASCII runs at n only
    int modbusTimeout = 0;                                 // 7: 0-9
    char address = '1';                                    // 8: 0-9, A-V (upper case)
    int modbusAddress = 1;                                 // 9-11: 1-247
    int setupFlag = 0;                                     // 12: 0-9
    int revision = 6;                                      // 13-15: 0-999
    int portType = 1;                                      // 16: 0 none, 1 serial, 2 serial that echoes
    int boardCode = 0;                                     // 17 on: 0-99999 but 8 (another instrument)

    // Line 2: the Ethernet node. Without a node the hardware address is
    // written as zeros (that is what says "serial line"); the listen port
    // and the node's address are kept as given.
    bool node = false;
    int listenPort = 0;                   // 1-4: TCP port the program listens on (1-65535 with a node)
    std::string nodeMac = "000000000000"; // 5-16: 12 hex digits, not all zero with a node
    std::string nodeIP = "0.0.0.0";       // 21-28: dotted IPv4, not 0.0.0.0 with a node
    std::string nodeSpare = "0000";       // 17-20: 4 hex digits, kept as found
    char endFlag = '0';                   // 29: a digit, '1' after the program ended normally

    // Not in Settings.SSS: the serial device named in the companion file.
    // Empty: the port number names it. Always empty with a node.
    std::string device;

    bool operator==(const LinkSettings&) const = default;
};

struct SettingsLines {
    std::string line1, line2;
    std::string problem; // empty when both lines hold the link; else every value they cannot hold
};
[[nodiscard]] SettingsLines BuildSettingsLines(const LinkSettings& settings);

// The link two lines describe, as the program reads them (DeriveLinkState):
// nothing, and the reader's problem, when the program could not use them.
// `device` is left empty.
[[nodiscard]] std::optional<LinkSettings> ReadLinkSettings(const std::string& line1, const std::string& line2,
                                                           std::string& problem);

// Sets the serial device: /dev/ttyS(n-1) for n 1-99 becomes port number n
// (no companion file, as other copies of the program write it), any other
// path is kept as the device.
void SetSerialDevice(LinkSettings& settings, const std::string& device);

// --- The companion file -----------------------------------------------------
// Beside the settings file, named as it plus ".device" (Settings.SSS.device):
// one line, the path of the serial device. When it exists and the link is a
// serial line, it names the device instead of the port number; --port names
// another for one run, over both.
[[nodiscard]] std::filesystem::path DeviceFileFor(const std::filesystem::path& settingsFile);

// Empty when `device` can be the companion's line: an absolute path, with
// no control characters and no blank at its end. Else why not.
[[nodiscard]] std::string DeviceProblem(const std::string& device);

struct SerialDevice {
    std::string device;  // the device to open
    std::string problem; // when the companion file exists but cannot be used
};
// The device a serial link opens: `portOverride` when given, else the
// companion file's device, else DeviceForPortNumber(commPort). A companion
// that exists but cannot be read, or holds no usable path, is a problem
// (never a silent fall-back to another device).
[[nodiscard]] SerialDevice ResolveSerialDevice(const std::filesystem::path& settingsFile, int commPort,
                                               const std::string& portOverride);

struct LinkSettingsFile {
    std::optional<LinkSettings> settings; // with `device` from the companion file
    bool missing = false;                 // no settings file at all
    std::string problem;                  // when there is one but it cannot be used
};
[[nodiscard]] LinkSettingsFile ReadLinkSettingsFile(const std::filesystem::path& settingsFile);

// Writes Settings.SSS (two lines) and then the companion file: written with
// a device, removed without one. Nothing is written when the lines cannot
// hold the settings. Returns an empty string or the problem.
[[nodiscard]] std::string WriteLinkSettings(const std::filesystem::path& settingsFile, const LinkSettings& settings);

} // namespace wm
