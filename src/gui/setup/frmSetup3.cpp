#include "gui/setup/frmSetup3.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "setup/Fields.h"

namespace wm {

namespace {

constexpr int kCharTableTopic = 1138;

} // namespace

frmSetup3::frmSetup3(SetupPages& shared) : frmSetupPage(shared, 3, "frmSetup3", "WEIGHT METER SETUP  PAGE  3  ") {
    auto* page = new QGridLayout(this);
    page->addWidget(BuildSerial(), 0, 0, 1, 2);
    page->addWidget(BuildAnalog(), 1, 0);
    page->addWidget(BuildLockouts(), 0, 2, 2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(MainMenuButton());
    buttons->addStretch(1);
    buttons->addWidget(Button("cmdPrevPage", "<    Page 2", [this] { cmdPrevPage_Click(); }));
    page->addLayout(buttons, 2, 0, 1, 3);
    page->setRowStretch(1, 1);
    Form_Load();
}

QWidget* frmSetup3::BuildSerial() {
    QGroupBox* serial = Frame("fraSerComm", "Serial Communications");
    const auto list = [this](const char* frame, const char* caption, const char* name, FieldBinding::Handler click) {
        return Framed(frame, caption, {List(name, std::move(click))});
    };
    const auto charBox = [this](const char* frame, const char* caption, const char* box, const char* label,
                                FieldBinding::Handler click) {
        QGroupBox* f = Frame(frame, caption);
        auto* row = new QHBoxLayout(f);
        row->setContentsMargins(6, 4, 6, 6);
        QLineEdit* value = ValueBox(box, "255", std::move(click));
        value->setParent(f);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(" 255 ") + 16);
        QLabel* name = Label(label, "", true);
        name->setParent(f);
        name->setMinimumWidth(name->fontMetrics().horizontalAdvance("nul ") + 4);
        row->addWidget(value);
        row->addWidget(name);
        return f;
    };
    auto* table = Label("lblAscTbl", "  ASCII Character            Table", false);
    table->setWordWrap(true);
    table->setCursor(Qt::PointingHandCursor);
    table->installEventFilter(this);
    lblAscTbl = table;
    Binding().SetHelp(table, kCharTableTopic);

    GridOfFrames(serial,
         {list("fraSerProtocol", "Serial Protocol", "cboSerProtocol", [this] { cboSerProtocol_Click(); }),
          list("fraBaudRate", "Baud Rate", "cboBaudRate", [this] { cboBaudRate_Click(); }),
          list("fraAddress", "Address", "cboAddress", [this] { cboAddress_Click(); }),
          list("fraSerMode", "Output Mode", "cboSerMode", [this] { cboSerMode_Click(); }),
          list("fraOutItems", "Output Items", "cboOutItems", [this] { cboOutItems_Click(); }),
          list("fraOutVal", "Output Value", "cboOutVal", [this] { cboOutVal_Click(); }),
          list("fraOutRate", "Output Rate", "cboOutRate", [this] { cboOutRate_Click(); }),
          list("fraCR", "CR (LF)", "cboCR", [this] { cboCR_Click(); }),
          Check("chkLF", "chkLF", "Include LF", [this] { chkLF_Click(); }),
          Check("chkAlmData", "chkAlmData", "Incl Alarm Data", [this] { chkAlmData_Click(); }),
          list("fraRTS", "RTS Type", "cboRTS", [this] { cboRTS_Click(); }),
          list("fraDuplex", "Full/Half Duplex", "cboDuplex", [this] { cboDuplex_Click(); }),
          list("fraTranChars", "Transmission Chars", "cboTranChars", [this] { cboTranChars_Click(); }),
          charBox("fraTranStart", "Custom Start Char", "txtTranStart", "lblTranStart",
                  [this] { txtTranStart_Click(); }),
          charBox("fraTranStop", "Custom Stop Char", "txtTranStop", "lblTranStop", [this] { txtTranStop_Click(); }),
          table,
          list("fraParity", "Parity", "cboParity", [this] { cboParity_Click(); }),
          Framed("fraMBAddr", "Modbus Address", {ValueBox("txtMBAddr", "  1", [this] { txtMBAddr_Click(); })}),
          list("fraMBTimeout", "Modbus Timeout", "cboMBTimeout", [this] { cboMBTimeout_Click(); })},
         4);
    return serial;
}

QWidget* frmSetup3::BuildAnalog() {
    QGroupBox* analog = Frame("fraAnaOut", "Analog Out");
    GridOfFrames(analog,
         {Framed("fraAnaSource", "Source", {List("cboAnaSource", [this] { cboAnaSource_Click(); })}),
          Framed("fraCircuit", "Range", {List("cboCircuit", [this] { cboCircuit_Click(); })}),
          Framed("fraAnaHI", "Hi Range Reading", {ValueBox("txtAnaHi", "+999. 99", [this] { txtAnaHi_Click(); })}),
          Framed("fraAnaLo", "Lo Range Reading", {ValueBox("txtAnaLo", "+999. 99", [this] { txtAnaLo_Click(); })})},
         2);
    return analog;
}

QWidget* frmSetup3::BuildLockouts() {
    QGroupBox* lockouts = Frame("fraLockOut", "Lockouts");
    auto* column = new QVBoxLayout(lockouts);
    column->setContentsMargins(6, 4, 6, 6);
    for (int i = 0; i < 16; ++i) {
        // A control array: every box is called chkLock and carries its index.
        const std::string control = "chkLock(" + std::to_string(i) + ")";
        QCheckBox* box = Check("chkLock", control, QString::fromLatin1(LockoutCaptions[static_cast<std::size_t>(i)]),
                               [this, i] { chkLock_Click(i); });
        box->setProperty("Index", i);
        box->setParent(lockouts);
        column->addWidget(box);
        locks_[static_cast<std::size_t>(i)] = box;
    }
    QLabel* jumper = Label("lblLockout", "", true);
    jumper->setParent(lockouts);
    column->addWidget(jumper);
    column->addStretch(1);
    return lockouts;
}

void frmSetup3::Page3Click(const char* control) {
    if (shared_.Page3Shown == 1) ListClickAlways(control);
}

void frmSetup3::lblAscTbl_Click() {
    shared_.HelpTopic = kCharTableTopic;
    shared_.OpenAppHelp(this);
}

bool frmSetup3::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblAscTbl && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lblAscTbl_Click();
        return true;
    }
    return frmSetupPage::eventFilter(watched, event);
}

void frmSetup3::Form_Activate() {
    // Every time, the return from the value entry dialog included: the
    // editor writes the link's parity and Modbus time-out into the setup.
    shared_.Page3Shown = 1;
    SetPageReady(false);
    shared_.Editor().Activate(3);
    Refresh();
    SetPageReady(true);
}

} // namespace wm
