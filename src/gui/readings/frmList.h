#pragma once
// The readings list: the meter's continuous output, record by record, in a
// grid of 20 record columns that fills row by row and wraps to the top-left
// cell when it is full. The window starts the output when it is shown,
// receives until it is closed or unloaded, and keeps what it showed so it
// can be saved as CSV. Record framing, the grid cursor and the log are the
// core's (readings/), shared with the plot, the graph and `wmctl stream`.
#include <QString>
#include <QWidget>
#include <filesystem>
#include <optional>
#include <string_view>

#include "readings/ReadingsLog.h"
#include "readings/RecordFramer.h"

class QPushButton;
class QTableWidget;

namespace wm {

struct Program;
struct ReceivedRecord;

// How the grid is laid out for a sample record: 21 columns of a 21st of the
// width each, every row as high as the record's text plus a margin, and as
// many rows as fit in the height (at least one).
struct ListGridLayout {
    int columnWidth = 0;
    int rowHeight = 0;
    int rows = 1;
};
[[nodiscard]] ListGridLayout LayOutListGrid(int width, int height, int textHeight);

// The lines a text takes when drawn: a line feed, a carriage return or a
// CR LF pair each begin a new line (a record ended by CR and followed by LF
// carries the LF at its start, so its cell needs two lines).
[[nodiscard]] int TextLines(std::string_view text);

class frmList final : public QWidget {
    Q_OBJECT

public:
    static constexpr int kGridColumns = 21;
    // The room above and below a record in its row: 90 twips, 15 to a pixel.
    static constexpr int kRowMargin = 90 / 15;

    explicit frmList(Program& program, QWidget* parent = nullptr);
    ~frmList() override;

    // The window was shown or brought back from the main menu: RTS on, and
    // the run starts again from the start command, with the grid cursor back
    // at the top-left cell. A run already under way is restarted by that
    // same receiving loop, never by a second one.
    void Form_Activate();
    // The receiving procedure: runs until the window is closed or unloaded,
    // handling the buttons' requests between records. Form_Activate queues
    // it; calling it while it runs, or with no run asked for, does nothing.
    void ReceiveRecords();

    void cmdPause_Click();
    void cmdContin_Click();
    void cmdEnd_Click();
    void cmdPrint_Click();
    void cmdSaveCsv_Click();

    // The main window's activation unloads the window: receiving stops at
    // once (no command is sent), the window goes, and it is deleted as soon
    // as its receiving loop has returned.
    void Unload();

    [[nodiscard]] bool Receiving() const { return receiving_; }
    [[nodiscard]] bool ListPaused() const { return framer_ && framer_->Paused(); }
    // The grid rows in use (ListRows).
    [[nodiscard]] int ListRows() const { return cursor_.rows; }
    [[nodiscard]] QString CellText(int row, int col) const;
    // The records shown since the run started, with their times.
    [[nodiscard]] const ReadingsLog& Log() const { return log_; }

Q_SIGNALS:
    // End (or the close box): the main window is to come back.
    void mainMenuWanted();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    QPushButton* Button(const char* name, const char* caption, int x);
    void Wake();
    // The start command; false when the serial device has gone away.
    bool SendStart();
    // Steps 1 and 2 of a run: cursor, record characters, not paused, the
    // port emptied.
    void BeginRun();
    void PutRecord(const ReceivedRecord& got);
    void LayOutGrid(const std::string& sampleLine);
    void SetCell(int row, int col, const QString& text);
    // End's work: the stop command, then the main window back.
    void EndList();
    [[nodiscard]] std::filesystem::path SaveFolder() const;

    Program& program_;
    QTableWidget* Grid1 = nullptr;

    std::optional<RecordFramer> framer_;
    GridCursor cursor_;
    bool laidOut_ = false; // the grid has been laid out for this run's sample line
    ReadingsLog log_;

    // The receiving loop and the requests it handles between records.
    bool receiving_ = false;
    bool runWanted_ = false;   // a run was asked for and has not ended
    bool restart_ = false;     // start again from the start command
    bool startWanted_ = false; // Continue: the start command
    bool endWanted_ = false;   // End: the stop command and the main window
    bool stopped_ = false;     // closed or unloaded: receiving ends
    bool unloaded_ = false;    // delete the window once receiving has ended
    bool ending_ = false;      // End's own work is under way
};

} // namespace wm
