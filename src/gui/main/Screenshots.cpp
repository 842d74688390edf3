#include "gui/main/Screenshots.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>

#include "comm/Connection.h"
#include "app/Program.h"
#include "gui/main/QtOperator.h"
#include "gui/main/frmMMenu.h"
#include "platform/MemorySerialPort.h"
#include "platform/VirtualTime.h"
#include "transfer/GetSetup.h"
#include "gui/help/frmAppHelp.h"
#include "gui/setup/frmEntVal.h"
#include "gui/setup/frmSetupPages.h"
#include "gui/setup/frmWTMenu.h"
#include "setup/Fields.h"

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
        const QString file = folder_.filePath(name + ".png");
        if (widget.grab().save(file, "PNG")) {
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
        if (frmSetupPage* three = pages.Loaded(3)) three->hide();
    }

    window.OpenAppHelp();
    if (frmAppHelp* help = window.HelpWindow()) shooter.Take(*help, "frmAppHelp");

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
    return shooter.Failed() ? 1 : 0;
}

} // namespace wm
