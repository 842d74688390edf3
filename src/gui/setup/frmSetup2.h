#pragma once
// Setup page 2: the filter, the peak, the external inputs and the two
// alarms with what they share. The alarm frames show only when the meter
// has a relay board.
#include "gui/setup/frmSetupPages.h"

namespace wm {

class frmSetup2 final : public frmSetupPage {
    Q_OBJECT

public:
    explicit frmSetup2(SetupPages& shared);

    void Form_Activate() override;
    void Form_Load();

    void chkDisThresh_Click() { CheckClickAlways("chkDisThresh"); }
    void cboTimConst_Click() { ListClick("cboTimConst"); }
    void cboThresh_Click() { ListClick("cboThresh"); }
    void cboPkSource_Click() { ListClick("cboPkSource"); }
    void cboPeakVal_Click() { ListClick("cboPeakVal"); }
    void cboExtAB_Click() { ListClick("cboExtAB"); }
    void cboAlm1Source_Click() { ListClick("cboAlm1Source"); }
    void cboAlm1Type_Click() { ListClick("cboAlm1Type"); }
    void cboState1_Click() { ListClick("cboState1"); }
    void cboRly1State_Click() { ListClick("cboRly1State"); }
    void cboAlm2Source_Click() { ListClick("cboAlm2Source"); }
    void cboAlm2Type_Click() { ListClick("cboAlm2Type"); }
    void cboState2_Click() { ListClick("cboState2"); }
    void cboRly2State_Click() { ListClick("cboRly2State"); }
    void cboAlarmVal_Click() { ListClick("cboAlarmVal"); }
    void cboNoRdgsAlm_Click() { ListClick("cboNoRdgsAlm"); }
    void cboDrib_Click() { ListClick("cboDrib"); }
    void txtSetpt1_Click() { TextClick("txtSetpt1"); }
    void txtSP1Diff_Click() { TextClick("txtSP1Diff"); }
    void txtSetPt2_Click() { TextClick("txtSetPt2"); }
    void txtSP2Diff_Click() { TextClick("txtSP2Diff"); }
    void cmdPrevPage_Click() { GoTo(1); }
    void cmdNextPage_Click() { GoTo(3); }

private:
    QWidget* BuildFilterAndPeak();
    QWidget* BuildAlarm(int n);
    QWidget* BuildBothAlarms();
};

} // namespace wm
