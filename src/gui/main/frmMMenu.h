#pragma once
// The main menu window: the hub from which every function of the program is
// reached. It shows the menu help, the status line and the progress of a
// transfer, and keeps the menus in step with the run state: no port, a port
// but no setup yet, a setup received from the meter.
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "app/Program.h"
#include "platform/Operator.h"

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace wm {

class QtOperator;
class frmAppHelp;
class frmWTMenu;
class frmCalib;
class frmCmds;
class frmConnection;
class frmList;
class frmTraffic;
class frmJumper;
class frmMHELP;
class ReadingsChart;

// The lines of the menu help, in the order they are printed.
[[nodiscard]] const QStringList& MenuHelpLines();

class frmMMenu final : public QMainWindow {
    Q_OBJECT

public:
    // The window attaches itself to `op`, which must be the operator that
    // `program` was built with, so the core's status and progress reach
    // lblPGText and pbBar.
    frmMMenu(Program& program, QtOperator& op, QWidget* parent = nullptr);
    ~frmMMenu() override;

    // Methods other windows call.
    void Form_Activate();
    void RestoreScreen();
    void MsgErr();
    void DefaultData();

    // Status line and progress bar (the operator's SetStatus, SetProgress...).
    void ShowStatus(const QString& caption, Rgb background);
    void HideStatus();
    void ShowProgress(int percent);
    void SetProgressVisible(bool visible);

    // The lines printed in picText, first to last.
    [[nodiscard]] QStringList Lines() const { return lines_; }
    [[nodiscard]] int HelpTopic() const { return helpTopic_; }
    void SetHelpTopic(int topic) { helpTopic_ = topic; }
    // Created the first time F1 is pressed.
    [[nodiscard]] frmAppHelp* HelpWindow() const;
    // The front-panel menu view while it is open.
    [[nodiscard]] frmWTMenu* MenuView() const;
    // A menu item by its name: the item itself, or a menu's heading.
    [[nodiscard]] QAction* Item(const QString& name) const;
    // True while a Get, Put or SigCondType exchange is running.
    [[nodiscard]] bool ExchangeRunning() const { return busy_; }
    // Shows the link and the setup file in the status bar.
    void UpdateLinkBar();

    // F1 (key code 112) anywhere on the window.
    void Form_KeyDown(int keyCode);
    void OpenAppHelp();

    void cmdMenuHelp_Click();
    void cmdOK_Click();
    void picText_Click();

    void mnuFile_Click();
    void mnuDefaultSet_Click();
    void mnuOpen_Click();
    // Opens a named setup file as Open Setup does, without the dialog (the
    // file named on the command line).
    void OpenSetupFile(const std::filesystem::path& file);
    void mnuSave_Click();
    void mnuSaveAs_Click();
    // File > Connection: the link settings window; a saved change is in use
    // at once on a serial line (see SaveConnectionSettings).
    void mnuConnection_Click();
    [[nodiscard]] frmConnection* ConnectionWindow() const;
    void mnuExit_Click();
    void mnuMeter_Click();
    void mnuGet_Click();
    void mnuPut_Click();
    void mnuView_Click();
    void mnuSetup_Click();
    void mnuMenu_Click();
    // View > Traffic: the frames on the wire, beside this window; reached
    // without a setup too, so a Get that fails can be watched.
    void mnuTraffic_Click();
    [[nodiscard]] frmTraffic* TrafficWindow() const;
    void mnuCmds_Click();
    void mnuCmdsGo_Click();
    // The commands window while it is open.
    [[nodiscard]] frmCmds* CmdsWindow() const;
    void mnuMRdgs_Click();
    void mnuList_Click();
    // The readings list while it is open.
    [[nodiscard]] frmList* ListWindow() const;
    void mnuPlot_Click();
    void mnuGraph_Click();
    // The plot or graph window while it is open.
    [[nodiscard]] ReadingsChart* ChartWindow() const;
    void mnuJmps_Click();
    void mnuJumper_Click(const QString& window);
    // The jumper window of that name while it is open.
    [[nodiscard]] frmJumper* JumperWindow(const QString& name) const;
    void mnuCalib_Click();
    // The calibration window while it is open.
    [[nodiscard]] frmCalib* CalibWindow() const;
    void mnuSCType_Click();
    void mnuSCDC_Click();
    void mnuSCLC_Click();
    void mnuMHelp_Click();
    // The setup help window while it is open.
    [[nodiscard]] frmMHELP* SetupHelpWindow() const;

Q_SIGNALS:
    // The program is to end: Exit, the close box, or a request from the core.
    void programEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    QMenu* AddMenu(QMenu* parent, const char* name, const char* caption);
    QAction* AddItem(QMenu* parent, const char* name, const char* caption);
    void Form_Load();
    void CentreOnScreen();

    void ClearText();
    void Print(const QString& line);
    void SetLines(const std::vector<std::string>& lines);
    // True, after a beep, while an exchange runs or the program is ending:
    // the item then does nothing, and the status line of the transfer stays.
    bool Refused();
    void ApplyMenuStates();
    void EnableAfterGet();
    void SCTypeForce(bool loadCell);
    void OpenCalibration();
    // True, after telling the operator, when the protocol in use is Modbus:
    // the meter's continuous output exists only in Custom ASCII.
    bool RefuseReadingsUnderModbus();
    // The plot or the graph stands in for this window until it is left.
    void OpenChart(const std::function<ReadingsChart*()>& make);

    // Runs one exchange with the meter: refused with a beep while another
    // runs; every menu is off meanwhile. `apply`
    // runs only when the window still exists, and a request to end the
    // program made meanwhile is carried out afterwards.
    template <class Core, class Apply>
    void RunExchange(Core core, Apply apply);
    // Ends the program; `orderly` rewrites Settings.SSS and lets the port drain.
    bool EndProgram(bool orderly);

    Program& program_;
    QtOperator& op_;

    QAction* mnuFile = nullptr;
    QAction* mnuMeter = nullptr;
    QAction* mnuPut = nullptr;
    QAction* mnuView = nullptr;
    QAction* mnuMenu = nullptr;
    QAction* mnuSetup = nullptr;
    QAction* mnuCmds = nullptr;
    QAction* mnuMRdgs = nullptr;
    QAction* mnuCalib = nullptr;
    QAction* mnuSCType = nullptr;
    QAction* mnuJmps = nullptr;
    QAction* mnuMHelp = nullptr;
    QMenu* mnuMRdgsMenu = nullptr;

    QPushButton* cmdOK = nullptr;
    QPushButton* cmdMenuHelp = nullptr;
    QPlainTextEdit* picText = nullptr;
    QLabel* lblWait = nullptr;
    QLabel* lblPGText = nullptr;
    QProgressBar* pbBar = nullptr;
    QLabel* lblLink = nullptr;
    QLabel* lblSetupFile = nullptr;
    QPointer<frmAppHelp> help_;
    QPointer<frmWTMenu> menuView_;
    QPointer<frmCalib> calib_;
    QPointer<frmCmds> cmds_;
    QPointer<frmList> list_;
    QPointer<ReadingsChart> chart_;
    QPointer<frmMHELP> setupHelp_;
    QPointer<frmConnection> connection_;
    QPointer<frmTraffic> traffic_;
    std::vector<QPointer<frmJumper>> jumpers_;

    QStringList lines_;
    int helpTopic_ = 3118;
    // Decided by the run state and by what has been loaded; while an
    // exchange runs every menu is off on top of it.
    bool meterOn_ = false, rdgsOn_ = false, calibOn_ = false, scTypeOn_ = false;
    bool putOn_ = false, viewOn_ = false, cmdsOn_ = false;
    bool busy_ = false;
    bool closeRequested_ = false;
    bool ended_ = false;
};

} // namespace wm
