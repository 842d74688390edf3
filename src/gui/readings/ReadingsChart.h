#pragma once
// What the plot and the graph windows share: the scale entries, the buttons,
// the start and stop commands of the meter's continuous output, and the
// receiving loop that hands each reading to the window's drawing.
//
// The loop runs from the handler that starts a run (OK, or a restart) and
// waits in the event loop between records, so the buttons act while it
// runs. It ends on End, on the close box, on New Scale and when the program
// ends. There is never more than one: a run asked for while the loop is on
// the stack (OK after New Scale, Continue on a full plot) is left to that
// loop, which starts it when the current run has stopped. The window is
// deleted only when nothing of its own is on the stack any more.
#include <QString>
#include <QWidget>
#include <memory>
#include <string>

#include "readings/ChartDrawing.h"
#include "readings/ReadingsLog.h"
#include "readings/RecordFramer.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace wm {

struct Program;
class ReadingsPicture;

class ReadingsChart : public QWidget {
    Q_OBJECT

public:
    ~ReadingsChart() override;

    // Shows the window in place of the main window and starts the output.
    void Open();

    void Form_Activate();
    void cmdNewScale_Click();
    void cmdOK_Click();
    void cmdPause_Click();
    void cmdContinue_Click();
    void cmdEnd_Click();
    void cmdPrint_Click();
    void cmdSave_Click();
    void cmdSaveCsv_Click();
    // The program is ending: the loop stops and the window goes, without a
    // word to the meter (the port is being closed).
    void Stop();

    [[nodiscard]] ReadingsPicture* Picture() const { return Picture1; }
    [[nodiscard]] const ReadingsLog& Log() const { return log_; }
    [[nodiscard]] bool Running() const { return onStack_ > 0 && looping_; }
    [[nodiscard]] bool Paused() const { return paused_; }

Q_SIGNALS:
    // The window has been left (End or the close box): the main window
    // comes back. Emitted once.
    void finished();

protected:
    struct Names {
        const char* window;      // the object name
        const char* caption;     // the title bar
        const char* thirdEntry;  // the third entry field's name
        const char* thirdLabel;  // its label's name
        const char* thirdText;   // its label's text
        const char* baseName;    // offered for the saved picture and the CSV
    };
    ReadingsChart(Program& program, const Names& names, QWidget* parent);

    // A run starts: the picture's scale, then the drawing of a fresh picture
    // from the three entries.
    [[nodiscard]] virtual UserScale Scale() const = 0;
    virtual Drawing BeginRun(const std::string& mid, const std::string& small, const std::string& third,
                             const TextMeasure& measure) = 0;
    // A reading: what to draw for it. `now` is the seconds-since-midnight clock.
    virtual Drawing AddValue(double value, double now) = 0;
    // The clock read while nothing arrives (the plot counts its time by it).
    virtual void Observe(double) {}
    virtual void Paused(double) {}
    // Continue: true when the run is to start afresh instead (a full plot).
    virtual bool ContinueRestarts(double) { return false; }

    // Drops what arrives until Continue (the plot when it is full).
    void PauseRun();
    [[nodiscard]] QPushButton* Button(const char* name) const;
    void closeEvent(QCloseEvent* event) override;

    Program& program_;

private:
    void BuildControls(const Names& names);
    QPushButton* AddButton(const char* name, const char* caption);
    void ShowEntries(bool show);
    void RunLoop();
    void SendOutput(bool start);
    void Leave(bool tellMeter);
    void Unwind();
    [[nodiscard]] double Now() const;

    QString baseName_;
    ReadingsPicture* Picture1 = nullptr;
    QLineEdit* txtMidVal = nullptr;
    QLineEdit* txtSmallVal = nullptr;
    QLineEdit* txtThird = nullptr;
    QLabel* lblMidVal = nullptr;
    QLabel* lblSmallVal = nullptr;
    QLabel* lblThird = nullptr;
    QPushButton* cmdOK = nullptr;

    std::unique_ptr<RecordFramer> framer_;
    ReadingsLog log_;
    bool paused_ = false;   // ListPaused
    bool runWanted_ = false; // a run is to start from the entries
    bool stop_ = false;      // the current run is to stop
    bool left_ = false;
    bool looping_ = false;
    // The output command the operator asked for last, and whether a send is
    // on the stack (a second one asked for meanwhile is sent after it).
    bool wantOutput_ = false;
    bool sending_ = false;
    // Frames of this window's own on the stack (the loop, a send): the
    // window is deleted when the last of them has returned.
    int onStack_ = 0;
    bool deletePending_ = false;
};

} // namespace wm
