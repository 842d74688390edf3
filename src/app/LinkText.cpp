#include "app/LinkText.h"

#include <array>
#include <filesystem>
#include <string_view>

#include "comm/Connection.h"

namespace wm {

namespace {

constexpr std::array<std::string_view, 3> kProtocols = {"Custom ASCII", "Modbus RTU", "Modbus ASCII"};

} // namespace

std::string DescribeLink(const LinkState& link, const std::string& device) {
    const std::string none = "no meter link: ";
    if (!link.SettingsUsable) return none + "the settings file cannot be used (" + link.Problem + ")";
    if (link.EthernetLink == 1) return none + "the Ethernet node link is not yet available";
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
