#include "gui/main/frmMMenu.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <initializer_list>

#include "app/Baseline.h"
#include "app/LinkText.h"
#include "comm/Tables.h"
#include "gui/main/QtOperator.h"
#include "transfer/GetSetup.h"
#include "gui/help/frmAppHelp.h"
#include "gui/help/frmMHELP.h"
#include "gui/jumpers/frmJumper.h"
#include "gui/setup/frmWTMenu.h"
#include "gui/main/frmTraffic.h"
#include "gui/calib/frmCalib.h"
#include "gui/cmds/frmCmds.h"
#include "gui/readings/frmList.h"
#include "gui/readings/frmGRAPH.h"
#include "gui/readings/frmPlot.h"
#include "readings/RecordFramer.h"

#include "sc/SigCond.h"
#include "transfer/PutSetup.h"
#include "app/SetupFileCommands.h"
#include "gui/main/frmConnection.h"
#include "gui/main/frmFind.h"
#include "gui/setup/frmSetupPages.h"

namespace wm {

namespace {

// The text area's distance from the menu bar is kept in twips, the unit the
// window has always been laid out in; 15 twips make one pixel at 96 dpi.
constexpr int Twips(int twips) { return twips / 15; }
constexpr int kMargin = 12;
constexpr int kTextTop = 480;

constexpr int kMenuHelpTopic = 3118;

} // namespace

const QStringList& MenuHelpLines() {
    static const QStringList lines = {
        "",
        "       If this screen is reached WITHOUT establishing communications, then click on 'File'",
        "       to load Setup data to the program from either",
        "            1. A Default Setup file furnished with the program, or",
        "            2. A previously saved Setup file.",
        "       Once Setup data is loaded, the 'View' menu item becomes active to allow viewing the",
        "       Setup data.  Since communications has not been established, the 'Meter', 'Commands',",
        "       'Readings', 'Calibration', and 'SigCondType' Menu items are not active.",
        "",
        "       If this screen is reached AFTER establishing communications, then in addition to the",
        "       above two methods, a common choice for loading Setup data to the program is to",
        "            3. Click on the 'Meter' menu item and select 'Get Setup' to load the Setup data",
        "                currently in the connected Meter.",
        "       If Setup data is loaded by method 3, all menu items become active.",
        "",
        "       Click a Menu heading on and off, then press the F1 key for specific information.",
        "       If the Menu heading is Calibration, a form appears. Click End and then the F1 key.  ",
        "       When ready to exit program, click on File and select Exit.",
    };
    return lines;
}

frmMMenu::frmMMenu(Program& program, QtOperator& op, QWidget* parent)
    : QMainWindow(parent), program_(program), op_(op) {
    setObjectName("frmMMenu");
    setWindowTitle("WEIGHT METER MAIN  MENU");
    BuildControls();
    BuildMenus();
    op_.AttachWindow(this);
    Form_Load();
}

frmMMenu::~frmMMenu() { op_.AttachWindow(nullptr); }

// ---------------------------------------------------------------- building

void frmMMenu::BuildControls() {
    auto* centre = new QWidget(this);
    centre->setObjectName("frmMMenuArea");
    setCentralWidget(centre);
    centre->installEventFilter(this);

    picText = new QPlainTextEdit(centre);
    picText->setObjectName("picText");
    picText->setReadOnly(true);
    picText->setLineWrapMode(QPlainTextEdit::NoWrap);
    picText->setFrameShape(QFrame::NoFrame);
    QPalette p = picText->palette();
    p.setColor(QPalette::Base, QColor(ColourWhite.r, ColourWhite.g, ColourWhite.b));
    picText->setPalette(p);
    picText->installEventFilter(this);
    picText->viewport()->installEventFilter(this);
    // At its smallest the text area still shows the whole menu help.
    QString longest;
    for (const QString& line : MenuHelpLines())
        if (line.size() > longest.size()) longest = line;
    const QFontMetrics metrics(picText->font());
    picText->setMinimumSize(std::max(696, metrics.horizontalAdvance(longest) + 2 * kMargin),
                            metrics.lineSpacing() * (static_cast<int>(MenuHelpLines().size()) + 2));
    picText->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    cmdMenuHelp = new QPushButton("Menu Help", centre);
    cmdMenuHelp->setObjectName("cmdMenuHelp");
    cmdMenuHelp->setMinimumWidth(110);
    connect(cmdMenuHelp, &QPushButton::clicked, this, &frmMMenu::cmdMenuHelp_Click);

    cmdOK = new QPushButton("OK", centre);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setMinimumWidth(80);
    cmdOK->hide();
    connect(cmdOK, &QPushButton::clicked, this, &frmMMenu::cmdOK_Click);

    lblWait = new QLabel("Wait", centre);
    lblWait->setObjectName("lblWait");
    lblWait->setMinimumWidth(60);
    lblWait->setAlignment(Qt::AlignCenter);
    lblWait->hide();

    lblPGText = new QLabel(centre);
    lblPGText->setObjectName("lblPGText");
    lblPGText->setMinimumHeight(24);
    lblPGText->setAutoFillBackground(true);
    lblPGText->setContentsMargins(6, 0, 6, 0);
    lblPGText->hide();

    pbBar = new QProgressBar(centre);
    pbBar->setObjectName("pbBar");
    pbBar->setRange(0, 100);
    pbBar->setValue(0);
    pbBar->hide();

    // Controls that come and go keep their room, so nothing jumps when the
    // status line or the progress bar appears.
    for (QWidget* w : std::initializer_list<QWidget*>{cmdMenuHelp, cmdOK, lblWait, lblPGText, pbBar}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }

    auto* buttons = new QGridLayout;
    buttons->addWidget(cmdMenuHelp, 0, 0, Qt::AlignLeft);
    buttons->addWidget(cmdOK, 0, 1, Qt::AlignCenter);
    buttons->addWidget(lblWait, 0, 2, Qt::AlignRight);
    buttons->setColumnStretch(0, 1);
    buttons->setColumnStretch(2, 1);

    auto* column = new QVBoxLayout(centre);
    column->setContentsMargins(kMargin, Twips(kTextTop), kMargin, kMargin);
    column->addWidget(picText, 1);
    column->addLayout(buttons);
    column->addWidget(lblPGText);
    column->addWidget(pbBar);

    // The link the program talks over and the setup file, always in view.
    statusBar()->setObjectName("sbLink");
    lblLink = new QLabel(statusBar());
    lblLink->setObjectName("lblLink");
    statusBar()->addWidget(lblLink, 1);
    lblSetupFile = new QLabel(statusBar());
    lblSetupFile->setObjectName("lblSetupFile");
    statusBar()->addPermanentWidget(lblSetupFile);

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setObjectName("keyF1");
    connect(f1, &QShortcut::activated, this, [this] { Form_KeyDown(112); });
}

QMenu* frmMMenu::AddMenu(QMenu* parent, const char* name, const char* caption) {
    QMenu* menu = parent != nullptr ? parent->addMenu(caption) : menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

QAction* frmMMenu::AddItem(QMenu* parent, const char* name, const char* caption) {
    QAction* item = parent != nullptr ? parent->addAction(caption) : menuBar()->addAction(caption);
    item->setObjectName(name);
    return item;
}

void frmMMenu::BuildMenus() {
    QMenu* file = AddMenu(nullptr, "mnuFile", "&File");
    connect(file, &QMenu::aboutToShow, this, &frmMMenu::mnuFile_Click);
    connect(AddItem(file, "mnuDefaultSet", "&Default  Setup"), &QAction::triggered, this,
            &frmMMenu::mnuDefaultSet_Click);
    connect(AddItem(file, "mnuOpen", "&Open Setup"), &QAction::triggered, this, &frmMMenu::mnuOpen_Click);
    connect(AddItem(file, "mnuSave", "&Save Setup"), &QAction::triggered, this, &frmMMenu::mnuSave_Click);
    connect(AddItem(file, "mnuSaveAs", "Save Setup &As"), &QAction::triggered, this,
            &frmMMenu::mnuSaveAs_Click);
    connect(AddItem(file, "mnuConnection", "&Connection..."), &QAction::triggered, this,
            &frmMMenu::mnuConnection_Click);
    file->addSeparator()->setObjectName("mnuF2Sep");
    connect(AddItem(file, "mnuExit", "E&xit"), &QAction::triggered, this, &frmMMenu::mnuExit_Click);
    mnuFile = file->menuAction();

    QMenu* meter = AddMenu(nullptr, "mnuMeter", "&Meter");
    connect(meter, &QMenu::aboutToShow, this, &frmMMenu::mnuMeter_Click);
    connect(AddItem(meter, "mnuGet", "&Get Setup"), &QAction::triggered, this, &frmMMenu::mnuGet_Click);
    mnuPut = AddItem(meter, "mnuPut", "&Put Setup");
    connect(mnuPut, &QAction::triggered, this, &frmMMenu::mnuPut_Click);
    mnuMeter = meter->menuAction();

    QMenu* view = AddMenu(nullptr, "mnuView", "&View");
    connect(view, &QMenu::aboutToShow, this, &frmMMenu::mnuView_Click);
    mnuSetup = AddItem(view, "mnuSetup", "&Setup");
    connect(mnuSetup, &QAction::triggered, this, &frmMMenu::mnuSetup_Click);
    mnuMenu = AddItem(view, "mnuMenu", "Men&u");
    connect(mnuMenu, &QAction::triggered, this, &frmMMenu::mnuMenu_Click);
    connect(AddItem(view, "mnuTraffic", "&Traffic"), &QAction::triggered, this, &frmMMenu::mnuTraffic_Click);
    mnuView = view->menuAction();

    QMenu* cmds = AddMenu(nullptr, "mnuCmds", "Co&mmands");
    connect(cmds, &QMenu::aboutToShow, this, &frmMMenu::mnuCmds_Click);
    connect(AddItem(cmds, "mnuCmdsGo", "Comman&ds"), &QAction::triggered, this, &frmMMenu::mnuCmdsGo_Click);
    mnuCmds = cmds->menuAction();

    // Its refusal is a message box: shown once the drop-down has been
    // dealt with, never from inside the menu's own opening.
    mnuMRdgsMenu = AddMenu(nullptr, "mnuMRdgs", "&Readings");
    connect(mnuMRdgsMenu, &QMenu::aboutToShow, this,
            [this] { QTimer::singleShot(0, this, &frmMMenu::mnuMRdgs_Click); });
    connect(AddItem(mnuMRdgsMenu, "mnuList", "&List"), &QAction::triggered, this, &frmMMenu::mnuList_Click);
    connect(AddItem(mnuMRdgsMenu, "mnuPlot", "&Plot"), &QAction::triggered, this, &frmMMenu::mnuPlot_Click);
    connect(AddItem(mnuMRdgsMenu, "mnuGraph", "&Graph"), &QAction::triggered, this,
            &frmMMenu::mnuGraph_Click);
    mnuMRdgs = mnuMRdgsMenu->menuAction();

    QMenu* jumpers = AddMenu(nullptr, "mnuJmps", "&Jumpers");
    mnuJmps = jumpers->menuAction();
    connect(jumpers, &QMenu::aboutToShow, this, &frmMMenu::mnuJmps_Click);
    const struct {
        const char* name;
        const char* caption;
        const char* window;
    } boards[] = {
        {"mnuDC", "&DC", "frmJDCSC"},
        {"mnuDCM", "DC Rev &M", "frmJDCSCM"},
        {"mnuLoadCell", "&Load Cell", "frmJLCSC"},
        {"mnuPS", "Po&wer Supply", "frmJPS"},
        {"mnuRS232G", "RS232  Rev &G", "frmJRS232G"},
        {"mnuRS232H", "RS232  R&ev H", "frmJRS232H"},
        {"mnuRS485G", "RS485  Re&v G", "frmJRS485G"},
        {"mnuRS485H", "RS485 Rev &H", "frmJRS485H"},
    };
    for (const auto& board : boards) {
        const QString window = board.window;
        connect(AddItem(jumpers, board.name, board.caption), &QAction::triggered, this,
                [this, window] { mnuJumper_Click(window); });
    }

    mnuCalib = AddItem(nullptr, "mnuCalib", "&Calibration");
    connect(mnuCalib, &QAction::triggered, this, &frmMMenu::mnuCalib_Click);

    // The heading reads the meter; the exchange runs after the drop-down has
    // opened, so the menu's own opening never waits for the meter.
    QMenu* scType = AddMenu(nullptr, "mnuSCType", "SigCondType");
    connect(scType, &QMenu::aboutToShow, this,
            [this] { QTimer::singleShot(0, this, &frmMMenu::mnuSCType_Click); });
    connect(AddItem(scType, "mnuSCDC", "DC"), &QAction::triggered, this, &frmMMenu::mnuSCDC_Click);
    connect(AddItem(scType, "mnuSCLC", "LC (Load Cell)"), &QAction::triggered, this,
            &frmMMenu::mnuSCLC_Click);
    mnuSCType = scType->menuAction();

    mnuMHelp = AddItem(nullptr, "mnuMHelp", "&Help");
    connect(mnuMHelp, &QAction::triggered, this, &frmMMenu::mnuMHelp_Click);

    ApplyMenuStates();
}

QAction* frmMMenu::Item(const QString& name) const {
    if (auto* menu = findChild<QMenu*>(name)) return menu->menuAction();
    return findChild<QAction*>(name);
}

// ---------------------------------------------------------------- life cycle

void frmMMenu::Form_Load() {
    CentreOnScreen();
    program_.SetupReceived = 0;
    program_.conn.OpenConnection();
    cmdMenuHelp_Click();
    cmdMenuHelp->hide();
    UpdateLinkBar();
}

void frmMMenu::CentreOnScreen() {
    adjustSize();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    int top = (area.height() - frameGeometry().height()) / 2;
    if (top < Twips(500)) top = 0;
    move(area.x() + (area.width() - frameGeometry().width()) / 2, area.y() + top);
}

void frmMMenu::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    Form_Activate();
}

void frmMMenu::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // An activation that the window system delivers late, once this window
    // has been hidden for another, is not one: it would unload the window
    // that is in front.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible()) Form_Activate();
}

void frmMMenu::Form_Activate() {
    // The readings, menu-view, setup-help and calibration windows are
    // unloaded here once they exist: each lives only while this one is hidden.
    if (menuView_) {
        menuView_->Unload();
        menuView_ = nullptr;
    }
    if (list_) {
        list_->Unload();
        list_ = nullptr;
    }
    if (setupHelp_) {
        setupHelp_->hide();
        setupHelp_->deleteLater();
        setupHelp_ = nullptr;
    }
    const LinkState& link = program_.link;
    meterOn_ = link.PortType != 0;
    const bool setupOn = meterOn_ && program_.SetupReceived == 1;
    rdgsOn_ = setupOn && link.EthernetLink != 1;
    calibOn_ = setupOn;
    scTypeOn_ = setupOn;
    ApplyMenuStates();
    if (!busy_) op_.SetBusy(false);
}

void frmMMenu::ApplyMenuStates() {
    const LinkState& link = program_.link;
    const bool idle = !busy_;
    mnuFile->setEnabled(idle);
    mnuMeter->setEnabled(meterOn_ && idle);
    mnuPut->setEnabled(putOn_);
    // The heading stays on for Traffic; the setup's views need a setup.
    mnuView->setEnabled(idle);
    mnuSetup->setEnabled(viewOn_);
    mnuMenu->setEnabled(viewOn_);
    mnuCmds->setEnabled(cmdsOn_ && idle);
    mnuMRdgs->setEnabled(rdgsOn_ && idle);
    mnuJmps->setEnabled(idle);
    mnuCalib->setEnabled(calibOn_ && idle);
    mnuSCType->setEnabled(scTypeOn_ && idle);
    mnuMHelp->setEnabled(idle);
    mnuCalib->setVisible(link.BoardCode != 7);
    mnuSCType->setVisible(link.BoardCode != 7);
    mnuMenu->setVisible(link.FamilyFiveFlag != 1);
    UpdateLinkBar();
}

void frmMMenu::UpdateLinkBar() {
    lblLink->setText(QString::fromStdString(DescribeLink(program_.link, program_.platform.port.Device())));
    lblSetupFile->setText(
        QString::fromStdString(DescribeSetupFile(program_.SetupFileName, program_.SetupReceived == 1)));
}

bool frmMMenu::Refused() {
    if (!busy_ && !ended_) return false;
    op_.Beep();
    return true;
}

void frmMMenu::EnableAfterGet() {
    cmdsOn_ = true;
    viewOn_ = true;
    putOn_ = true;
    calibOn_ = true;
    scTypeOn_ = true;
    rdgsOn_ = program_.link.EthernetLink != 1;
    ApplyMenuStates();
}

void frmMMenu::closeEvent(QCloseEvent* event) {
    if (ended_) {
        event->accept();
        return;
    }
    if (busy_) {
        // The exchange on the stack still uses the port and this window;
        // the program ends as soon as it has returned.
        closeRequested_ = true;
        event->ignore();
        return;
    }
    EndProgram(true);
    event->accept();
}

bool frmMMenu::EndProgram(bool orderly) {
    if (ended_) return false;
    ended_ = true;
    // A readings list still receiving stops before the port closes.
    if (list_) {
        list_->Unload();
        list_ = nullptr;
    }
    // The window goes at once; the settings rewrite and the port's drain and
    // close happen after it, while the operator is no longer waiting for it.
    hide();
    if (orderly) {
        (void)program_.conn.RewriteSettingsAtExit(); // a failure has been told to the operator
        program_.conn.ClosePort();
    }
    if (program_.node) program_.node->Close(); // both sockets of the Ethernet link
    if (program_.platform.port.IsOpen()) program_.platform.port.Close();
    Q_EMIT programEnded();
    return true;
}

void frmMMenu::mnuExit_Click() {
    if (busy_) {
        closeRequested_ = true;
        return;
    }
    if (EndProgram(true)) close();
}

template <class Core, class Apply>
void frmMMenu::RunExchange(Core core, Apply apply) {
    if (busy_ || ended_ || program_.txn.Waiting()) {
        op_.Beep();
        return;
    }
    QPointer<frmMMenu> self(this);
    busy_ = true;
    ApplyMenuStates();
    const auto result = core();
    if (!self) return;
    busy_ = false;
    apply(result);
    ApplyMenuStates();
    if (op_.EndRequested()) {
        if (EndProgram(false)) close();
        return;
    }
    if (closeRequested_) {
        closeRequested_ = false;
        mnuExit_Click();
    }
}

// ---------------------------------------------------------------- text area and status line

void frmMMenu::ClearText() {
    lines_.clear();
    picText->clear();
}

void frmMMenu::SetLines(const std::vector<std::string>& lines) {
    ClearText();
    for (const std::string& line : lines) lines_ << QString::fromLatin1(line);
    picText->setPlainText(lines_.join('\n'));
}

void frmMMenu::Print(const QString& line) {
    lines_ << line;
    picText->setPlainText(lines_.join('\n'));
}

void frmMMenu::ShowStatus(const QString& caption, Rgb background) {
    QPalette p = lblPGText->palette();
    p.setColor(QPalette::Window, QColor(background.r, background.g, background.b));
    p.setColor(QPalette::WindowText, Qt::black);
    lblPGText->setPalette(p);
    lblPGText->setText(caption);
    lblPGText->show();
}

void frmMMenu::HideStatus() { lblPGText->hide(); }

void frmMMenu::ShowProgress(int percent) { pbBar->setValue(std::clamp(percent, 0, 100)); }

void frmMMenu::SetProgressVisible(bool visible) { pbBar->setVisible(visible); }


void frmMMenu::RestoreScreen() {
    ClearText();
    cmdOK->hide();
    lblPGText->hide();
    cmdMenuHelp->show();
}

void frmMMenu::MsgErr() { wm::MsgErr(program_.platform.op); }

void frmMMenu::cmdMenuHelp_Click() {
    if (Refused()) return;
    cmdMenuHelp->hide();
    ClearText();
    for (const QString& line : MenuHelpLines()) Print(line);
    helpTopic_ = kMenuHelpTopic;
    picText->show();
    if (!busy_) op_.SetBusy(false);
    pbBar->hide();
    cmdOK->show();
    lblPGText->hide();
}

void frmMMenu::cmdOK_Click() {
    if (busy_) return; // a click on the window while the transfer runs
    ClearText();
    cmdMenuHelp->show();
    cmdOK->hide();
}

void frmMMenu::picText_Click() {
    if (!busy_) RestoreScreen();
}

bool frmMMenu::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == picText->viewport()) picText_Click();
        if (watched == centralWidget()) cmdOK_Click();
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- keys and help

void frmMMenu::Form_KeyDown(int keyCode) {
    if (keyCode == 112) OpenAppHelp();
}

frmAppHelp* frmMMenu::HelpWindow() const { return help_; }

void frmMMenu::OpenAppHelp() {
    if (!help_) help_ = new frmAppHelp(program_.paths.HelpFolder(), this);
    help_->ShowTopic(helpTopic_);
}

// ---------------------------------------------------------------- File

void frmMMenu::mnuFile_Click() {
    if (Refused()) return;
    RestoreScreen();
    helpTopic_ = 3118;
}

void frmMMenu::DefaultData() { wm::DefaultData(program_); }

void frmMMenu::mnuConnection_Click() {
    if (Refused()) return;
    if (connection_) {
        connection_->raise();
        return;
    }
    auto* window = new frmConnection(program_, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connection_ = window;
    // Find searches the port the program opened at start (the file's port
    // or device, or --port), keeping the file's other fields in each try.
    window->findMeter = [this](frmConnection& dialog) {
        frmFind find(program_, program_.link.SettingsLine1, ScanMode::Full, &dialog);
        const std::optional<ScanLink> found = find.Run();
        if (found) {
            std::string problem;
            dialog.SetFoundLink(WithScanLink(dialog.FieldSettings(problem), *found));
        }
        program_.platform.op.Ask({find.Outcome().toStdString(), "Find", Buttons::Ok, Answer::Ok, Icon::None});
    };
    window->UpdateFindButton();
    // A link opened again from the new file changes what the menus offer.
    connect(window, &QDialog::accepted, this, &frmMMenu::Form_Activate);
    window->open();
}

frmConnection* frmMMenu::ConnectionWindow() const { return connection_; }

void frmMMenu::mnuDefaultSet_Click() {
    if (Refused()) return;
    DefaultSetup(program_);
    viewOn_ = putOn_ = true;
    ApplyMenuStates();
}

void frmMMenu::mnuOpen_Click() {
    if (Refused()) return;
    if (!OpenSetup(program_)) return;
    viewOn_ = putOn_ = true;
    ApplyMenuStates();
}

void frmMMenu::OpenSetupFile(const std::filesystem::path& file) {
    if (Refused()) return;
    if (!LoadSetupFile(program_, file)) return;
    viewOn_ = putOn_ = true;
    ApplyMenuStates();
}

void frmMMenu::mnuSave_Click() {
    if (Refused()) return;
    (void)SaveSetup(program_); // a failure has been told to the operator
}

void frmMMenu::mnuSaveAs_Click() {
    if (Refused()) return;
    (void)SaveSetupAs(program_);
    UpdateLinkBar();
}

// ---------------------------------------------------------------- Meter

void frmMMenu::mnuMeter_Click() {
    if (Refused()) return;
    RestoreScreen();
    helpTopic_ = 3119;
}

void frmMMenu::mnuGet_Click() {
    RunExchange([this] { return GetFromMeter(program_); },
                [this](const GetResult& r) {
                    if (r.refused) return;
                    if (r.enableMenus) EnableAfterGet();
                    if (r.endProgram) op_.EndProgram();
                });
}

void frmMMenu::mnuPut_Click() {
    // The preview box, when due, comes first; Cancel there sends nothing.
    RunExchange([this] { return PutToMeter(program_); },
                [this](const PutOutcome& r) {
                    if (r.cancelled || r.put.refused) return;
                    if (r.put.endProgram) op_.EndProgram();
                });
}

// ---------------------------------------------------------------- View, Commands, Readings

void frmMMenu::mnuView_Click() {
    if (Refused()) return;
    RestoreScreen();
    helpTopic_ = 3120;
}

void frmMMenu::mnuSetup_Click() {
    if (Refused()) return;
    // The pages live as long as this window and keep their state while hidden.
    auto* pages = findChild<SetupPages*>("SetupPages", Qt::FindDirectChildrenOnly);
    if (pages == nullptr) {
        pages = new SetupPages(program_, this, this);
        pages->endProgram = [this] {
            if (EndProgram(false)) close();
        };
    }
    op_.SetBusy(true);
    pages->Open();
    if (!ended_) hide();
    op_.SetBusy(false);
}

frmWTMenu* frmMMenu::MenuView() const { return menuView_; }

void frmMMenu::mnuMenu_Click() {
    if (Refused()) return;
    auto* view = new frmWTMenu(program_, this);
    if (view->Ended()) {
        // The setup's board type was corrupt and the operator chose to end.
        delete view;
        if (op_.EndRequested() && EndProgram(false)) close();
        return;
    }
    menuView_ = view;
    // Showing this window again runs Form_Activate, which unloads the view.
    connect(view, &frmWTMenu::mainMenuWanted, this, [this] {
        show();
        raise();
        activateWindow();
    });
    view->show();
    hide();
}

void frmMMenu::mnuTraffic_Click() {
    if (traffic_) {
        traffic_->show();
        traffic_->raise();
        traffic_->activateWindow();
        return;
    }
    traffic_ = new frmTraffic(program_, this);
    traffic_->setAttribute(Qt::WA_DeleteOnClose);
    traffic_->show();
}

frmTraffic* frmMMenu::TrafficWindow() const { return traffic_; }

void frmMMenu::mnuCmds_Click() {
    if (Refused()) return;
    RestoreScreen();
    helpTopic_ = 3121;
}

// The commands window stands in for this one until it is left.
void frmMMenu::mnuCmdsGo_Click() {
    if (Refused()) return;
    if (cmds_) {
        cmds_->raise();
        cmds_->activateWindow();
        return;
    }
    op_.SetBusy(true);
    auto* window = new frmCmds(program_, this);
    cmds_ = window;
    connect(window, &frmCmds::finished, this, [this] {
        op_.SetBusy(true);
        show();
        op_.SetBusy(false);
    });
    window->show();
    hide();
    op_.SetBusy(false);
}

frmCmds* frmMMenu::CmdsWindow() const { return cmds_; }

bool frmMMenu::RefuseReadingsUnderModbus() {
    if (program_.link.UseModbus != 1) return false;
    if (mnuMRdgsMenu->isVisible()) mnuMRdgsMenu->close();
    program_.platform.op.Ask({kListNeedsAscii, "Use Custom ASCII", Buttons::Ok, Answer::Ok, Icon::None});
    return true;
}

void frmMMenu::mnuMRdgs_Click() {
    if (Refused() || RefuseReadingsUnderModbus()) return;
    RestoreScreen();
    helpTopic_ = 3122;
}

// The readings list stands in for this window until End; this window's
// activation then unloads it. Asked for again while it is open, the list
// starts afresh.

void frmMMenu::mnuList_Click() {
    if (Refused() || RefuseReadingsUnderModbus()) return;
    if (list_) {
        list_->raise();
        list_->activateWindow();
        list_->Form_Activate();
        return;
    }
    op_.SetBusy(true);
    auto* window = new frmList(program_, this);
    list_ = window;
    connect(window, &frmList::mainMenuWanted, this, [this] { show(); });
    window->show();
    hide();
    op_.SetBusy(false);
}

frmList* frmMMenu::ListWindow() const { return list_; }

void frmMMenu::mnuPlot_Click() {
    if (Refused() || RefuseReadingsUnderModbus()) return;
    OpenChart([this] { return new frmPlot(program_, this); });
}

void frmMMenu::mnuGraph_Click() {
    if (Refused() || RefuseReadingsUnderModbus()) return;
    OpenChart([this] { return new frmGRAPH(program_, this); });
}

ReadingsChart* frmMMenu::ChartWindow() const { return chart_; }

void frmMMenu::OpenChart(const std::function<ReadingsChart*()>& make) {
    if (chart_) {
        // One at a time: the open one comes forward.
        chart_->raise();
        chart_->activateWindow();
        return;
    }
    op_.SetBusy(true);
    ReadingsChart* window = make();
    chart_ = window;
    connect(window, &ReadingsChart::finished, this, [this] {
        if (ended_) return;
        op_.SetBusy(true);
        show();
        op_.SetBusy(false);
    });
    // A run still drawing when the program ends stops at once.
    connect(this, &frmMMenu::programEnded, window, &ReadingsChart::Stop);
    window->show();
    hide();
    op_.SetBusy(false);
    window->Form_Activate();
}

// ---------------------------------------------------------------- Jumpers, Calibration, Help

void frmMMenu::mnuJmps_Click() {
    if (Refused()) return;
    RestoreScreen();
    helpTopic_ = 3123;
}

// The jumper windows stand beside this one; a board whose window is
// already open is brought to the front rather than opened twice.
void frmMMenu::mnuJumper_Click(const QString& window) {
    if (Refused()) return;
    if (frmJumper* open = JumperWindow(window)) {
        open->raise();
        open->activateWindow();
        return;
    }
    frmJumper* jumper = MakeJumperWindow(window, program_, this);
    if (jumper == nullptr) return;
    op_.SetBusy(true);
    std::erase_if(jumpers_, [](const QPointer<frmJumper>& w) { return w.isNull(); });
    jumpers_.emplace_back(jumper);
    jumper->show();
    op_.SetBusy(false);
}

frmJumper* frmMMenu::JumperWindow(const QString& name) const {
    for (const QPointer<frmJumper>& w : jumpers_)
        if (w && w->isVisible() && w->objectName() == name) return w;
    return nullptr;
}

void frmMMenu::mnuCalib_Click() {
    if (Refused()) return;
    RestoreScreen();
    if (program_.link.UseModbus == 1) {
        program_.platform.op.Ask({"The Custom ASCII protocol must be used for this Calibration procedure.",
                                  "Use Custom ASCII", Buttons::Ok, Answer::Ok, Icon::None});
        return;
    }
    lblPGText->hide();
    helpTopic_ = 3113;
    OpenCalibration();
}

frmCalib* frmMMenu::CalibWindow() const { return calib_; }

void frmMMenu::OpenCalibration() {
    if (calib_) {
        calib_->raise();
        return;
    }
    ClearText();
    Print(kCalibWaitLine);
    auto* window = new frmCalib(program_, this);
    calib_ = window;
    // Back from the calibration: this window returns as it was left.
    connect(window, &frmCalib::finished, this, [this] {
        RestoreScreen();
        show();
    });
    // The window is shown even when the board could not be calibrated: it
    // then offers only End, after the operator has been told why.
    RunExchange([window] { return window->CalibCont(); },
                [this](bool) {
                    ClearText();
                    if (!calib_) return;
                    hide();
                    calib_->show();
                });
}

void frmMMenu::mnuMHelp_Click() {
    if (Refused()) return;
    ClearText();
    cmdOK->hide();
    op_.SetBusy(true);
    if (!setupHelp_) {
        setupHelp_ = new frmMHELP(this);
        connect(setupHelp_, &frmMHELP::helpTopicChosen, this, &frmMMenu::SetHelpTopic);
        connect(setupHelp_, &frmMHELP::returned, this, [this] {
            op_.SetBusy(true);
            show();
            op_.SetBusy(false);
        });
    }
    setupHelp_->show();
    hide();
    op_.SetBusy(false);
}

frmMHELP* frmMMenu::SetupHelpWindow() const { return setupHelp_; }

// ---------------------------------------------------------------- SigCondType

void frmMMenu::mnuSCType_Click() {
    if (Refused()) return;
    cmdMenuHelp->hide();
    ClearText();
    for (const std::string& line : SCTypeIntroLines()) Print(QString::fromLatin1(line));
    picText->show();
    RunExchange([this] { return ReadSCType(program_); },
                [this](const SCTypeReport& r) {
                    if (r.refused) return;
                    SetLines(r.lines);
                    picText->setVisible(r.picTextVisible);
                    if (!r.picTextVisible) return; // the communication error has been told
                    cmdOK->setVisible(r.showOK);
                    lblPGText->hide();
                });
}

void frmMMenu::SCTypeForce(bool loadCell) {
    if (Refused()) return;
    ClearText();
    Print(kSCWaitLine);
    RunExchange(
        [this, loadCell] { return RestoreSCTypeOnMeter(program_, loadCell ? SCBoard::LoadCell : SCBoard::DC); },
        [this](const SCRestoreReport& r) {
            if (!r.refused) SetLines(r.lines);
        });
}

void frmMMenu::mnuSCDC_Click() { SCTypeForce(false); }

void frmMMenu::mnuSCLC_Click() { SCTypeForce(true); }

} // namespace wm
