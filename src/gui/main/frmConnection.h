#pragma once
// File > Connection: the link the settings file describes, as fields to
// change instead of character positions. OK writes the file through the same
// routine as `wmctl settings`; a combination the file cannot hold is told and
// nothing is written.
#include <QDialog>
#include <functional>

#include "comm/LinkSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace wm {

struct Program;

class frmConnection final : public QDialog {
    Q_OBJECT

public:
    explicit frmConnection(Program& program, QWidget* parent = nullptr);

    // Looks for the meter and, when it finds one, calls SetFoundLink. Find is
    // disabled while this is empty (its state follows at the next showing,
    // or at once through UpdateFindButton).
    std::function<void(frmConnection&)> findMeter;
    void UpdateFindButton();
    // Fills the fields a meter search finds: protocol, baud rate, parity,
    // meter address and Modbus address (and the device, when it names one).
    void SetFoundLink(const LinkSettings& found);
    // The settings the fields describe now; `problem` says which field holds
    // no number (the file's own rules are checked when it is written).
    [[nodiscard]] LinkSettings FieldSettings(std::string& problem) const;

    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdFind_Click();
    void cboProtocol_Click();
    void chkNode_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowSettings(const LinkSettings& s);

    Program& program_;
    LinkSettings settings_; // the values no field shows are kept as read

    QComboBox* cboPort = nullptr;
    QComboBox* cboProtocol = nullptr;
    QComboBox* cboBaudRate = nullptr;
    QComboBox* cboParity = nullptr;
    QCheckBox* chkEcho = nullptr;
    QLineEdit* txtAddress = nullptr;
    QLineEdit* txtModbusAddress = nullptr;
    QLineEdit* txtFamily = nullptr;
    QLineEdit* txtRevision = nullptr;
    QCheckBox* chkNode = nullptr;
    QLineEdit* txtNodeIP = nullptr;
    QLineEdit* txtNodeMAC = nullptr;
    QLineEdit* txtListenPort = nullptr;
    QLabel* lblFile = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdFind = nullptr;
};

} // namespace wm
