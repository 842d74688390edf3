#include "platform/qt/QtPlatform.h"

#include <QCoreApplication>
#include <QTime>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace wm {

QtClock::QtClock() : base_(static_cast<std::uint32_t>(QTime::currentTime().msecsSinceStartOfDay())) {
    timer_.start();
}

std::uint32_t QtClock::TickMs() const { return base_ + static_cast<std::uint32_t>(timer_.elapsed()); }

double QtClock::SecondsSinceMidnight() const { return QTime::currentTime().msecsSinceStartOfDay() / 1000.0; }

void QtEventPump::ProcessEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtEventPump::WaitFor(std::uint32_t ms) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(ms));
    loops_.push_back(&loop);
    loop.exec();
    loops_.pop_back();
}

void QtEventPump::Wake() {
    if (!loops_.empty()) loops_.back()->quit();
}

QtSerialPort::QtSerialPort(QtEventPump& pump) : pump_(pump), line_(ParseLineSettings(settings_)) {
    QObject::connect(&port_, &QSerialPort::readyRead, [this] { pump_.Wake(); });
    QObject::connect(&port_, &QSerialPort::bytesWritten, [this](qint64) {
        if (port_.bytesToWrite() == 0) pump_.Wake();
    });
    QObject::connect(&port_, &QSerialPort::errorOccurred,
                     [this](QSerialPort::SerialPortError error) { OnError(error); });
}

// When the device goes away the descriptor stays readable for ever: a
// pseudo-terminal whose other end closed reads as end of file (Qt reports
// ReadError and keeps its read notifier armed), a pulled USB adapter fails
// with EIO (ResourceError). Left open, the port would wake the event loop
// again and again and spin a core until some time-out passed. So the port is
// marked gone, the waiting loop is woken, and the port is closed once control
// is back in the event loop (closing here would delete the notifier inside
// its own handler). Errors of open, of modem lines a device lacks, and
// NoError (from clearError) say nothing about the device being there.
void QtSerialPort::OnError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        break;
    default:
        return;
    }
    if (!port_.isOpen() || gone_) return;
    gone_ = true;
    QMetaObject::invokeMethod(
        &port_, [this] { Close(); }, Qt::QueuedConnection);
    pump_.Wake();
}

void QtSerialPort::SetDevice(const std::string& device) {
    device_ = device;
    port_.setPortName(QString::fromStdString(device));
}

bool QtSerialPort::SetSettings(const std::string& settings) {
    const LineSettings parsed = ParseLineSettings(settings);
    if (!parsed.ok) return false;
    settings_ = settings;
    line_ = parsed;
    return true;
}

bool QtSerialPort::IsPseudoTerminal() const { return device_.rfind("/dev/pts/", 0) == 0; }

bool QtSerialPort::IsUsbAdapter() const {
    std::error_code error;
    const std::string device = std::filesystem::canonical(device_, error).string();
    return !error && (device.rfind("/dev/ttyUSB", 0) == 0 || device.rfind("/dev/ttyACM", 0) == 0);
}

namespace {
std::string Explain(QSerialPort::SerialPortError e, const QString& qtText) {
    switch (e) {
    case QSerialPort::PermissionError:
        return "permission denied or the port is in use by another program (" + qtText.toStdString() +
               "); a user needs to be in the dialout group to use serial ports";
    case QSerialPort::DeviceNotFoundError:
        return "no such device (unplugged, renumbered, or the port number names a port this machine lacks)";
    default:
        return qtText.toStdString();
    }
}
} // namespace

bool QtSerialPort::Open(std::string& error) {
    if (port_.isOpen()) port_.close();
    gone_ = false;
    wakeThreshold_ = 1;
    usbAdapter_ = IsUsbAdapter();
    port_.setBaudRate(line_.baud);
    // A pseudo-terminal carries 8 bits without parity whatever is asked and
    // refuses 7 data bits or parity; the simulated meter reads 8-bit text.
    const bool pty = IsPseudoTerminal();
    port_.setDataBits(pty ? QSerialPort::Data8 : static_cast<QSerialPort::DataBits>(line_.dataBits));
    port_.setParity(pty || line_.parity == 'n' ? QSerialPort::NoParity
                    : line_.parity == 'o'      ? QSerialPort::OddParity
                                               : QSerialPort::EvenParity);
    port_.setStopBits(line_.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        error = Explain(port_.error(), port_.errorString());
        port_.clearError();
        return false;
    }
    SetRTSEnable(rts_);
    SetDTREnable(dtr_);
    return true;
}

void QtSerialPort::Close() {
    wakeThreshold_ = 1; // closing restores the terminal's settings from before the open
    if (port_.isOpen()) port_.close();
}

// On a terminal device without a read time-out, poll() reports the device
// readable only once VMIN characters are waiting (Linux's line discipline
// does so), so Qt's read notifier, and with it the program, sleeps until the
// record under way can be complete. Read() itself is non-blocking and still
// returns whatever is waiting. A threshold that stays the same costs no call:
// with records of one length the minimum is set once per run, and again only
// when a reader woken late finds part of the next record. A USB adapter is
// left alone: its packets hold several records anyway, and each change would
// cost a request to the adapter.
void QtSerialPort::SetWakeThreshold(std::size_t chars) {
#ifdef Q_OS_UNIX
    const std::size_t wanted = std::clamp<std::size_t>(chars, 1, 255);
    if (!port_.isOpen() || gone_ || wanted == wakeThreshold_ || usbAdapter_) return;
    const int fd = static_cast<int>(port_.handle());
    termios t{};
    if (tcgetattr(fd, &t) != 0) return;
    if (wakeThreshold_ == 1) {
        ownMin_ = t.c_cc[VMIN];
        ownTime_ = t.c_cc[VTIME];
    }
    t.c_cc[VMIN] = wanted == 1 ? ownMin_ : static_cast<cc_t>(wanted);
    t.c_cc[VTIME] = wanted == 1 ? ownTime_ : 0;
    if (tcsetattr(fd, TCSANOW, &t) == 0) wakeThreshold_ = wanted;
#else
    (void)chars;
#endif
}

void QtSerialPort::SetRTSEnable(bool on) {
    rts_ = on;
    if (!port_.isOpen() || IsPseudoTerminal()) return;
    if (!port_.setRequestToSend(on)) port_.clearError(); // a device without the line keeps working
}

void QtSerialPort::SetDTREnable(bool on) {
    dtr_ = on;
    if (!port_.isOpen() || IsPseudoTerminal()) return;
    if (!port_.setDataTerminalReady(on)) port_.clearError();
}

void QtSerialPort::SetHandshaking(int mode) {
    if (!port_.isOpen()) return;
    port_.setFlowControl(mode == 0 ? QSerialPort::NoFlowControl : QSerialPort::HardwareControl);
    wakeThreshold_ = 1; // Qt wrote its own settings back, without a minimum read count
}

int QtSerialPort::InBufferCount() {
    return port_.isOpen() && !gone_ ? static_cast<int>(port_.bytesAvailable()) : 0;
}

int QtSerialPort::OutBufferCount() {
    return port_.isOpen() && !gone_ ? static_cast<int>(port_.bytesToWrite()) : 0;
}

std::string QtSerialPort::Input() {
    if (!port_.isOpen() || gone_) return {};
    const QByteArray data = port_.readAll();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

void QtSerialPort::Output(const std::string& bytes) {
    if (!port_.isOpen() || gone_) return;
    SetWakeThreshold(1); // the reply to what is written must wake the program at once
    port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
    port_.flush();
}

Answer ConsoleOperator::Ask(const MessageBox& box) {
    ++questions;
    Answer a = policy ? policy(box) : box.defaultAnswer;
    if (box.buttons == Buttons::Ok) a = Answer::Ok;
    std::string text = box.text;
    for (char& c : text)
        if (c == '\r') c = '\n';
    const char* name = a == Answer::Yes ? "Yes" : a == Answer::No ? "No" : a == Answer::Cancel ? "Cancel" : "OK";
    std::fprintf(stderr, "%s%s%s\n  -> %s\n", box.title.empty() ? "" : box.title.c_str(),
                 box.title.empty() ? "" : ": ", text.c_str(), name);
    return a;
}

void ConsoleOperator::SetStatus(const std::string& caption, Rgb background) {
    status = caption;
    statusColour = background;
    statusVisible = true;
    if (verbose) std::fprintf(stderr, "status: %s\n", caption.c_str());
}

} // namespace wm
