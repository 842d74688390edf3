// `wmctl settings`'s way in: arguments from the input applied to a settings
// file's values. Whatever the arguments, the parser either refuses them with
// a reason or gives options; settings the file cannot hold are refused with
// a reason and no lines; lines that are written are read by the program's
// own reader, and read back to settings that write the same lines again.
//
// Input: one byte choosing the file the options apply to, then the
// arguments, each ended by a line feed. An argument that is one byte below
// 0x20 stands for an option name (so short inputs reach every option).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "app/SettingsArgs.h"
#include "comm/Connection.h"
#include "comm/LinkSettings.h"
#include "comm/LinkState.h"

namespace {

constexpr std::array<std::string_view, 17> kOptions = {
    "--comm-port", "--device", "--protocol", "--baud", "--parity", "--address", "--modbus-address", "--family",
    "--revision", "--echo", "--no-echo", "--node", "--node-mac", "--listen-port", "--print", "ascii", "rtu"};

wm::LinkSettings Base(std::uint8_t choice) {
    wm::LinkSettings s;
    switch (choice % 4) {
    case 0: break; // a new file
    case 1:        // a Modbus file with a device
        s.protocol = wm::SerialProtocol::ModbusRtu;
        s.parity = 'e';
        s.device = "/dev/pts/3";
        break;
    case 2: // a node
        s.node = true;
        s.nodeMac = "0080A3123456";
        s.nodeIP = "10.0.0.2";
        s.listenPort = 8080;
        break;
    default: // no port at all
        s.portType = 0;
        s.boardCode = 7;
        break;
    }
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    wm::fuzz::Bytes in(data, size);
    const wm::LinkSettings base = Base(in.Byte());
    std::vector<std::string> args;
    const std::string rest = in.Rest();
    std::size_t start = 0;
    while (start < rest.size() && args.size() < 64) {
        const std::size_t end = std::min(rest.find('\n', start), rest.size());
        std::string arg = rest.substr(start, end - start);
        if (arg.size() == 1 && static_cast<unsigned char>(arg[0]) < 0x20)
            arg = std::string(kOptions[static_cast<unsigned char>(arg[0]) % kOptions.size()]);
        args.push_back(std::move(arg));
        start = end + 1;
    }

    std::string problem;
    const std::optional<wm::SettingsArgs> parsed = wm::ParseSettingsArgs(args, problem);
    if (!parsed) {
        WM_FUZZ_CHECK(!problem.empty());
        return 0;
    }
    const wm::LinkSettings s = wm::ApplySettingsArgs(*parsed, base);
    WM_FUZZ_CHECK(!(s.node && !s.device.empty()));
    const wm::SettingsLines lines = wm::BuildSettingsLines(s);
    if (!lines.problem.empty()) {
        WM_FUZZ_CHECK(lines.line1.empty() && lines.line2.empty());
        return 0;
    }
    WM_FUZZ_CHECK(lines.line1.size() >= 17 && lines.line1.size() <= 21 && lines.line2.size() == 29);
    WM_FUZZ_CHECK(s.device.empty() || wm::DeviceProblem(s.device).empty());

    // The file's two lines as the program reads them at start-up.
    const wm::SettingsText text = wm::ParseSettingsText(lines.line1 + "\r\n" + lines.line2 + "\r\n");
    WM_FUZZ_CHECK(text.problem.empty() && text.line1 == lines.line1 && text.line2 == lines.line2);
    wm::LinkState link;
    WM_FUZZ_CHECK(wm::DeriveLinkState(text.line1, text.line2, link).empty());
    WM_FUZZ_CHECK(link.BoardCode != 8 && link.EthernetLink == (s.node ? 1 : 0));
    WM_FUZZ_CHECK(link.SerialMode == static_cast<int>(s.protocol) && link.ModbusAddress == s.modbusAddress);
    WM_FUZZ_CHECK(link.MeterAddress.size() == 1 && link.MeterAddress[0] == s.address);
    WM_FUZZ_CHECK(link.PortType == s.portType && link.CommPortNumber == s.commPort);

    const std::optional<wm::LinkSettings> back = wm::ReadLinkSettings(text.line1, text.line2, problem);
    WM_FUZZ_CHECK(back.has_value());
    const wm::SettingsLines again = wm::BuildSettingsLines(*back);
    WM_FUZZ_CHECK(again.problem.empty() && again.line1 == lines.line1 && again.line2 == lines.line2);
    return 0;
}
