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
#include "gui/main/frmPutPreview.h"
#include "platform/MemorySerialPort.h"
#include "platform/VirtualTime.h"
#include "setup/Fields.h"
#include "setup/SetupEditor.h"
#include "transfer/GetSetup.h"
#include "gui/help/frmAppHelp.h"

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

    window.OpenAppHelp();
    if (frmAppHelp* help = window.HelpWindow()) shooter.Take(*help, "frmAppHelp");
    return shooter.Failed() ? 1 : 0;
}

} // namespace wm
