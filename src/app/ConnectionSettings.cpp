#include "app/ConnectionSettings.h"

#include "app/LinkText.h"
#include "app/Program.h"

namespace wm {

LinkSettings CurrentLinkSettings(const Program& program) {
    const LinkSettingsFile file = ReadLinkSettingsFile(program.paths.settingsFile);
    return file.settings.value_or(LinkSettings{});
}

ConnectionSaved SaveConnectionSettings(Program& program, const LinkSettings& settings) {
    ConnectionSaved out;
    const LinkState before = program.link;
    const std::string deviceBefore = program.platform.port.Device();
    out.problem = WriteLinkSettings(program.paths.settingsFile, settings);
    if (!out.problem.empty()) return out;

    const std::string overridden =
        program.paths.portOverride.empty()
            ? std::string()
            : " (for this run the device is " + program.paths.portOverride + ", named on the command line)";
    if (before.EthernetLink == 1 || settings.node || program.x.NodeConnectPending == 1 || program.txn.Waiting()) {
        out.message = "The connection settings are saved; they take effect when the program next starts.";
        return out;
    }
    program.conn.OpenConnection();
    out.reopened = true;
    const bool changed = program.link.SettingsLine1 != before.SettingsLine1 ||
                         program.link.SettingsLine2 != before.SettingsLine2 ||
                         program.platform.port.Device() != deviceBefore || !before.SettingsUsable;
    if (changed) {
        program.SetupReceived = 0;
        if (BaselineOnMeter(program.baseline)) program.baseline.source = SetupSource::None;
    }
    out.message = "The connection settings are saved and in use" + overridden + ":\r" +
                  DescribeLink(program.link, program.platform.port.Device());
    return out;
}

} // namespace wm
