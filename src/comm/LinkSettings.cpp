#include "comm/LinkSettings.h"

#include <system_error>
#include <vector>

#include "comm/Connection.h"
#include "comm/Hex.h"
#include "comm/LinkState.h"
#include "comm/NodePacket.h"
#include "comm/Tables.h"
#include "platform/Files.h"
#include "platform/SerialPortControl.h"

namespace wm {

namespace {

// The companion holds one short line; anything longer is not one.
constexpr std::size_t DeviceFileMaxBytes = 4096;

std::string Digits(int value, std::size_t width) {
    std::string s = std::to_string(value);
    return std::string(width > s.size() ? width - s.size() : 0, '0') + s;
}

int BaudIndexOf(int baud) {
    for (std::size_t i = 0; i < BaudRates.size(); ++i)
        if (std::to_string(baud) == BaudRates[i]) return static_cast<int>(i);
    return -1;
}

std::string BaudList() {
    std::string list;
    for (std::size_t i = 0; i < BaudRates.size(); ++i) list += (i == 0 ? "" : ", ") + std::string(BaudRates[i]);
    return list;
}

int ParityCodeOf(char parity) {
    switch (parity) {
    case 'n': return 0;
    case 'o': return 1;
    case 'e': return 2;
    default: return -1;
    }
}

bool IsMeterAddress(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'V'); }

bool InRange(int v, int low, int high) { return v >= low && v <= high; }

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The 12 hex digits of a hardware address, upper case; ':' or '-' between
// the pairs are allowed. Nothing when it is not one.
std::optional<std::string> MacDigits(const std::string& text) {
    std::string digits;
    for (const char c : text)
        if (c != ':' && c != '-') digits += c;
    if (digits.size() != 12 || !IsHexText(digits)) return std::nullopt;
    return UpperCase(digits);
}

} // namespace

std::string ProtocolName(SerialProtocol protocol) {
    switch (protocol) {
    case SerialProtocol::CustomAscii: return "Custom ASCII";
    case SerialProtocol::ModbusRtu: return "Modbus RTU";
    case SerialProtocol::ModbusAscii: return "Modbus ASCII";
    }
    return "protocol ?";
}

SettingsLines BuildSettingsLines(const LinkSettings& s) {
    std::vector<std::string> refused;
    const auto refuse = [&refused](std::string why) { refused.push_back(std::move(why)); };

    if (!InRange(s.family, 0, 8) || s.family == 4)
        refuse("meter family " + std::to_string(s.family) + " (0-3 or 5-8; 4 is read as 0)");
    const int baudIndex = BaudIndexOf(s.baud);
    if (baudIndex < 0) refuse("baud rate " + std::to_string(s.baud) + " (one of " + BaudList() + ")");
    if (!InRange(s.commPort, 1, 99)) refuse("serial port number " + std::to_string(s.commPort) + " (1-99)");
    const int mode = static_cast<int>(s.protocol);
    if (!InRange(mode, 0, 2)) refuse("protocol " + std::to_string(mode));
    const int parity = ParityCodeOf(s.parity);
    if (parity < 0) {
        refuse("parity " + Quoted(std::string(1, s.parity)) + " (n, o or e)");
    } else if (s.protocol == SerialProtocol::CustomAscii && parity != 0) {
        // The line runs 8 data bits, no parity in Custom ASCII whatever the
        // file says: a parity here would be a setting that is never used.
        refuse(std::string("parity ") + s.parity + " with Custom ASCII (it runs without parity; parity is for Modbus)");
    }
    if (!InRange(s.modbusTimeout, 0, 9)) refuse("Modbus time-out choice " + std::to_string(s.modbusTimeout) + " (0-9)");
    if (!IsMeterAddress(s.address))
        refuse("meter address " + Quoted(std::string(1, s.address)) + " (one character, 0-9 or A-V)");
    if (!InRange(s.modbusAddress, 1, 247)) refuse("Modbus address " + std::to_string(s.modbusAddress) + " (1-247)");
    if (!InRange(s.setupFlag, 0, 9)) refuse("setup flag " + std::to_string(s.setupFlag) + " (0-9)");
    if (!InRange(s.revision, 0, 999)) refuse("meter revision " + std::to_string(s.revision) + " (0-999)");
    if (!InRange(s.portType, 0, 2)) refuse("port type " + std::to_string(s.portType) + " (0, 1 or 2)");
    if (!InRange(s.boardCode, 0, 99999)) {
        refuse("board code " + std::to_string(s.boardCode) + " (0-99999)");
    } else if (s.boardCode == 8) {
        refuse("board code 8 (it names an instrument this program does not set up)");
    }

    const std::optional<std::string> mac = MacDigits(s.nodeMac);
    const std::optional<std::uint32_t> ip = DottedIPv4Value(s.nodeIP);
    if (!InRange(s.listenPort, 0, 65535)) refuse("listen port " + std::to_string(s.listenPort) + " (1-65535)");
    if (!ip) refuse("node address " + Quoted(s.nodeIP) + " (an IPv4 address such as 192.168.0.7)");
    if (s.node) {
        if (!mac) {
            refuse("node hardware address " + Quoted(s.nodeMac) + " (12 hexadecimal digits)");
        } else if (*mac == "000000000000") {
            refuse("node hardware address 000000000000 (all zeros means no node)");
        }
        if (ip && *ip == 0) refuse("node address 0.0.0.0 (a node needs its IPv4 address)");
        if (s.listenPort == 0) refuse("listen port 0 (a node needs the TCP port it calls back on, 1-65535)");
        if (!s.device.empty()) refuse("device " + s.device + " with a node (the node link has no serial device)");
    }
    if (s.nodeSpare.size() != 4 || !IsHexText(s.nodeSpare))
        refuse("line 2 characters 17-20 " + Quoted(s.nodeSpare) + " (4 hexadecimal digits)");
    if (s.endFlag < '0' || s.endFlag > '9') refuse("line 2 character 29 (a digit)");
    if (!s.device.empty()) {
        const std::string problem = DeviceProblem(s.device);
        if (!problem.empty()) refuse("device " + Quoted(s.device) + " (" + problem + ")");
    }

    SettingsLines out;
    if (!refused.empty()) {
        out.problem = "Settings.SSS cannot hold ";
        for (std::size_t i = 0; i < refused.size(); ++i) out.problem += (i == 0 ? "" : "; ") + refused[i];
        return out;
    }
    out.line1 = std::to_string(s.family) + std::to_string(baudIndex) + Digits(s.commPort, 2) + std::to_string(mode) +
                std::to_string(parity) + std::to_string(s.modbusTimeout) + s.address + Digits(s.modbusAddress, 3) +
                std::to_string(s.setupFlag) + Digits(s.revision, 3) + std::to_string(s.portType) +
                std::to_string(s.boardCode);
    out.line2 = Hex(static_cast<std::uint32_t>(s.listenPort), 4) + (s.node ? *mac : std::string(12, '0')) +
                UpperCase(s.nodeSpare) + Hex(*ip, 8) + s.endFlag;
    return out;
}

std::optional<LinkSettings> ReadLinkSettings(const std::string& line1, const std::string& line2, std::string& problem) {
    LinkState link;
    problem = DeriveLinkState(line1, line2, link);
    if (!problem.empty()) return std::nullopt;
    LinkSettings s;
    s.family = link.MeterFamily;
    s.baud = std::stoi(std::string(BaudRates[static_cast<std::size_t>(link.BaudIndex)]));
    s.commPort = link.CommPortNumber;
    s.protocol = static_cast<SerialProtocol>(link.SerialMode);
    s.parity = "noe"[link.ParityCode];
    s.modbusTimeout = link.ModbusTimeoutChoice;
    s.address = link.MeterAddress[0];
    s.modbusAddress = link.ModbusAddress;
    s.setupFlag = link.SetupFlag;
    s.revision = link.MeterRevision;
    s.portType = link.PortType;
    s.boardCode = link.BoardCode;
    s.node = link.EthernetLink == 1;
    s.listenPort = static_cast<int>(HexNumber(line2.substr(0, 4)).value_or(0));
    s.nodeMac = s.node ? UpperCase(line2.substr(4, 12)) : std::string(12, '0');
    s.nodeIP = NodeDottedAddress(line2).value_or("0.0.0.0");
    s.nodeSpare = UpperCase(line2.substr(16, 4));
    s.endFlag = line2.size() > 28 && line2[28] >= '0' && line2[28] <= '9' ? line2[28] : '0';
    return s;
}

void SetSerialDevice(LinkSettings& settings, const std::string& device) {
    for (int n = 1; n <= 99; ++n) {
        if (device == DeviceForPortNumber(n)) {
            settings.commPort = n;
            settings.device.clear();
            return;
        }
    }
    settings.device = device;
}

std::filesystem::path DeviceFileFor(const std::filesystem::path& settingsFile) {
    std::filesystem::path file = settingsFile;
    file += ".device";
    return file;
}

std::string DeviceProblem(const std::string& device) {
    if (device.empty()) return "no device path";
    if (device.front() != '/') return "not an absolute path";
    for (const char c : device)
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f') return "it holds a control character";
    if (device.back() == ' ') return "it ends in a blank";
    if (device.size() > 1024) return "longer than 1024 characters";
    return {};
}

namespace {

struct DeviceFileText {
    bool present = false;
    std::string device, problem;
};

DeviceFileText ReadDeviceFile(const std::filesystem::path& settingsFile) {
    DeviceFileText out;
    const std::filesystem::path file = DeviceFileFor(settingsFile);
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(file, ec);
    if (ec || status.type() == std::filesystem::file_type::not_found) return out;
    out.present = true;
    const FileBytes read = ReadFileBounded(file, DeviceFileMaxBytes);
    std::string why;
    if (!read.problem.empty()) {
        why = read.problem;
    } else if (!read.whole) {
        why = "it is longer than one device path";
    } else {
        std::string line = read.bytes.substr(0, read.bytes.find('\n'));
        const std::size_t last = line.find_last_not_of(" \t\r");
        line.resize(last == std::string::npos ? 0 : last + 1);
        why = DeviceProblem(line);
        if (why.empty()) out.device = line;
    }
    if (!why.empty()) out.problem = "device file " + file.string() + ": " + why;
    return out;
}

} // namespace

SerialDevice ResolveSerialDevice(const std::filesystem::path& settingsFile, int commPort,
                                 const std::string& portOverride) {
    if (!portOverride.empty()) return {portOverride, {}};
    const DeviceFileText companion = ReadDeviceFile(settingsFile);
    if (!companion.problem.empty()) return {{}, companion.problem};
    if (companion.present) return {companion.device, {}};
    return {DeviceForPortNumber(commPort), {}};
}

LinkSettingsFile ReadLinkSettingsFile(const std::filesystem::path& settingsFile) {
    LinkSettingsFile out;
    std::error_code ec;
    if (std::filesystem::symlink_status(settingsFile, ec).type() == std::filesystem::file_type::not_found) {
        out.missing = true;
        return out;
    }
    const SettingsText text = ReadSettingsFile(settingsFile);
    std::string problem = text.problem;
    std::optional<LinkSettings> settings;
    if (problem.empty()) settings = ReadLinkSettings(text.line1, text.line2, problem);
    if (!settings) {
        out.problem = "settings file " + settingsFile.string() + ": " + problem;
        return out;
    }
    if (!settings->node) {
        const DeviceFileText companion = ReadDeviceFile(settingsFile);
        if (!companion.problem.empty()) {
            out.problem = companion.problem;
            return out;
        }
        settings->device = companion.device;
    }
    out.settings = settings;
    return out;
}

std::string WriteLinkSettings(const std::filesystem::path& settingsFile, const LinkSettings& settings) {
    const SettingsLines lines = BuildSettingsLines(settings);
    if (!lines.problem.empty()) return lines.problem;
    std::string problem = WriteSettingsFile(settingsFile, lines.line1, lines.line2);
    if (!problem.empty()) return problem;
    const std::filesystem::path companion = DeviceFileFor(settingsFile);
    if (!settings.device.empty()) return WriteFileReplacing(companion, settings.device + "\n");
    std::error_code ec;
    std::filesystem::remove(companion, ec);
    if (ec) return "device file " + companion.string() + " cannot be removed (" + ec.message() + ")";
    return {};
}

} // namespace wm
