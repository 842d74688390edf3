#include "app/LinkText.h"

#include <array>
#include <filesystem>
#include <string_view>

#include "comm/Connection.h"
#include "comm/Hex.h"
#include "comm/NodePacket.h"

namespace wm {

namespace {

constexpr std::array<std::string_view, 3> kProtocols = {"Custom ASCII", "Modbus RTU", "Modbus ASCII"};

} // namespace

std::string DescribeLink(const LinkState& link, const std::string& device) {
    const std::string none = "no meter link: ";
    if (!link.SettingsUsable) return none + "the settings file cannot be used (" + link.Problem + ")";
    if (link.EthernetLink == 1) {
        const std::string& line2 = link.SettingsLine2;
        std::string text = "Ethernet node " + NodeDottedAddress(line2).value_or("?") + " (hardware address " +
                           UpperCase(line2.substr(4, 12)) + "), called back on TCP port " +
                           std::to_string(HexNumber(line2.substr(0, 4)).value_or(0)) + "  ";
        text += link.UseModbus == 1 ? "Modbus TCP  unit " + link.ModbusAddressHex
                                    : "Custom ASCII  address " + link.AddressDisplay;
        return text;
    }
    if (link.PortType == 0) {
        if (!link.Problem.empty()) return none + "serial port " + device + " could not be opened (" + link.Problem + ")";
        return none + "the settings name no serial port (port type 0)";
    }
    std::string text = device + "  " + PortSettingsText(link) + "  ";
    const auto mode = static_cast<std::size_t>(link.SerialMode);
    text += mode < kProtocols.size() ? kProtocols[mode] : std::string_view("protocol ?");
    text += link.UseModbus == 1 ? "  slave " + link.ModbusAddressHex : "  address " + link.AddressDisplay;
    if (link.PortType == 2) text += "  (the line echoes)";
    return text;
}

std::string DescribeSetupFile(const std::string& setupFileName, bool receivedFromMeter) {
    if (!setupFileName.empty()) return "setup file " + std::filesystem::path(setupFileName).filename().string();
    return receivedFromMeter ? "setup from the meter" : "no setup file";
}

} // namespace wm
