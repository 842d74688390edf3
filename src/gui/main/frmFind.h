#pragma once
// Finding the meter from the connection window: a progress bar over the
// scan's tries, the link being tried, and Cancel. The window runs the
// core's scan (comm/LinkScan.h) itself; the scan's waits keep the event loop
// turning, so the window repaints and Cancel is heard while it runs. Cancel,
// Escape and the close box all stop the scan before its next try.
//
//     frmFind find(program, connectionLine1, ScanMode::Full, this);
//     if (const std::optional<ScanLink> link = find.Run()) ...  // else find.Outcome() says why not
#include <QDialog>
#include <QString>
#include <optional>
#include <string>

#include "comm/LinkScan.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace wm {

class frmFind final : public QDialog {
    Q_OBJECT

public:
    // meter: the program's link (a Program converts to it). baseLine1:
    // Settings.SSS line 1 whose port number, family, revision and board every
    // try keeps (empty: the defaults, port 1).
    frmFind(MeterLink& meter, std::string baseLine1, ScanMode mode = ScanMode::Full, QWidget* parent = nullptr);

    // Shows the window (modal: no other window can start an exchange), runs
    // the scan to its end and hides the window again. Returns the link
    // found, or nothing: nothing answered, the scan was cancelled, or the
    // serial port could not be used (Result() and Outcome() say which).
    // The program's link and port are as they were before.
    std::optional<ScanLink> Run();
    [[nodiscard]] const ScanResult& Result() const { return result_; }
    // One sentence for the operator: the link found, or why there is none.
    [[nodiscard]] QString Outcome() const;
    [[nodiscard]] bool Running() const { return running_; }

    void cmdCancel_Click();

Q_SIGNALS:
    // Before each try: how many are done and how many there are in all.
    void tryStarted(int done, int total);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Progress(const ScanProgress& p);

    MeterLink& meter_;
    std::string baseLine1_;
    ScanMode mode_;
    ScanResult result_;
    bool cancel_ = false;
    bool running_ = false;
    QProgressBar* prgScan = nullptr;
    QLabel* lblTrying = nullptr;
    QPushButton* cmdCancel = nullptr;
};

} // namespace wm
