#include "gui/setup/frmSetup1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/Program.h"
#include "sc/SigCond.h"

namespace wm {

frmSetup1::frmSetup1(SetupPages& shared) : frmSetupPage(shared, 1, "frmSetup1", "WEIGHT METER SETUP  PAGE  1  ") {
    auto* page = new QGridLayout(this);
    page->addWidget(BuildBoards(), 0, 0);
    page->addWidget(BuildInput(), 1, 0);
    page->addWidget(BuildScaling(), 0, 1, 2, 1);
    page->addWidget(BuildDisplay(), 0, 2, 2, 1);

    auto* hint = new QLineEdit(" <  Select box and use F1 Key for Help  >", this);
    hint->setObjectName("txtF1Help");
    hint->setReadOnly(true);
    hint->setFocusPolicy(Qt::NoFocus);
    hint->setAlignment(Qt::AlignCenter);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(MainMenuButton());
    buttons->addStretch(1);
    buttons->addWidget(hint, 2);
    buttons->addStretch(1);
    buttons->addWidget(Button("cmdNextPage", "Page 2    >", [this] { cmdNextPage_Click(); }));
    page->addLayout(buttons, 2, 0, 1, 3);
    page->setRowStretch(1, 1);
    Form_Load();
}

QWidget* frmSetup1::BuildBoards() {
    QGroupBox* boards = Frame("Frame2", "Option Boards");
    GridOfFrames(boards,
         {Framed("fraSCOpt", "SigCond Option", {List("cboSCOpt", [this] { cboSCOpt_Click(); })}),
          Framed("fraRlyOpt", "Relay Option", {List("cboRlyOpt", [this] { cboRlyOpt_Click(); })}),
          Framed("fraComOpt", "Comm Option", {List("cboComOpt", [this] { cboComOpt_Click(); })}),
          Framed("fraAnaOpt", "Analog Option", {List("cboAnaOpt", [this] { cboAnaOpt_Click(); })})},
         2);
    return boards;
}

QWidget* frmSetup1::BuildInput() {
    QGroupBox* input = Frame("fraInput", "Input");
    GridOfFrames(input,
         {Framed("fraInMode", "Input Mode", {List("cboMode", [this] { cboMode_Click(); })}),
          Framed("fraFunc", "Input Range", {List("cboFunc", [this] { cboFunc_Click(); })}),
          Framed("fraHz", "50/60 Hz Line Freq", {List("cboHz", [this] { cboHz_Click(); })}),
          Framed("fraNegVal", "Negative Values", {List("cboNegVal", [this] { cboNegVal_Click(); })})},
         2);
    return input;
}

QWidget* frmSetup1::BuildScaling() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    QGroupBox* method = Frame("fraSclOff", "Scale/Offset");
    method->setParent(column);
    auto* grid = new QGridLayout(method);
    grid->setContentsMargins(6, 4, 6, 6);
    const auto value = [this](const char* frame, const char* caption, const char* box, FieldBinding::Handler click) {
        return Framed(frame, caption, {ValueBox(box, "+999.99", std::move(click))});
    };
    QWidget* rows[3][3] = {
        {Option("optSclOff", "Scale,Offset  >", [this] { optSclOff_GotFocus(); }),
         value("fraScale", "Scale ", "txtScale", [this] { txtScale_Click(); }),
         value("fraOffset", "Offset ", "txtOffset", [this] { txtOffset_Click(); })},
        {Option("optCoord", "Coordinates  >", [this] { optCoord_GotFocus(); }),
         value("fraLoIn", "Low In ", "txtLoIn", [this] { txtLoIn_Click(); }),
         value("fraLoRd", "Low Read ", "txtLoRd", [this] { txtLoRd_Click(); })},
        {Option("optRdCoord", "Reading Coord >", [this] { optRdCoord_GotFocus(); }),
         value("fraHiIn", "High In ", "txtHiIn", [this] { txtHiIn_Click(); }),
         value("fraHiRd", "High Read ", "txtHiRd", [this] { txtHiRd_Click(); })},
    };
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            rows[r][c]->setParent(method);
            grid->addWidget(rows[r][c], r, c);
        }
    layout->addWidget(method);

    QGroupBox* tare = Framed("fraTare", "Tare", {ValueBox("txtTare", "+999.99", [this] { txtTare_Click(); })});
    tare->setParent(column);
    layout->addWidget(tare, 0, Qt::AlignLeft);
    layout->addStretch(1);
    return column;
}

QWidget* frmSetup1::BuildDisplay() {
    QGroupBox* display = Frame("fraDisplay", "Display");
    GridOfFrames(display,
         {Framed("fraDecPt", "Decimal Point ", {List("cboDecPt", [this] { cboDecPt_Click(); })}),
          Framed("fraDummyZ", "Dummy Zero", {List("cboDummyZ", [this] { cboDummyZ_Click(); })}),
          Framed("fraDVal", "Display Value", {List("cboDVal", [this] { cboDVal_Click(); })}),
          Framed("fraLeadZ", "Peak Key Action", {List("cboPeakKey", [this] { cboPeakKey_Click(); })}),
          Framed("fraCntBy", "Count By", {List("cboCntBy", [this] { cboCntBy_Click(); })}),
          Framed("fraAutoZ", "Auto Zero", {List("cboAutoZ", [this] { cboAutoZ_Click(); })})},
         1);
    return display;
}

void frmSetup1::Form_Load() {
    SetPageReady(false);
    Refresh(); // the negative-values list shows only on meters that have it
}

void frmSetup1::Form_Activate() {
    if (shared_.SkipPageReload == 1) return;
    InitPage1();
}

void frmSetup1::InitPage1() {
    SetPageReady(false);
    // A corrupt signal-conditioner type is put to the operator, who may end
    // the program or go on with a DC board.
    if (CheckSCAfterGet(shared_.program()) == SCCheck::EndProgram) {
        hide();
        if (shared_.endProgram) shared_.endProgram();
        return;
    }
    shared_.Editor().Activate(1);
    Refresh();
    SetPageReady(true);
}

} // namespace wm
