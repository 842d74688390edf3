#pragma once
// Setup page 1: the option boards, the signal conditioner with its input
// mode and range, the line frequency, negative values, the scaling (scale
// and offset, or coordinates), the tare and the display settings. Every
// change is written into the setup at once.
#include "gui/setup/frmSetupPages.h"

namespace wm {

class frmSetup1 final : public frmSetupPage {
    Q_OBJECT

public:
    explicit frmSetup1(SetupPages& shared);

    void Form_Activate() override;
    void Form_Load();

    void cboSCOpt_Click() { ListClickAlways("cboSCOpt"); }
    void cboRlyOpt_Click() { ListClick("cboRlyOpt"); }
    void cboComOpt_Click() { ListClick("cboComOpt"); }
    void cboAnaOpt_Click() { ListClick("cboAnaOpt"); }
    void cboMode_Click() { ListClickAlways("cboMode"); }
    void cboFunc_Click() { ListClickAlways("cboFunc"); }
    void cboHz_Click() { ListClick("cboHz"); }
    void cboNegVal_Click() { ListClick("cboNegVal"); }
    void cboDecPt_Click() { ListClick("cboDecPt"); }
    void cboDummyZ_Click() { ListClick("cboDummyZ"); }
    void cboDVal_Click() { ListClick("cboDVal"); }
    void cboPeakKey_Click() { ListClick("cboPeakKey"); }
    void cboCntBy_Click() { ListClick("cboCntBy"); }
    void cboAutoZ_Click() { ListClick("cboAutoZ"); }
    void optSclOff_GotFocus() { OptionFocus("optSclOff"); }
    void optCoord_GotFocus() { OptionFocus("optCoord"); }
    void optRdCoord_GotFocus() { OptionFocus("optRdCoord"); }
    void txtScale_Click() { TextClick("txtScale"); }
    void txtOffset_Click() { TextClick("txtOffset"); }
    void txtLoIn_Click() { TextClick("txtLoIn"); }
    void txtLoRd_Click() { TextClick("txtLoRd"); }
    void txtHiIn_Click() { TextClick("txtHiIn"); }
    void txtHiRd_Click() { TextClick("txtHiRd"); }
    void txtTare_Click() { TextClick("txtTare"); }
    void cmdNextPage_Click() { GoTo(2); }

private:
    void InitPage1();
    QWidget* BuildBoards();
    QWidget* BuildInput();
    QWidget* BuildScaling();
    QWidget* BuildDisplay();
};

} // namespace wm
