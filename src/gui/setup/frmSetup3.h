#pragma once
// Setup page 3: the serial communication settings (Custom ASCII output or
// Modbus, as the protocol says), the analog output and the lockouts. The
// page reloads from the setup every time it comes to the front.
#include <array>

#include "gui/setup/frmSetupPages.h"

class QCheckBox;

namespace wm {

class frmSetup3 final : public frmSetupPage {
    Q_OBJECT

public:
    explicit frmSetup3(SetupPages& shared);

    void Form_Activate() override;
    void Form_Load() { SetPageReady(false); }

    void cboSerProtocol_Click() { Page3Click("cboSerProtocol"); }
    void cboParity_Click() { Page3Click("cboParity"); }
    void cboMBTimeout_Click() { Page3Click("cboMBTimeout"); }
    void cboBaudRate_Click() { ListClick("cboBaudRate"); }
    void cboAddress_Click() { ListClick("cboAddress"); }
    void cboSerMode_Click() { ListClick("cboSerMode"); }
    void cboOutItems_Click() { ListClick("cboOutItems"); }
    void cboOutVal_Click() { ListClick("cboOutVal"); }
    void cboOutRate_Click() { ListClick("cboOutRate"); }
    void cboCR_Click() { ListClick("cboCR"); }
    void cboRTS_Click() { ListClick("cboRTS"); }
    void cboDuplex_Click() { ListClick("cboDuplex"); }
    void cboTranChars_Click() { ListClick("cboTranChars"); }
    void cboCircuit_Click() { ListClick("cboCircuit"); }
    void cboAnaSource_Click() { ListClick("cboAnaSource"); }
    void chkLF_Click() { CheckClick("chkLF"); }
    void chkAlmData_Click() { CheckClick("chkAlmData"); }
    void chkLock_Click(int Index) { CheckClick("chkLock(" + std::to_string(Index) + ")"); }
    void txtAnaHi_Click() { TextClick("txtAnaHi"); }
    void txtAnaLo_Click() { TextClick("txtAnaLo"); }
    void txtMBAddr_Click() { TextClick("txtMBAddr"); }
    void txtTranStart_Click() { TextClick("txtTranStart"); }
    void txtTranStop_Click() { TextClick("txtTranStop"); }
    void lblAscTbl_Click();
    void cmdPrevPage_Click() { GoTo(2); }

    // The lockout check box of that index (the control array chkLock).
    [[nodiscard]] QCheckBox* chkLock(int index) const { return locks_.at(static_cast<std::size_t>(index)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The protocol, parity and time-out lists store nothing before the page
    // has first been shown.
    void Page3Click(const char* control);
    QWidget* BuildSerial();
    QWidget* BuildAnalog();
    QWidget* BuildLockouts();

    std::array<QCheckBox*, 16> locks_{};
    QWidget* lblAscTbl = nullptr;
};

} // namespace wm
