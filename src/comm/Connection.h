#pragma once
// Settings.SSS and the link it describes. The file is created outside the
// program; the program reads it, derives the link state, opens the serial
// port, and writes it back (after a Put of new serial settings, at exit).
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "comm/LinkState.h"
#include "platform/Operator.h"
#include "platform/SerialPortControl.h"

namespace wm {

class Transaction;

// The two lines of Settings.SSS, or why they could not be read.
struct SettingsText {
    std::string line1, line2;
    std::string problem; // empty when both lines were read
};
// Settings.SSS is two lines of about 20 and 30 characters; a longer file is
// not a settings file and is refused before it is read.
inline constexpr std::size_t SettingsFileMaxBytes = 4096;
// The lines of a settings file's bytes. Lines end at LF; each line's first
// field is taken: leading blanks skipped, up to a comma or the line end, with
// trailing blanks and CRs removed (the lines end in CR LF, and older files
// carry trailing blanks).
[[nodiscard]] SettingsText ParseSettingsText(std::string_view bytes);
// Reads at most SettingsFileMaxBytes of a regular file and parses them. A
// missing file, a folder, a device or a longer file gives the problem.
[[nodiscard]] SettingsText ReadSettingsFile(const std::filesystem::path& file);
// Writes both lines, each ended by CR LF, through a temporary file renamed
// over the old one; a missing folder is made first (the user's configuration
// folder, the first time). Returns an empty string or the problem.
[[nodiscard]] std::string WriteSettingsFile(const std::filesystem::path& file, const std::string& line1,
                                            const std::string& line2);

// Derives every link value from the two lines, in the order the program has
// always derived them. Returns an empty string, or the problem that makes the
// lines unusable (the state is then set for "no meter link").
[[nodiscard]] std::string DeriveLinkState(const std::string& line1, const std::string& line2, LinkState& link);

// The meter address 0-31 (sent as 0-9 then A-V, shown as 0-9, A-F, then
// 0.-F.) and the Modbus address 1-255 (sent as two hex digits), as the link
// holds them.
void SetLinkMeterAddress(LinkState& link, int address);
void SetLinkModbusAddress(LinkState& link, int address);
// Addresses the meter by a number instead of the address Settings.SSS
// holds: the meter address in Custom ASCII, the Modbus address in Modbus.
// The settings' lines are left as they are. Returns an empty string, or why
// the number is no address in the link's protocol (the link is then unchanged).
[[nodiscard]] std::string UseLinkAddress(LinkState& link, int address);

// "9600,n,8,1" for Custom ASCII; Modbus adds parity and 7 or 8 data bits.
[[nodiscard]] std::string PortSettingsText(const LinkState& link);

class Connection {
public:
    Connection(LinkState& link, SerialPortControl& port, Transaction& txn, Operator& op,
               std::filesystem::path settingsFile, std::string portOverride = {});

    // Reads Settings.SSS, sets the link state, opens the serial port when the
    // link is serial (the device: ResolveSerialDevice). A file that cannot be used, or a port that cannot be
    // opened, is told to the operator once and the program goes on without a
    // meter link (PortType 0).
    void OpenConnection();
    // Opens the serial port as the link state says: the device (the
    // override, else the device file beside the settings, else the port
    // number), baud rate, parity, data and
    // stop bits, with RTS and DTR on. An open port is closed first, at once.
    // OpenConnection opens the port through it, and the scan that tries link
    // after link reopens it so. Returns an empty string or why the port could
    // not be opened (nothing is told; the link state is not changed).
    [[nodiscard]] std::string OpenSerialPort();
    // Lets the output drain, waits 200 ms, closes the port.
    void ClosePort();
    // Rewrites Settings.SSS from SettingsLine1 and SettingsLine2.
    bool RewriteSettings();
    // The rewrite at the program's normal end: end flag "1" in line 2.
    bool RewriteSettingsAtExit();

    [[nodiscard]] const std::filesystem::path& SettingsFile() const { return settingsFile_; }
    [[nodiscard]] const std::string& PortOverride() const { return portOverride_; }
    // The meter's address on the port, given instead of the one Settings.SSS
    // holds (UseLinkAddress), at every OpenConnection until Settings.SSS is
    // rewritten: a Put that rewrites it has given the meter the setup's
    // addresses, and the file names them from then on.
    void OverrideAddress(int address) { addressOverride_ = address; }
    // Set when the settings name the wrong instrument (board code 8): the
    // program is to end.
    [[nodiscard]] bool Refused() const { return refused_; }
    // The last problem told to the operator (empty when none).
    [[nodiscard]] const std::string& Problem() const { return lastProblem_; }

private:
    void Tell(const std::string& problem);
    LinkState& link_;
    SerialPortControl& port_;
    Transaction& txn_;
    Operator& op_;
    std::filesystem::path settingsFile_;
    std::string portOverride_;
    std::optional<int> addressOverride_;
    std::string lastProblem_;
    bool refused_ = false;
};

} // namespace wm
