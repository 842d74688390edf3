#include "comm/Connection.h"

#include <cmath>
#include <system_error>

#include "comm/LinkSettings.h"
#include "comm/Tables.h"
#include "platform/Files.h"
#include "comm/Transaction.h"

namespace wm {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

bool AllDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!IsDigit(c)) return false;
    return true;
}

int Number(const std::string& digits) {
    int n = 0;
    for (char c : digits) n = n * 10 + (c - '0');
    return n;
}


std::string TwoHex(int v) {
    std::string s;
    s += HexDigits[static_cast<std::size_t>((v >> 4) & 15)];
    s += HexDigits[static_cast<std::size_t>(v & 15)];
    return s;
}

// Whole milliseconds of one character of `bits` bit times, rounded to
// nearest with halves to even (the way the counts have always been rounded).
int CharTime(double bitTimesMs, int baud) { return static_cast<int>(std::nearbyint(bitTimesMs / baud)); }

// The board code is character 17 and everything after it, read as a decimal
// number. Code 8 names an instrument this program must not set up; it is
// recognised on its own, whatever else line 1 holds: the digits from 17 on
// stand for the number 8 (leading zeros allowed).
bool NamesWrongInstrument(const std::string& line1) {
    if (line1.size() < 17 || !AllDigits(line1.substr(16))) return false;
    const std::size_t first = line1.find_first_not_of('0', 16);
    return first != std::string::npos && line1.substr(first) == "8";
}

int BaudOf(const LinkState& link) { return std::stoi(std::string(BaudRates[static_cast<std::size_t>(link.BaudIndex)])); }

} // namespace

SettingsText ParseSettingsText(std::string_view bytes) {
    SettingsText s;
    if (bytes.empty()) {
        s.problem = "the file is empty";
        return s;
    }
    const std::size_t end1 = bytes.find('\n');
    s.line1 = FirstFieldOfLine(bytes.substr(0, end1));
    // A line 2 is there when anything follows line 1's LF, if only its own LF.
    if (end1 == std::string_view::npos || end1 + 1 == bytes.size()) {
        s.problem = "the second line is missing";
        return s;
    }
    const std::string_view rest = bytes.substr(end1 + 1);
    s.line2 = FirstFieldOfLine(rest.substr(0, rest.find('\n')));
    return s;
}

SettingsText ReadSettingsFile(const std::filesystem::path& file) {
    const FileBytes read = ReadFileBounded(file, SettingsFileMaxBytes);
    SettingsText s;
    if (!read.problem.empty()) {
        s.problem = read.problem;
    } else if (!read.whole) {
        s.problem = "the file is longer than " + std::to_string(SettingsFileMaxBytes) +
                    " bytes; a settings file is two short lines";
    } else {
        s = ParseSettingsText(read.bytes);
    }
    return s;
}

std::string WriteSettingsFile(const std::filesystem::path& file, const std::string& line1, const std::string& line2) {
    // The user's configuration folder may not exist yet the first time.
    std::error_code ec;
    if (const std::filesystem::path folder = file.parent_path(); !folder.empty() && !std::filesystem::exists(folder, ec))
        std::filesystem::create_directories(folder, ec); // a failure is told by the write
    return WriteFileReplacing(file, line1 + "\r\n" + line2 + "\r\n");
}

std::string DeriveLinkState(const std::string& line1In, const std::string& line2, LinkState& link) {
    link = LinkState{};
    link.SettingsLine1 = line1In;
    link.SettingsLine2 = line2;
    std::string& line1 = link.SettingsLine1;
    if (line1.size() < 16) return "line 1 has " + std::to_string(line1.size()) + " characters, at least 16 are needed";
    if (line2.size() < 28) return "line 2 has " + std::to_string(line2.size()) + " characters, at least 28 are needed";
    for (std::size_t i = 0; i < 28; ++i)
        if (!IsHexDigit(line2[i])) return "line 2 holds a character that is not a hexadecimal digit at position " + std::to_string(i + 1);

    link.EthernetLink = line2.substr(4, 12) == "000000000000" ? 0 : 1;
    if (line1.size() == 16) line1 += "0";

    const char family = line1[0];
    if (!IsDigit(family)) return "character 1 (meter family) is not a digit";
    link.MeterFamily = family - '0';
    if (link.MeterFamily == 5) link.FamilyFiveFlag = 1;
    if (link.MeterFamily == 4 || link.MeterFamily > 8) link.MeterFamily = 0;

    if (line1[1] < '0' || line1[1] > '7') return "character 2 (baud rate) is not a digit 0 to 7";
    link.BaudIndex = line1[1] - '0';

    if (!AllDigits(line1.substr(2, 2))) return "characters 3-4 (serial port number) are not digits";
    link.CommPortNumber = Number(line1.substr(2, 2));

    if (line1[4] < '0' || line1[4] > '2') return "character 5 (protocol) is not 0, 1 or 2";
    link.SerialMode = line1[4] - '0';
    link.UseModbus = link.SerialMode != 0 ? 1 : 0;

    const int baud = BaudOf(link);
    link.CharTimeMs = CharTime(link.SerialMode == 1 ? 11000.0 : 10000.0, baud);

    if (!AllDigits(line1.substr(12, 3))) return "characters 13-15 (meter revision) are not digits";
    link.MeterRevision = Number(line1.substr(12, 3));

    if (line1[5] < '0' || line1[5] > '2') return "character 6 (parity) is not 0, 1 or 2";
    link.ParityCode = line1[5] - '0';
    if (!IsDigit(line1[6])) return "character 7 (Modbus time-out) is not a digit";
    link.ModbusTimeoutChoice = line1[6] - '0';

    if (!AllDigits(line1.substr(8, 3))) return "characters 9-11 (Modbus address) are not digits";
    const int modbusAddress = Number(line1.substr(8, 3));
    if (modbusAddress > 255) return "characters 9-11 (Modbus address) name more than 255";
    SetLinkModbusAddress(link, modbusAddress == 0 ? 1 : modbusAddress);

    if (!IsDigit(line1[11])) return "character 12 (setup flag) is not a digit";
    link.SetupFlag = line1[11] - '0';

    // Addresses 0-31 are written 0-9 then A-V, upper case only.
    const char address = line1[7];
    int v = 0;
    if (IsDigit(address)) {
        v = address - '0';
    } else if (address >= 'A' && address <= 'V') {
        v = address - 'A' + 10;
    } else {
        return "character 8 (meter address) is not 0-9 or A-V";
    }
    SetLinkMeterAddress(link, v);

    if (!AllDigits(line1.substr(16))) return "characters 17 on (board code) are not a number";
    if (line1.size() > 21) return "characters 17 on (board code) are too long";
    link.BoardCode = Number(line1.substr(16));

    if (!IsDigit(line1[15])) return "character 16 (port type) is not a digit";
    link.PortType = line1[15] - '0';
    if (link.PortType > 2) return "character 16 (port type) is not 0, 1 or 2";

    // On the serial link the character time is always 11 bit times.
    if (link.EthernetLink == 0) link.CharTimeMs = CharTime(11000.0, baud);
    link.SettingsUsable = true;
    return {};
}

void SetLinkMeterAddress(LinkState& link, int v) {
    if (v < 10) {
        link.MeterAddress = link.AddressDisplay = std::string(1, static_cast<char>('0' + v));
    } else if (v < 16) {
        link.MeterAddress = link.AddressDisplay = std::string(1, static_cast<char>('A' + v - 10));
    } else {
        link.MeterAddress = std::string(1, static_cast<char>(v + 55));
        link.AddressDisplay = std::string(1, HexDigits[static_cast<std::size_t>(v - 16)]) + ".";
    }
}

void SetLinkModbusAddress(LinkState& link, int address) {
    link.ModbusAddress = address;
    link.ModbusAddressHex = TwoHex(address);
}

std::string UseLinkAddress(LinkState& link, int address) {
    if (link.UseModbus == 0) {
        if (address < 0 || address > 31) return "a meter address in Custom ASCII is 0 to 31, not " + std::to_string(address);
        SetLinkMeterAddress(link, address);
    } else {
        if (address < 1 || address > 255) return "a Modbus address is 1 to 255, not " + std::to_string(address);
        SetLinkModbusAddress(link, address);
    }
    return {};
}

std::string PortSettingsText(const LinkState& link) {
    std::string text(BaudRates[static_cast<std::size_t>(link.BaudIndex)]);
    if (link.UseModbus == 0) return text + ",n,8,1";
    text += ",";
    text += "noe"[link.ParityCode];
    text += "," + std::to_string(9 - link.SerialMode);
    text += "," + std::to_string(2 - (link.ParityCode != 0 ? 1 : 0));
    return text;
}

Connection::Connection(LinkState& link, SerialPortControl& port, Transaction& txn, Operator& op,
                       std::filesystem::path settingsFile, std::string portOverride)
    : link_(link), port_(port), txn_(txn), op_(op), settingsFile_(std::move(settingsFile)),
      portOverride_(std::move(portOverride)) {}

void Connection::Tell(const std::string& problem) {
    if (problem == lastProblem_) return; // start-up opens twice; say it once
    lastProblem_ = problem;
    op_.Ask({problem + "\rThe program goes on without a meter link.", "Connection", Buttons::Ok, Answer::Ok,
             Icon::Exclamation, MessageId::ConnectionProblem});
}

void Connection::OpenConnection() {
    const SettingsText text = ReadSettingsFile(settingsFile_);
    std::string problem = text.problem;
    if (problem.empty()) problem = DeriveLinkState(text.line1, text.line2, link_);
    if (!problem.empty()) {
        link_ = LinkState{};
        link_.SettingsLine1 = text.line1;
        link_.SettingsLine2 = text.line2;
        link_.Problem = problem;
    }

    // The wrong instrument is refused before any problem of the file is told:
    // a malformed field beside it must not let the program go on.
    if (NamesWrongInstrument(text.line1)) {
        link_.BoardCode = 8;
        refused_ = true;
        op_.Ask({"Wrong Instrument Setup program for this meter.  Please terminate program.", "Program Error",
                 Buttons::Ok, Answer::Ok, Icon::None, MessageId::WrongInstrument});
        op_.EndProgram();
        return;
    }
    if (!problem.empty()) {
        if (port_.IsOpen()) port_.Close();
        Tell("Settings file " + settingsFile_.string() + ": " + problem + ".");
        return;
    }

    if (addressOverride_) {
        const std::string bad = UseLinkAddress(link_, *addressOverride_);
        if (!bad.empty()) {
            link_ = LinkState{};
            link_.SettingsLine1 = text.line1;
            link_.SettingsLine2 = text.line2;
            link_.Problem = bad;
            if (port_.IsOpen()) port_.Close();
            Tell("The meter's address: " + bad + ".");
            return;
        }
    }

    if (link_.EthernetLink == 1) return; // the node link is built by the Ethernet window
    if (link_.PortType == 0) {
        lastProblem_.clear();
        return;
    }

    if (port_.IsOpen()) port_.Close();
    const SerialDevice device = ResolveSerialDevice(settingsFile_, link_.CommPortNumber, portOverride_);
    if (!device.problem.empty()) {
        link_.Problem = device.problem;
        link_.PortType = 0; // as with a port that cannot be opened
        Tell("Settings " + device.problem + ".");
        return;
    }
    const std::string error = OpenSerialPort();
    if (!error.empty()) {
        link_.Problem = error;
        link_.PortType = 0; // go on as without a port; the file keeps its own port type
        Tell("Serial port " + port_.Device() + ": " + error + ".");
        return;
    }
    lastProblem_.clear();
}

std::string Connection::OpenSerialPort() {
    if (port_.IsOpen()) port_.Close();
    const SerialDevice device = ResolveSerialDevice(settingsFile_, link_.CommPortNumber, portOverride_);
    if (!device.problem.empty()) return device.problem;
    port_.SetDevice(device.device);
    port_.SetSettings(PortSettingsText(link_));
    port_.SetRTSEnable(true);
    std::string error;
    if (!port_.Open(error)) return error.empty() ? "the port could not be opened" : error;
    port_.SetDTREnable(true);
    return {};
}

void Connection::ClosePort() {
    // A device that went away takes nothing more: no drain, no pause.
    if (port_.Gone()) {
        port_.Close();
        return;
    }
    port_.SetHandshaking(0);
    // Let what is still going out leave the port; a line that never drains
    // must not hold the program, so give it at most five seconds.
    const std::uint32_t start = txn_.GetClock().TickMs();
    while (port_.IsOpen() && port_.OutBufferCount() > 0 && txn_.GetClock().TickMs() - start < 5000)
        txn_.Pump().WaitFor(5);
    txn_.DelayMs(200);
    if (port_.IsOpen()) port_.Close();
}

bool Connection::RewriteSettings() {
    if (!link_.SettingsUsable) return false; // never replace a file we could not read
    const std::string problem = WriteSettingsFile(settingsFile_, link_.SettingsLine1, link_.SettingsLine2);
    if (!problem.empty()) {
        op_.Ask({"Settings file " + settingsFile_.string() + ": " + problem + ".", "Connection", Buttons::Ok,
                 Answer::Ok, Icon::Exclamation, MessageId::SettingsFileNotWritten});
        return false;
    }
    addressOverride_.reset();
    return true;
}

bool Connection::RewriteSettingsAtExit() {
    if (!link_.SettingsUsable) return false;
    std::string& line2 = link_.SettingsLine2;
    if (line2.size() == 28) line2 += "0";
    line2[28] = '1'; // the program ended normally
    return RewriteSettings();
}

} // namespace wm
