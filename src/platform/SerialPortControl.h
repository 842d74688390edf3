#pragma once
// The serial line to the meter, reduced to what the program uses of a serial
// port: settings text, open/close, the two modem lines, buffer counts, read
// everything waiting, write. Byte-transparent: every char is one byte 0..255.
#include <cstddef>
#include <string>

namespace wm {

class SerialPortControl {
public:
    virtual ~SerialPortControl() = default;

    // Device the next Open uses (/dev/ttyS0, /dev/pts/3, COM1 ...).
    virtual void SetDevice(const std::string& device) = 0;
    [[nodiscard]] virtual std::string Device() const = 0;
    // "9600,n,8,1": baud, parity letter n/o/e, data bits, stop bits.
    // Returns false (and changes nothing) for a text it cannot parse.
    virtual bool SetSettings(const std::string& settings) = 0;
    [[nodiscard]] virtual std::string Settings() const = 0;

    // Opens with the current device and settings. On failure returns false
    // and leaves a plain sentence naming the device and the cause.
    virtual bool Open(std::string& error) = 0;
    virtual void Close() = 0;
    [[nodiscard]] virtual bool IsOpen() const = 0;

    // Modem-control lines a device lacks (a pseudo-terminal has none) are
    // ignored; the port stays usable.
    virtual void SetRTSEnable(bool on) = 0;
    virtual void SetDTREnable(bool on) = 0;
    // 0 none (the only mode the program uses).
    virtual void SetHandshaking(int mode) = 0;

    [[nodiscard]] virtual int InBufferCount() = 0;
    [[nodiscard]] virtual int OutBufferCount() = 0;
    // All characters waiting, possibly none.
    virtual std::string Input() = 0;
    virtual void Output(const std::string& bytes) = 0;

    // A reader of the meter's continuous output knows how many characters
    // the record under way still needs: until that many are waiting, no
    // arrival is of use to it. A port that can hold characters back (a
    // terminal device's minimum read count) then wakes the program once per
    // record instead of once per character. chars of 0 or 1: every character
    // wakes it again (the default). Writing to the port, and closing or
    // opening it, end the hold-back, so a reply is never held back. Ports that
    // cannot hold characters back, or gain nothing by it, ignore it.
    virtual void SetWakeThreshold(std::size_t chars) { (void)chars; }

    // True once the device has gone away while open (a USB adapter pulled,
    // the far end of a pseudo-terminal closed): nothing more can be read or
    // written until the next Open, which clears it. Learned while events are
    // processed, like arriving data; the wait that learns it is woken.
    [[nodiscard]] virtual bool Gone() const = 0;
};

// Serial port number n of the settings file names the device
// /dev/ttyS(n-1) on Linux (n = 1 is the first on-board port). The settings'
// device file (comm/LinkSettings.h) names another device (USB adapters, the
// simulator's pseudo-terminal); a --port option overrides both for a run.
[[nodiscard]] std::string DeviceForPortNumber(int commPortNumber);

// Parsed form of a settings text; ok is false when the text is malformed.
struct LineSettings {
    bool ok = false;
    int baud = 9600;
    char parity = 'n'; // n, o, e
    int dataBits = 8;
    int stopBits = 1;
    // Bits on the wire for one character: start + data + parity + stop.
    [[nodiscard]] int BitsPerChar() const { return 1 + dataBits + (parity == 'n' ? 0 : 1) + stopBits; }
};
[[nodiscard]] LineSettings ParseLineSettings(const std::string& text);

} // namespace wm
