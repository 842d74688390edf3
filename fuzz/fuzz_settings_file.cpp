// Settings.SSS as the program reads it at start-up: the file's two lines,
// the link state derived from them, the port settings text, and the rewrite
// the program makes at its end, read back.
// The input is parsed as the file's bytes; the rewrite goes through a file.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "comm/Connection.h"
#include "comm/LinkState.h"
#include "platform/SerialPortControl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path folder = wm::fuzz::ScratchFolder::Instance().Path();
    const wm::SettingsText text = wm::ParseSettingsText(wm::fuzz::View(data, size));
    if (!text.problem.empty()) return 0;
    for (const std::string* line : {&text.line1, &text.line2}) {
        WM_FUZZ_CHECK(line->find('\n') == std::string::npos && line->find(',') == std::string::npos);
        WM_FUZZ_CHECK(line->empty() || line->front() != ' ');
    }

    wm::LinkState link;
    const std::string problem = wm::DeriveLinkState(text.line1, text.line2, link);
    if (!problem.empty()) {
        WM_FUZZ_CHECK(!link.SettingsUsable);
        return 0;
    }
    WM_FUZZ_CHECK(link.SettingsUsable);
    WM_FUZZ_CHECK(link.BaudIndex >= 0 && link.BaudIndex <= 7);
    WM_FUZZ_CHECK(link.SerialMode >= 0 && link.SerialMode <= 2 && link.UseModbus == (link.SerialMode != 0));
    WM_FUZZ_CHECK(link.PortType >= 0 && link.PortType <= 2 && link.ParityCode >= 0 && link.ParityCode <= 2);
    WM_FUZZ_CHECK(link.ModbusAddress >= 1 && link.ModbusAddress <= 255);
    WM_FUZZ_CHECK(link.ModbusAddressHex.size() == 2 && wm::fuzz::IsUpperHex(link.ModbusAddressHex));
    WM_FUZZ_CHECK(link.MeterAddress.size() == 1 && link.CharTimeMs >= 0);
    WM_FUZZ_CHECK(link.SettingsLine1.size() >= 17 && link.SettingsLine2.size() >= 28);
    WM_FUZZ_CHECK(wm::ParseLineSettings(wm::PortSettingsText(link)).ok);

    // What the program writes back is read back to the same link.
    const std::filesystem::path again = folder / "Settings-again.SSS";
    WM_FUZZ_CHECK(wm::WriteSettingsFile(again, link.SettingsLine1, link.SettingsLine2).empty());
    const wm::SettingsText reread = wm::ReadSettingsFile(again);
    WM_FUZZ_CHECK(reread.problem.empty() && reread.line1 == link.SettingsLine1 &&
                  reread.line2 == link.SettingsLine2);
    wm::LinkState second;
    WM_FUZZ_CHECK(wm::DeriveLinkState(reread.line1, reread.line2, second).empty());
    WM_FUZZ_CHECK(second.BaudIndex == link.BaudIndex && second.SerialMode == link.SerialMode &&
                  second.ModbusAddress == link.ModbusAddress && second.MeterAddress == link.MeterAddress &&
                  second.BoardCode == link.BoardCode && second.EthernetLink == link.EthernetLink);
    return 0;
}
