#include "gui/main/Screenshots.h"

#include <QLabel>

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>

#include "comm/Connection.h"
#include "app/Program.h"
#include "gui/main/QtOperator.h"
#include "gui/main/frmConnection.h"
#include "gui/main/frmEther.h"
#include "gui/main/frmFind.h"
#include "gui/main/frmMMenu.h"
#include "gui/main/frmPutPreview.h"
#include "gui/main/frmTraffic.h"
#include "platform/MemoryNodeSockets.h"
#include "platform/MemorySerialPort.h"
#include "platform/VirtualTime.h"
#include "setup/Fields.h"
#include "setup/SetupEditor.h"
#include "transfer/GetSetup.h"
#include "gui/help/frmAppHelp.h"
#include "gui/help/frmMHELP.h"
#include "gui/jumpers/frmJumper.h"
#include "gui/setup/frmEntVal.h"
#include "gui/setup/frmSetupPages.h"
#include "gui/setup/frmWTMenu.h"
#include "setup/Fields.h"
#include "gui/calib/CalibRecordPicture.h"
#include "gui/calib/frmCalib.h"
#include "gui/cmds/frmCmds.h"
#include "gui/readings/frmList.h"
#include "sc/CalibMath.h"
#include "gui/readings/frmGRAPH.h"
#include "gui/readings/frmPlot.h"
#include "readings/RecordFramer.h"
#include "sc/CalibMath.h"
#include <QLineEdit>
#include <QPushButton>
#include <cmath>
#include <map>

namespace wm {

namespace {

// Answers every question with its default and never shows a dialog.
class SilentOperator final : public Operator {
public:
    Answer Ask(const MessageBox& box) override { return box.defaultAnswer; }
    void SetStatus(const std::string&, Rgb) override {}
    void HideStatus() override {}
    void SetProgress(int) override {}
    void SetProgressVisible(bool) override {}
    void SetBusy(bool) override {}
    void Beep() override {}
    std::optional<std::string> ChooseFile(FileDialog, const std::string&, const std::string&,
                                          const std::filesystem::path&, const std::string&) override {
        return std::nullopt;
    }
    void EndProgram() override {}
};

class Shooter {
public:
    explicit Shooter(const QString& folder) : folder_(folder) {}
    void Take(QWidget& widget, const QString& name) {
        QApplication::processEvents();
        Save(widget.grab().toImage(), name);
    }
    // The window with a plain title bar drawn above it, for a window whose
    // caption is part of what it shows (offscreen windows have no frame).
    void TakeWithCaption(QWidget& widget, const QString& name) {
        QApplication::processEvents();
        const QImage body = widget.grab().toImage();
        const QFontMetrics metrics(widget.font());
        const int bar = metrics.height() + 10;
        QImage picture(body.width(), body.height() + bar, QImage::Format_ARGB32);
        picture.fill(QColor(60, 60, 60));
        QPainter painter(&picture);
        painter.setFont(widget.font());
        painter.setPen(Qt::white);
        painter.drawText(QRect(8, 0, body.width() - 16, bar), Qt::AlignVCenter | Qt::AlignLeft, widget.windowTitle());
        painter.drawImage(0, bar, body);
        painter.end();
        Save(picture, name);
    }
    void Save(const QImage& picture, const QString& name) {
        const QString file = folder_.filePath(name + ".png");
        if (picture.save(file, "PNG")) {
            std::printf("%s\n", qPrintable(file));
        } else {
            std::fprintf(stderr, "wmsetup: cannot write %s\n", qPrintable(file));
            failed_ = true;
        }
    }
    [[nodiscard]] bool Failed() const { return failed_; }

private:
    QDir folder_;
    bool failed_ = false;
};

// Page 1 is in front; each page is taken, then the next comes to the front.
void ShootPages(Shooter& shooter, SetupPages& pages, const QString& suffix) {
    for (int n = 1; n <= 3; ++n) {
        frmSetupPage* page = pages.Loaded(n);
        if (page == nullptr) return;
        page->resize(page->sizeHint()); // adjustSize would keep it within part of the screen
        shooter.Take(*page, QString("frmSetup%1%2").arg(n).arg(suffix));
        if (n < 3) pages.Navigate(*page, n + 1);
    }
}

// A signal-conditioner board that answers the calibration's commands, for
// the pictures of the calibration window: the reading follows the input at
// the terminals and the range's word, with a little steady noise.
class CalibDemoMeter {
public:
    CalibDemoMeter(MemorySerialPort& port, int scType) : port_(port), scType_(scType) {
        port_.peerReceive = [this](char b) { Hear(b); };
    }
    ~CalibDemoMeter() { port_.peerReceive = nullptr; }
    CalibDemoMeter(const CalibDemoMeter&) = delete;
    CalibDemoMeter& operator=(const CalibDemoMeter&) = delete;

    double input = 0; // +1 the range's calibration input, -1 reversed, 0 none
    void Select(const CalibRange& range) { range_ = &range; }

private:
    void Hear(char b) {
        line_ += b;
        if (!line_.ends_with("\r\n")) return;
        const std::string code = line_.size() > 4 ? line_.substr(2, line_.size() - 4) : std::string();
        line_.clear();
        const std::string reply = Answer(code);
        if (!reply.empty()) port_.SendFromPeer(reply + "\r", 5000);
    }

    std::string Answer(const std::string& code) {
        char hex[8];
        if (code == "XL24") {
            std::snprintf(hex, sizeof hex, "%02X", scType_);
            return std::string(36, '0') + "0200" + std::string(22, '0') + hex;
        }
        if (code == "G130") return "65";
        if (code.size() == 4 && code.starts_with("X1")) {
            std::snprintf(hex, sizeof hex, "%04X", Word(code.substr(2)));
            return hex;
        }
        // "W1" + address + word; 10, 11 and 1B are the board's settings, not calibration words.
        const std::string address = code.size() == 8 ? code.substr(2, 2) : std::string();
        if (code.starts_with("W1") && !address.empty() && address != "10" && address != "11" && address != "1B") {
            words_[code.substr(2, 2)] = static_cast<unsigned>(std::stoul(code.substr(4), nullptr, 16));
            return {};
        }
        if (code == "B1" && range_ != nullptr) {
            const double noise = (++readings_ % 3) - 1.0;
            const unsigned word = Word(range_->nvAdr);
            const double value =
                range_->calcTyp == 1
                    ? input * (range_->vDesired + 400 + (static_cast<double>(word) - 0x1F40) / range_->factor)
                    : 12 + (static_cast<int>(word) - (word > 0x7FFF ? 0x10000 : 0)) * 10.0 / range_->zeroK;
            std::snprintf(hex, sizeof hex, "%+06d", static_cast<int>(std::lround(value + noise)));
            return hex;
        }
        return {};
    }

    unsigned Word(const std::string& address) const {
        const auto it = words_.find(address);
        return it != words_.end() ? it->second : 0x1F40;
    }

    MemorySerialPort& port_;
    int scType_;
    const CalibRange* range_ = nullptr;
    std::map<std::string, unsigned> words_{{"1A", 0}, {"1E", 0}};
    std::string line_;
    int readings_ = 0;
};

// A meter that answers the gross and net reading requests in Custom ASCII,
// and the peak request too when answerPeak; `line` collects the request.
void AnswerReadings(MemorySerialPort& port, std::string& line, bool answerPeak) {
    port.peerReceive = [&port, &line, answerPeak](char b) {
        line += b;
        if (!line.ends_with("\r\n")) return;
        const std::string code = line.size() > 4 ? line.substr(line.size() - 4, 2) : std::string();
        line.clear();
        if (code == "B3") port.SendFromPeer(" +1250.5\r", 5000);
        if (code == "B2") port.SendFromPeer(" +1003.0\r", 5000);
        if (code == "B4" && answerPeak) port.SendFromPeer(" +1498.5\r", 5000);
    };
}

// The commands window after a gross reading from a meter that answers the
// three reading requests in Custom ASCII.
void ShootCommands(Shooter& shooter, Program& program, MemorySerialPort& port) {
    std::string line;
    AnswerReadings(port, line, true);
    {
        frmCmds window(program);
        window.show();
        window.Command_Click("cmdGross");
        shooter.Take(window, "frmCmds");
    }
    port.peerReceive = nullptr;
}

// The Traffic window after a gross and a net reading, and a peak reading
// the meter never answered.
void ShootTraffic(Shooter& shooter, Program& program, MemorySerialPort& port, QWidget& parent) {
    std::string line;
    AnswerReadings(port, line, false);
    frmTraffic window(program, &parent);
    window.show();
    MeterLink& meter = program;
    for (const char* reading : {"B3", "B2", "B4"}) (void)meter.AskAscii(reading);
    port.peerReceive = nullptr;
    shooter.Take(window, "frmTraffic");
}

// The readings list after a few seconds of a meter sending a reading every
// 100 ms: a load settling on the scale.
void ShootList(Shooter& shooter, Program& program, MemorySerialPort& port, VirtualTime& time) {
    frmList window(program);
    window.show();
    const std::uint64_t start = time.NowUs() + 400'000; // the start command has gone out
    constexpr int kRecords = 75;
    for (int n = 0; n < kRecords; ++n) {
        const double settling = 1250.0 + 48.0 * std::exp(-n / 9.0) * std::cos(n * 0.9);
        char record[16];
        std::snprintf(record, sizeof record, " %+07.1f\r", settling + ((n * 7) % 5 - 2) * 0.5);
        time.At(start + static_cast<std::uint64_t>(n) * 100'000, [&port, text = std::string(record)] {
            port.SendFromPeer(text);
        });
    }
    time.At(start + kRecords * 100'000, [&window] { window.close(); });
    window.ReceiveRecords();
    shooter.Take(window, "frmList");
}

// The calibration window in the middle of a range: two attempts done, a
// third under way and waiting for the input to be reversed.
void ShootCalibration(Shooter& shooter, Program& program, MemorySerialPort& port, int scType, int listIndex,
                      const QString& name) {
    CalibDemoMeter meter(port, scType);
    auto* window = new frmCalib(program);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    if (window->CalibCont()) {
        meter.Select(*FindCalibRange(scType, listIndex));
        window->cboRange_Click(listIndex);
        const auto ready = [&](double input) {
            meter.input = input;
            window->cmdReady_Click();
        };
        ready(1);
        ready(-1);
        ready(1);
        window->cmdRepeat_Click();
        ready(-1);
        window->cmdRepeat_Click();
    }
    window->resize(window->sizeHint());
    window->show();
    shooter.Take(*window, name);
    if (scType == kScTypeDC) {
        // The record as Print Record puts it on paper, after the second attempt was kept.
        window->cmd_Click(2);
        CalibRecord record = window->Procedure().Record();
        record.dateTime = "2026-12-07 10:15:00";
        shooter.Save(CalibRecordPicture(record), "calib-record");
    }
    delete window;
}

// A reading of a weighing that the pictures of the plot and the graph show:
// an empty platform near 1000, a load put on at 12 s that settles at 1024
// (past the plot's top for the first second), taken off at 36 s.
double DemoWeight(double seconds, int n) {
    const double noise = 0.6 * std::sin(n * 1.7) + 0.4 * std::sin(n * 0.37);
    if (seconds < 12) return 1000 + noise;
    if (seconds < 36) {
        const double t = seconds - 12;
        return 1024 + 25 * std::exp(-t / 2) * std::cos(t * 2.2) + noise;
    }
    return 1000 + 3 * std::exp(-(seconds - 36) / 2) + noise;
}

// The plot and the graph drawing readings from a meter that sends one
// record every half second (the graph: every tenth of a second, around
// 1000 with a spread of a few units and a few readings beyond its bins).
void ShootCharts(Shooter& shooter, Program& program, VirtualTime& time, MemorySerialPort& port) {
    port.peerReceive = nullptr;
    const RecordCharacters chars = ChooseRecordCharacters(program.setup, program.link.MeterRevision);
    const auto record = [&chars](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%+08.1f", value);
        std::string r = chars.custom && chars.mark && *chars.mark != 0 ? std::string(1, *chars.mark) : std::string();
        return r + text + chars.end;
    };
    for (const bool graph : {false, true}) {
        ReadingsChart* window = graph ? static_cast<ReadingsChart*>(new frmGRAPH(program))
                                      : static_cast<ReadingsChart*>(new frmPlot(program));
        window->resize(860, 560);
        window->Open();
        window->findChild<QLineEdit*>("txtMidVal")->setText("1000");
        window->findChild<QLineEdit*>("txtSmallVal")->setText(graph ? "1" : "1.5");
        window->findChild<QLineEdit*>(graph ? "txtVertScale" : "txtHorzTime")->setText(graph ? "10" : "60");
        const std::uint64_t start = time.NowUs() + 100'000;
        std::uint64_t end = start;
        if (graph) {
            std::uint32_t seed = 12345;
            const auto uniform = [&seed] {
                seed = seed * 1103515245u + 12345u;
                return static_cast<double>((seed >> 8) & 0xFFFF) / 65536.0;
            };
            for (int n = 0; n < 400; ++n) {
                double value = 1000.3;
                for (int k = 0; k < 6; ++k) value += (uniform() - 0.5) * 4.5;
                if (n % 97 == 41 || n == 399) value = 1019 + n % 5; // beyond the bins: the marker
                end = start + 100'000u * static_cast<std::uint64_t>(n);
                time.At(end, [&port, text = record(value)] { port.SendFromPeer(text); });
            }
        } else {
            for (int n = 0; n < 96; ++n) {
                end = start + 500'000u * static_cast<std::uint64_t>(n);
                time.At(end, [&port, text = record(DemoWeight(n * 0.5, n))] { port.SendFromPeer(text); });
            }
        }
        time.At(end + 200'000, [&shooter, window, graph] {
            shooter.Take(*window, graph ? "frmGRAPH" : "frmPlot");
            window->cmdEnd_Click();
        });
        window->findChild<QPushButton*>("cmdOK")->click();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// The Ethernet window while it waits for the node: the first control packet
// could not be sent ("Error"), the second is going out.
void ShootEther(Shooter& shooter, const std::filesystem::path& folder, const std::filesystem::path& helpFolder) {
    const std::filesystem::path settings = folder / "Ethernet.SSS";
    const std::string line2 = std::string("1F90") + "020000123456" + "0000" + "C0A80164" + "0";
    if (WriteSettingsFile(settings, "05010000001000710", line2).empty()) {
        VirtualTime time;
        MemorySerialPort port(time);
        MemoryNodeSockets sockets(time);
        SilentOperator silent;
        QtOperator op(&silent);
        Program program(Platform{port, time, time, op}, ProgramPaths{settings, helpFolder, {}});
        program.AttachNode(sockets);
        program.StartUp();
        frmMMenu menu(program, op);
        frmEther ether(program, menu);
        sockets.sendUdpFails = true;
        QObject::connect(&ether, &frmEther::attemptStarted, [&](int attempt) {
            if (attempt != 2) return;
            ether.show();
            shooter.TakeWithCaption(ether, "frmEther");
        });
        ether.Form_Activate();
    }
}

} // namespace

int RenderScreenshots(const QString& folder, const std::filesystem::path& helpFolder) {
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "wmsetup: cannot create %s\n", qPrintable(folder));
        return 1;
    }
    QTemporaryDir work;
    if (!work.isValid()) return 1;
    // A meter on a serial line that has not been asked for its setup yet.
    const std::filesystem::path settings = std::filesystem::path(work.path().toStdString()) / "Settings.SSS";
    const std::string line2 = std::string("1F90") + "000000000000" + "0000" + "C0A80001" + "0";
    if (!WriteSettingsFile(settings, "05010000001000710", line2).empty()) return 1;

    VirtualTime time;
    MemorySerialPort port(time);
    SilentOperator silent;
    QtOperator op(&silent);
    Program program(Platform{port, time, time, op}, ProgramPaths{settings, helpFolder, {}});
    program.StartUp();

    Shooter shooter(folder);
    frmMMenu window(program, op);
    window.show();
    shooter.Take(window, "frmMMenu");
    for (QMenu* menu : window.menuBar()->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!menu->objectName().startsWith("mnu")) continue; // the bar's own overflow menu
        menu->adjustSize();
        shooter.Take(*menu, menu->objectName());
    }
    // File > Connection... with the settings file's link.
    window.mnuConnection_Click();
    if (frmConnection* connection = window.ConnectionWindow()) {
        // The settings live in a temporary folder here; show where an
        // installed program keeps them, so the picture stays the same.
        if (auto* file = connection->findChild<QLabel*>("lblFile"))
            file->setText("Settings file ~/.config/wmsetup/Settings.SSS");
        shooter.Take(*connection, "frmConnection");
        connection->close();
    }

    window.cmdOK_Click();
    window.mnuDefaultSet_Click();
    shooter.Take(window, "frmMMenu-default-setup");
    window.ShowStatus(QString::fromStdString(GetFailureCaption(21)), Rgb{255, 0, 0});
    window.ShowProgress(25);
    window.SetProgressVisible(true);
    shooter.Take(window, "frmMMenu-get-failed");

    // The value entry dialog, shown without waiting for it, on a set point
    // and on a byte of the default setup as the pages hand them over.
    frmEntVal entry(&window);
    for (const auto& [field, name] : {std::pair{"SetPt1", "frmEntVal"}, std::pair{"ModbusAddr", "frmEntVal-byte"}}) {
        const FieldDef& def = *FindField(field);
        int dp = program.derived.DisplayDP;
        const std::string text = def.kind == FieldKind::Byte ? " " + std::to_string(program.setup.ByteAt(def.pos))
                                                             : program.setup.FormatField(def.kind, def.pos, dp);
        entry.LoadDigits(EntryRequest{def.kind, def.pos, text}, op, true);
        entry.show();
        shooter.Take(entry, name);
        entry.hide();
    }

    // What a Put of the default setup with two fields changed would list.
    SetupImage edited = program.setup;
    StoreFieldCode(edited, FieldNamed("AutoZ"), 3);
    edited.Put(FieldNamed("SetPt1").pos, "00007B");
    PutPreview preview;
    for (const FieldChange& c : CompareSetups(program.setup, edited)) preview.changes.push_back({c.name, c.a, c.b});
    frmPutPreview box(preview, &window);
    box.show();
    shooter.Take(box, "frmPutPreview");
    box.hide();

    // The three setup pages on the default setup, then on a load cell with
    // every option board, reading coordinates and Modbus RTU (the fields it
    // changed carry the change marker).
    {
        SetupPages pages(program, &window);
        pages.Open();
        ShootPages(shooter, pages, "");
        SetupEditor& editor = pages.Editor();
        for (const auto& [control, choice] : {std::pair{"cboSCOpt", 1}, {"cboRlyOpt", 1}, {"cboComOpt", 2},
                                             {"cboAnaOpt", 1}, {"cboDecPt", 2}, {"optRdCoord", 1},
                                             {"cboSerProtocol", 1}, {"cboTimConst", 3}})
            (void)editor.Choose(control, choice);
        if (frmSetupPage* three = pages.Loaded(3)) pages.Navigate(*three, 1);
        ShootPages(shooter, pages, "-load-cell");
        // Back to Custom ASCII: the pages switched the program's link too,
        // and the calibration window below works in Custom ASCII only.
        (void)editor.Choose("cboSerProtocol", 0);
        if (frmSetupPage* three = pages.Loaded(3)) three->hide();
    }

    window.OpenAppHelp();
    if (frmAppHelp* help = window.HelpWindow()) shooter.Take(*help, "frmAppHelp");
    {
        frmMHELP setupHelp(&window);
        setupHelp.show();
        setupHelp.adjustSize();
        shooter.Take(setupHelp, "frmMHELP");
    }
    // The jumper windows with their topics from the help files.
    for (const QString& name : JumperWindowNames()) {
        frmJumper* jumper = MakeJumperWindow(name, program, &window);
        jumper->resize(jumper->sizeHint().expandedTo(QSize(820, 400)));
        jumper->show();
        shooter.Take(*jumper, name);
        jumper->cmdOK_Click();
    }

    // The front-panel menu view of the default setup, then of a load-cell
    // meter in strain, 100 mV, scaled by reading coordinates, with alarm 2
    // disabled and meter address 26.
    window.mnuDefaultSet_Click();
    {
        frmWTMenu view(program);
        view.show();
        shooter.Take(view, "frmWTMenu");
    }
    program.setup.Put(33, "08");
    program.setup.Put(35, "03");
    program.setup.Put(39, "03");
    program.setup.Put(45, "1A");
    program.setup.Put(55, "C2");
    program.setup.Put(59, "99");
    program.setup.Put(85, "FFFB2E");
    {
        frmWTMenu view(program);
        view.show();
        shooter.Take(view, "frmWTMenu-load-cell");
    }
    ShootCalibration(shooter, program, port, kScTypeDC, 1, "frmCalib-dc");
    ShootCalibration(shooter, program, port, kScTypeLoadCell, 4, "frmCalib-load-cell");
    ShootCommands(shooter, program, port);
    ShootTraffic(shooter, program, port, window);
    ShootList(shooter, program, port, time);
    ShootCharts(shooter, program, time, port);
    ShootEther(shooter, std::filesystem::path(work.path().toStdString()), helpFolder);
    // Last, as its tries move the clock: Find part-way through a quick scan of
    // a line where nothing answers (the waits pass in virtual time).
    {
        frmFind find(program, program.link.SettingsLine1, ScanMode::Quick, &window);
        QObject::connect(&find, &frmFind::tryStarted, &find, [&shooter, &find](int done, int) {
            if (done != 30) return;
            shooter.Take(find, "frmFind");
            find.cmdCancel_Click();
        });
        (void)find.Run();
    }
    return shooter.Failed() ? 1 : 0;
}

} // namespace wm
