#pragma once
// The front-panel menu view: the setup in memory as the meter's own display
// steps through it, one row per menu item with the six display positions it
// would light. Read-only; a technician keeps it open while setting a meter
// up by its keys. The rows come from BuildMenuRows, so `wmctl menu` prints
// the same thing.
#include <QPointer>
#include <QWidget>
#include <vector>

#include "setup/MenuRows.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace wm {

struct Program;
class frmAppHelp;

class frmWTMenu final : public QWidget {
    Q_OBJECT

public:
    // A window of its own; `parent` (the main window) only owns it. The
    // setup is read once, when the window is made.
    explicit frmWTMenu(Program& program, QWidget* parent = nullptr);
    ~frmWTMenu() override;

    // True when the signal-conditioner check ended the program instead: the
    // view then shows nothing and is to be discarded.
    [[nodiscard]] bool Ended() const { return ended_; }
    // 1 from the view's load until the main window takes over again; while
    // it is set, closing the help window clears the main grid's selection.
    [[nodiscard]] int MenuViewOpen() const { return menuViewOpen_; }
    // The main window's activation: the view is done.
    void Unload();

    [[nodiscard]] int HelpTopic() const { return helpTopic_; }
    // Made by the first row click.
    [[nodiscard]] frmAppHelp* HelpWindow() const { return help_; }
    // The rows shown, grid by grid.
    [[nodiscard]] const std::vector<MenuRow>& Rows() const { return rows_; }

    void Form_Activate();
    void grdMain_Click(int row);
    void grdSetPt_Click(int row);
    void cmdPrinter_Click();
    void cmdMainMenu_Click();

Q_SIGNALS:
    // Main Menu, or the view closed: the main window is to come back.
    void mainMenuWanted();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void Form_Load();
    void FillGrids();
    void ShowHelp(int topic, int leftTwips);
    void FitColumns();

    Program& program_;
    std::vector<MenuRow> rows_;
    std::vector<int> mainTopics_;  // per grdMain row
    std::vector<int> setPtTopics_; // per grdSetPt row
    int helpTopic_ = 0;
    int menuViewOpen_ = 0;
    bool ended_ = false;

    QTableWidget* grdMain = nullptr;
    QLabel* lblInpOpt = nullptr;
    QTableWidget* grdInput = nullptr;
    QTableWidget* grdSetPt = nullptr;
    QLabel* lblSigCond = nullptr;
    QPushButton* cmdPrinter = nullptr;
    QPushButton* cmdMainMenu = nullptr;
    QPointer<frmAppHelp> help_;
};

} // namespace wm
