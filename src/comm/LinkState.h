#pragma once
// How the meter is reached, as derived from Settings.SSS by OpenConnection.
// The names are the ones every layer uses for the link.
#include <string>

namespace wm {

struct LinkState {
    std::string SettingsLine1; // 17 characters once read
    std::string SettingsLine2; // 29 characters once read

    int EthernetLink = 0;   // 1: through the Ethernet node
    int UseModbus = 0;      // 1 when SerialMode is not 0
    int SerialMode = 0;     // 0 Custom ASCII, 1 Modbus RTU, 2 Modbus ASCII
    int BaudIndex = 5;      // index into BaudRates
    int CharTimeMs = 1;     // one character on the line, whole ms
    int PortType = 0;       // 0 no port, 1 serial line, 2 serial line that echoes
    int CommPortNumber = 1;
    int ParityCode = 0;     // 0 none, 1 odd, 2 even
    int ModbusTimeoutChoice = 0;
    int SetupFlag = 0;      // character 12
    std::string MeterAddress = "0";
    std::string AddressDisplay = "0";
    int ModbusAddress = 1;
    std::string ModbusAddressHex = "01";
    int MeterFamily = 0;
    int FamilyFiveFlag = 0;
    int BoardCode = 0;
    int MeterRevision = 0;

    // False when Settings.SSS could not be used; Problem says why. The
    // program then runs without a meter link, as with PortType 0.
    bool SettingsUsable = false;
    std::string Problem;
};

} // namespace wm
