#pragma once
// The platform interfaces on Qt: the serial port on QSerialPort, waits that
// block in a nested event loop until data arrives or the deadline passes
// (the window stays responsive, the CPU stays idle), and the wall clock.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Operator.h"
#include "platform/SerialPortControl.h"

namespace wm {

class QtClock final : public Clock {
public:
    QtClock();
    [[nodiscard]] std::uint32_t TickMs() const override;
    [[nodiscard]] double SecondsSinceMidnight() const override;

private:
    QElapsedTimer timer_;
    std::uint32_t base_;
};

class QtEventPump final : public EventPump {
public:
    void ProcessEvents() override;
    void WaitFor(std::uint32_t ms) override;
    // Ends the innermost wait early: something arrived.
    void Wake() override;

private:
    std::vector<QEventLoop*> loops_;
};

class QtSerialPort final : public SerialPortControl {
public:
    explicit QtSerialPort(QtEventPump& pump);
    void SetDevice(const std::string& device) override;
    [[nodiscard]] std::string Device() const override { return device_; }
    bool SetSettings(const std::string& settings) override;
    [[nodiscard]] std::string Settings() const override { return settings_; }
    bool Open(std::string& error) override;
    void Close() override;
    [[nodiscard]] bool IsOpen() const override { return port_.isOpen(); }
    void SetRTSEnable(bool on) override;
    void SetDTREnable(bool on) override;
    void SetHandshaking(int mode) override;
    [[nodiscard]] int InBufferCount() override;
    [[nodiscard]] int OutBufferCount() override;
    std::string Input() override;
    void Output(const std::string& bytes) override;
    void SetWakeThreshold(std::size_t chars) override;
    [[nodiscard]] bool Gone() const override { return gone_; }

    // A pseudo-terminal: no modem lines, always 8 data bits without parity.
    [[nodiscard]] bool IsPseudoTerminal() const;
    // A USB serial adapter (ttyUSB, ttyACM, or a link to one): it delivers
    // characters in packets, and its driver passes every settings change on
    // to the adapter as a USB request.
    [[nodiscard]] bool IsUsbAdapter() const;

private:
    void OnError(QSerialPort::SerialPortError error);

    QtEventPump& pump_;
    QSerialPort port_;
    bool gone_ = false;
    std::string device_;
    std::string settings_ = "9600,n,8,1";
    LineSettings line_;
    bool rts_ = false, dtr_ = false;
    // The minimum read count in force (1: none), and the terminal's own
    // minimum read count and time-out from before it was changed.
    std::size_t wakeThreshold_ = 1;
    unsigned char ownMin_ = 0, ownTime_ = 0;
    bool usbAdapter_ = false;
};

// The operator of wmctl: questions are answered by a policy (from the
// command-line flags) and printed with the answer given; the status line is
// kept so the program can print it; progress goes nowhere.
class ConsoleOperator final : public Operator {
public:
    std::function<Answer(const MessageBox&)> policy;
    std::optional<std::string> fileToChoose;
    bool verbose = false;

    Answer Ask(const MessageBox& box) override;
    void SetStatus(const std::string& caption, Rgb background) override;
    void HideStatus() override { statusVisible = false; }
    void SetProgress(int value) override { progress = value; }
    void SetProgressVisible(bool) override {}
    void SetBusy(bool) override {}
    void Beep() override {}
    std::optional<std::string> ChooseFile(FileDialog, const std::string&, const std::string&,
                                          const std::filesystem::path&, const std::string&) override {
        return fileToChoose;
    }
    void EndProgram() override { endRequested = true; }

    std::string status;
    Rgb statusColour;
    bool statusVisible = false;
    int progress = 0;
    bool endRequested = false;
    int questions = 0;
};

} // namespace wm
