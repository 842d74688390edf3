#pragma once
// The calibration window: guides the technician through the calibration of
// the signal-conditioner board, one range at a time. The procedure itself
// (sc/Calibration.h) decides everything; this window forwards the clicks to
// it and shows its state after every change. Beyond the procedure it keeps
// a record of every attempt, which it saves as CSV or prints on one page.
#include <QPointer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>

#include "sc/Calibration.h"

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace wm {

struct Program;
class JumperView;

class frmCalib final : public QWidget {
    Q_OBJECT

public:
    frmCalib(Program& program, QWidget* parent = nullptr);
    ~frmCalib() override;

    // Window start: reads the board from the meter and selects the first
    // range. False when the board is not one the window calibrates or the
    // meter could not be read (the operator has been told); the window then
    // offers only End.
    bool CalibCont();

    // The handlers, as the controls call them.
    void cboRange_Click(int listIndex);
    void cboRange_DropDown();
    void cmdReady_Click();
    void cmdRepeat_Click();
    void cmd_Click(int index);
    void cmdStop_Click();
    void cmdEnd_Click();
    void cmdPrint_Click();
    void cmdPrintRecord_Click();
    void cmdSaveRecord_Click();

    // One button of the control array cmd (1-10).
    [[nodiscard]] QPushButton* cmd(int index) const;
    [[nodiscard]] const Calibration& Procedure() const { return calib_; }
    // The file the record was last saved to (empty before).
    [[nodiscard]] const std::filesystem::path& RecordFile() const { return recordFile_; }
    // The date and time written into the record when it is saved or
    // printed; the clock's by default.
    std::function<std::string()> now;

Q_SIGNALS:
    // The window has been left (End or the close box): the main window
    // comes back. Emitted once.
    void finished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    QPushButton* Button(const char* name, const char* caption);
    void Refresh();
    void RefreshGrid();
    void RefreshFocus();
    // After every handler: a close asked for during a run is carried out
    // once the run has ended.
    void AfterRun();
    void Leave();
    void StampRecord();
    [[nodiscard]] std::filesystem::path RecordFolder() const;

    Program& program_;
    Calibration calib_;

    QGroupBox* fraRange = nullptr;
    QComboBox* cboRange = nullptr;
    QLabel* lblRange = nullptr;
    QLabel* lblScaleF = nullptr;
    QLabel* lblJump = nullptr;
    JumperView* imgJump = nullptr;
    QLabel* lblLine1 = nullptr;
    QLineEdit* txtInput = nullptr;
    QProgressBar* ProgBar = nullptr;
    QTableWidget* Grid1 = nullptr;
    QFrame* shpAccept = nullptr;
    QLabel* Label1 = nullptr;
    std::array<QPushButton*, kCalibColumns> cmd_{};
    QLabel* lblOutRange = nullptr;
    QPushButton* cmdReady = nullptr;
    QPushButton* cmdRepeat = nullptr;
    QPushButton* cmdStop = nullptr;
    QPushButton* cmdEnd = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdPrintRecord = nullptr;
    QPushButton* cmdSaveRecord = nullptr;

    bool refreshing_ = false;  // the list's selection is being set from the state
    bool closePending_ = false; // closed during a run: leave when it ends
    bool left_ = false;
    std::filesystem::path recordFile_;
};

} // namespace wm
