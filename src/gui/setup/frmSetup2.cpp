#include "gui/setup/frmSetup2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace wm {

namespace {

void Column(QGroupBox* outer, std::initializer_list<QWidget*> inner) {
    auto* column = new QVBoxLayout(outer);
    column->setContentsMargins(6, 4, 6, 6);
    for (QWidget* w : inner) {
        w->setParent(outer);
        column->addWidget(w);
    }
    column->addStretch(1);
}

} // namespace

frmSetup2::frmSetup2(SetupPages& shared) : frmSetupPage(shared, 2, "frmSetup2", "WEIGHT METER SETUP  PAGE  2") {
    auto* page = new QGridLayout(this);
    page->addWidget(BuildFilterAndPeak(), 0, 0, 2, 1);
    page->addWidget(BuildAlarm(1), 0, 1);
    page->addWidget(BuildAlarm(2), 0, 2);
    page->addWidget(BuildBothAlarms(), 1, 1, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(MainMenuButton());
    buttons->addStretch(1);
    buttons->addWidget(Button("cmdPrevPage", "<    Page 1", [this] { cmdPrevPage_Click(); }));
    buttons->addWidget(Button("cmdNextPage", "Page 3    >", [this] { cmdNextPage_Click(); }));
    page->addLayout(buttons, 2, 0, 1, 3);
    page->setRowStretch(1, 1);
    Form_Load();
}

QWidget* frmSetup2::BuildFilterAndPeak() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    QGroupBox* filter = Frame("fraFilter", "Filter");
    Column(filter,
           {Check("chkDisThresh", "chkDisThresh", "Disable Threshold", [this] { chkDisThresh_Click(); }),
            Framed("fraTimConst", "Time Constant", {List("cboTimConst", [this] { cboTimConst_Click(); })}),
            Framed("fraThresh", "Threshold", {List("cboThresh", [this] { cboThresh_Click(); })})});
    QGroupBox* peak = Frame("fraPeak", "Peak");
    Column(peak, {Framed("fraPkSource", "Peak Source", {List("cboPkSource", [this] { cboPkSource_Click(); })}),
                  Framed("fraPeakVal", "Peak Value", {List("cboPeakVal", [this] { cboPeakVal_Click(); })})});
    QGroupBox* inputs = Frame("fraExtIn", "External Inputs");
    Column(inputs, {Framed("fraExtAB", " External Input A  --------------------  External Input B",
                           {List("cboExtAB", [this] { cboExtAB_Click(); })})});
    for (QWidget* w : {static_cast<QWidget*>(filter), static_cast<QWidget*>(peak), static_cast<QWidget*>(inputs)}) {
        w->setParent(column);
        layout->addWidget(w);
    }
    layout->addStretch(1);
    return column;
}

QWidget* frmSetup2::BuildAlarm(int n) {
    const bool first = n == 1;
    QGroupBox* alarm = Frame(first ? "fraAlarm1" : "fraAlarm2", first ? "Alarm 1" : "Alarm 2");
    if (first) {
        Column(alarm,
               {Framed("fraAlm1Source", "Alarm 1 Source", {List("cboAlm1Source", [this] { cboAlm1Source_Click(); })}),
                Framed("fraAlm1Type", "Alarm 1 Type", {List("cboAlm1Type", [this] { cboAlm1Type_Click(); })}),
                Framed("fraState1", "Alarm State 1", {List("cboState1", [this] { cboState1_Click(); })}),
                Framed("fraRly1State", "Relay1 Alrm State", {List("cboRly1State", [this] { cboRly1State_Click(); })}),
                Framed("fraSetpt1", "Setpoint 1", {ValueBox("txtSetpt1", "+999. 99", [this] { txtSetpt1_Click(); })}),
                Framed("fraSP1Diff", "SP1 Difference",
                       {ValueBox("txtSP1Diff", "+999. 99", [this] { txtSP1Diff_Click(); })})});
    } else {
        Column(alarm,
               {Framed("fraAlm2Source", "Alarm 2 Source", {List("cboAlm2Source", [this] { cboAlm2Source_Click(); })}),
                Framed("fraAlm2Type", "Alarm 2 Type", {List("cboAlm2Type", [this] { cboAlm2Type_Click(); })}),
                Framed("fraState2", "Alarm State 2", {List("cboState2", [this] { cboState2_Click(); })}),
                Framed("fraRly2State", "Relay2 Alrm State", {List("cboRly2State", [this] { cboRly2State_Click(); })}),
                Framed("fraSetpt2", "Setpoint 2", {ValueBox("txtSetPt2", "+999. 99", [this] { txtSetPt2_Click(); })}),
                Framed("fraSP2Diff", "SP2 Difference",
                       {ValueBox("txtSP2Diff", "+999. 99", [this] { txtSP2Diff_Click(); })})});
    }
    return alarm;
}

QWidget* frmSetup2::BuildBothAlarms() {
    QGroupBox* both = Frame("fraBothAlm", "Both Alarms");
    auto* row = new QHBoxLayout(both);
    row->setContentsMargins(6, 4, 6, 6);
    for (QWidget* w : {Framed("fraAlarmVal", "Alarm Value ", {List("cboAlarmVal", [this] { cboAlarmVal_Click(); })}),
                       Framed("fraNoRdgsAlm", "No. Rdgs to Alarm",
                              {List("cboNoRdgsAlm", [this] { cboNoRdgsAlm_Click(); })}),
                       Framed("fraDrib", "Dribble Factor", {List("cboDrib", [this] { cboDrib_Click(); })})}) {
        w->setParent(both);
        row->addWidget(w);
    }
    return both;
}

void frmSetup2::Form_Load() { Refresh(); }

void frmSetup2::Form_Activate() {
    // Back from the value entry dialog: the page stays as it is.
    if (shared_.SkipPageReload == 1) return;
    SetPageReady(false);
    shared_.Editor().Activate(2);
    Refresh();
    SetPageReady(true);
}

} // namespace wm
