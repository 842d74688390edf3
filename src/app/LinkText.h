#pragma once
// What the program talks to, in words: the status bar of the main window and
// wmctl print the same lines.
#include <string>

#include "comm/LinkState.h"

namespace wm {

// "/dev/ttyUSB0  9600,n,8,1  Custom ASCII  address 1" on a serial link
// ("Modbus RTU  slave 01" with Modbus); "Ethernet node 192.168.1.100
// (hardware address ...), called back on TCP port 8080  Modbus TCP  unit 01"
// through the node; or "no meter link: " and why: the settings file could
// not be used, the port could not be opened, or the settings name no port.
[[nodiscard]] std::string DescribeLink(const LinkState& link, const std::string& device);

// Where the setup in memory belongs: "setup file NAME" (the file a Save
// writes), "setup from the meter", or "no setup file".
[[nodiscard]] std::string DescribeSetupFile(const std::string& setupFileName, bool receivedFromMeter);

} // namespace wm
