#include "gui/readings/frmList.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "app/SaveFileAs.h"
#include "app/Program.h"
#include "gui/common/PrintWindow.h"
#include "readings/OutputCommands.h"
#include "readings/RecordReceiver.h"
#include "sc/SigCond.h"

namespace wm {

namespace {

constexpr int kMargin = 8;
constexpr int kGridWidth = 1260; // 60 pixels a column: a reading such as " +1250.5" fits
constexpr int kGridHeight = 420;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 28;

// The line the grid is laid out for before the first record has been
// measured: a reading as the meter sends it.
constexpr const char* kTypicalRecord = " +1234.5p";

} // namespace

ListGridLayout LayOutListGrid(int width, int height, int textHeight) {
    ListGridLayout layout;
    layout.columnWidth = std::max(width, 0) / frmList::kGridColumns;
    layout.rowHeight = std::max(textHeight, 1) + frmList::kRowMargin;
    layout.rows = std::max(height / layout.rowHeight, 1);
    return layout;
}

int TextLines(std::string_view text) {
    int lines = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        if (text[i] == '\r' || text[i] == '\n') ++lines;
    }
    return lines;
}

frmList::frmList(Program& program, QWidget* parent) : QWidget(parent, Qt::Window), program_(program) {
    setObjectName("frmList");
    setWindowTitle("LIST READINGS");
    BuildControls();
    LayOutGrid(kTypicalRecord);
    program_.platform.port.SetRTSEnable(true);
}

frmList::~frmList() = default;

QPushButton* frmList::Button(const char* name, const char* caption, int x) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setGeometry(x, kMargin + kGridHeight + kMargin, kButtonWidth, kButtonHeight);
    b->setAutoDefault(false);
    return b;
}

void frmList::BuildControls() {
    setFixedSize(kGridWidth + 2 * kMargin, kGridHeight + 3 * kMargin + kButtonHeight);

    Grid1 = new QTableWidget(this);
    Grid1->setObjectName("Grid1");
    Grid1->setGeometry(kMargin, kMargin, kGridWidth, kGridHeight);
    Grid1->setColumnCount(kGridColumns);
    Grid1->horizontalHeader()->hide();
    Grid1->verticalHeader()->hide();
    Grid1->horizontalHeader()->setMinimumSectionSize(1);
    Grid1->verticalHeader()->setMinimumSectionSize(1);
    Grid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setSelectionMode(QAbstractItemView::NoSelection);
    Grid1->setWordWrap(false);
    Grid1->setTextElideMode(Qt::ElideNone);
    Grid1->setFocusPolicy(Qt::StrongFocus);
    // The grid is for display only: what the operator does to it is
    // answered with a beep.
    Grid1->installEventFilter(this);
    Grid1->viewport()->installEventFilter(this);

    int x = kMargin;
    const auto next = [&x] { return std::exchange(x, x + kButtonWidth + kMargin); };
    connect(Button("cmdPause", "Pause", next()), &QPushButton::clicked, this, &frmList::cmdPause_Click);
    connect(Button("cmdContin", "Continue", next()), &QPushButton::clicked, this, &frmList::cmdContin_Click);
    connect(Button("cmdEnd", "End", next()), &QPushButton::clicked, this, &frmList::cmdEnd_Click);
    connect(Button("cmdPrint", "Print", next()), &QPushButton::clicked, this, &frmList::cmdPrint_Click);
    auto* save = Button("cmdSaveCsv", "Save CSV", kMargin + kGridWidth - kButtonWidth);
    save->setToolTip("Save the readings listed since the list started as a CSV file");
    connect(save, &QPushButton::clicked, this, &frmList::cmdSaveCsv_Click);
}

// ---------------------------------------------------------------- the grid

void frmList::LayOutGrid(const std::string& sampleLine) {
    Grid1->ensurePolished();
    const QFontMetrics metrics(Grid1->font());
    const int textHeight = metrics.lineSpacing() * TextLines(sampleLine);
    // The cells' area: the grid inside its frame (it has no scroll bars).
    const QSize area = Grid1->contentsRect().size();
    const ListGridLayout layout = LayOutListGrid(area.width(), area.height(), textHeight);
    for (int col = 0; col < kGridColumns; ++col) Grid1->setColumnWidth(col, layout.columnWidth);
    Grid1->setRowCount(layout.rows);
    for (int row = 0; row < layout.rows; ++row) Grid1->setRowHeight(row, layout.rowHeight);
    cursor_.rows = layout.rows;
}

void frmList::SetCell(int row, int col, const QString& text) {
    QTableWidgetItem* item = Grid1->item(row, col);
    if (item == nullptr) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled);
        Grid1->setItem(row, col, item);
    }
    item->setText(text);
}

QString frmList::CellText(int row, int col) const {
    const QTableWidgetItem* item = Grid1->item(row, col);
    return item != nullptr ? item->text() : QString();
}

// ---------------------------------------------------------------- receiving

void frmList::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Shown by the program (opened from the main menu, or shown again), not
    // restored by the window system after it was minimised or covered: the
    // list starts afresh only when the operator comes to it from the menu,
    // since a restart drops what was listed and the stream's first records.
    if (!event->spontaneous()) Form_Activate();
}

void frmList::Form_Activate() {
    if (unloaded_) return;
    program_.platform.port.SetRTSEnable(true);
    if (receiving_) {
        restart_ = true;
        Wake();
        return;
    }
    stopped_ = false;
    runWanted_ = true;
    // The run is a loop that lasts as long as the window: it starts once
    // the event that showed the window has been dealt with.
    QTimer::singleShot(0, this, &frmList::ReceiveRecords);
}

void frmList::Wake() { program_.platform.pump.Wake(); }

bool frmList::SendStart() { return StartContinuousOutput(program_) != status::DeviceGone; }

void frmList::BeginRun() {
    cursor_.next = {};
    framer_.emplace(ChooseRecordCharacters(program_.setup, program_.link.MeterRevision),
                    RecordFramer::DefaultMaxBuffered, FramerUse::List);
    laidOut_ = false;
    log_.Clear();
}

void frmList::ReceiveRecords() {
    if (receiving_ || !runWanted_ || stopped_) return;
    receiving_ = true;
    restart_ = true;
    QPointer<frmList> self(this);
    RecordReceiver receiver(program_.platform.port, program_.platform.pump, program_.platform.clock);
    // Asked after every wait: a window deleted meanwhile stops the loop
    // without being touched again.
    const auto interrupted = [self, this] { return !self || stopped_ || restart_ || startWanted_ || endWanted_; };
    bool gone = false;
    // Every request is carried out here, between records: the loop is the
    // only one that talks to the meter while it runs, so a click during its
    // own command's pause is never refused.
    for (;;) {
        if (endWanted_) {
            endWanted_ = false;
            EndList();
            if (!self) return;
            continue;
        }
        if (stopped_ || gone) break;
        if (restart_ || startWanted_) {
            const bool fresh = restart_;
            restart_ = startWanted_ = false;
            gone = !SendStart();
            if (!self) return;
            if (gone || !fresh || restart_) continue;
            BeginRun();
            receiver.Discard();
            continue;
        }
        const ReceivedRecord got = receiver.Next(*framer_, interrupted);
        if (!self) return;
        if (got.outcome == ReceivedRecord::Outcome::Gone) gone = true;
        if (got.outcome == ReceivedRecord::Outcome::Record) PutRecord(got);
    }
    receiving_ = false;
    runWanted_ = false;
    if (unloaded_) {
        deleteLater();
        return;
    }
    // The serial device went away: the list cannot go on.
    if (gone) MsgErr(program_.platform.op);
}

void frmList::PutRecord(const ReceivedRecord& got) {
    if (!laidOut_) {
        // The measured record sizes the rows; it is known once the first
        // record to show has come.
        LayOutGrid(framer_->SampleLine());
        laidOut_ = true;
    }
    const GridCursor::Placed placed = cursor_.Put();
    SetCell(placed.record.row, placed.record.col, QString::fromLatin1(got.record));
    SetCell(placed.blank.row, placed.blank.col, " ");
    // The cell the next record goes to is the current one.
    Grid1->setCurrentCell(placed.blank.row, placed.blank.col);
    log_.Add(got.tickMs, got.record);
}

// ---------------------------------------------------------------- buttons

void frmList::cmdPause_Click() {
    Grid1->setFocus();
    // The meter keeps sending; what arrives is dropped until Continue.
    if (framer_) framer_->Pause();
}

void frmList::cmdContin_Click() {
    Grid1->setFocus();
    if (framer_) framer_->Continue();
    if (receiving_) {
        startWanted_ = true;
        Wake();
        return;
    }
    // Nothing receives (the run has not begun, or the window was closed and
    // shown again): the list starts, with the start command.
    if (!runWanted_) Form_Activate();
}

void frmList::cmdEnd_Click() {
    if (ending_) return;
    if (receiving_) {
        endWanted_ = true;
        Wake();
        return;
    }
    // A run asked for and not yet begun does not begin.
    runWanted_ = false;
    EndList();
}

void frmList::EndList() {
    QPointer<frmList> self(this);
    ending_ = true;
    (void)StopContinuousOutput(program_); // a meter that has gone stops sending anyway
    program_.platform.pump.ProcessEvents();
    if (!self) return;
    Operator& op = program_.platform.op;
    op.SetBusy(true);
    Q_EMIT mainMenuWanted();
    op.SetBusy(false);
    if (self) ending_ = false;
}

void frmList::closeEvent(QCloseEvent* event) {
    const bool deferred = receiving_ && !ending_;
    cmdEnd_Click();
    if (deferred) {
        // The receiving loop sends the stop command once it is back from its
        // wait; the main window must be back before this one goes, or the
        // program would find itself without a window and end.
        Operator& op = program_.platform.op;
        op.SetBusy(true);
        Q_EMIT mainMenuWanted();
        op.SetBusy(false);
    }
    stopped_ = true;
    Wake();
    event->accept();
}

void frmList::Unload() {
    stopped_ = true;
    unloaded_ = true;
    hide();
    if (receiving_) {
        Wake();
        return;
    }
    deleteLater();
}

std::filesystem::path frmList::SaveFolder() const {
    return program_.ReadingsFolder.empty() ? program_.paths.programDir : program_.ReadingsFolder;
}

void frmList::cmdPrint_Click() {
    (void)PrintWidget(*this, program_.platform.op, SaveFolder(), "frmList"); // failures have been told
}

void frmList::cmdSaveCsv_Click() {
    if (const auto file = SaveReadingsCsv(program_.platform.op, log_, SaveFolder(), "Readings"); file && file->has_parent_path())
        program_.ReadingsFolder = file->parent_path();
}

// ---------------------------------------------------------------- display only

void frmList::mousePressEvent(QMouseEvent* event) {
    program_.platform.op.Beep();
    event->accept();
}

bool frmList::eventFilter(QObject* watched, QEvent* event) {
    if (watched != Grid1 && watched != Grid1->viewport()) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return false; // moving on to the buttons
        program_.platform.op.Beep();
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        Grid1->setFocus();
        program_.platform.op.Beep();
        return true;
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}

} // namespace wm
