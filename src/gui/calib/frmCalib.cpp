#include "gui/calib/frmCalib.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "app/CalibRecordFile.h"
#include "app/Program.h"
#include "app/SetupFileCommands.h"
#include "comm/Tables.h"
#include "gui/calib/CalibRecordPicture.h"
#include "gui/calib/JumperDrawings.h"
#include "gui/common/PrintWindow.h"

namespace wm {

namespace {

QString Text(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

QColor Colour(Rgb c) { return QColor(c.r, c.g, c.b); }

// The range list: opening it selects the shown range afresh, as a click on
// it does, so that the window starts the range from its first step.
class RangeCombo final : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> dropDown;

    void showPopup() override {
        if (dropDown) dropDown();
        QComboBox::showPopup();
    }
};

void Apply(QWidget* w, const CalibControl& c) {
    w->setVisible(c.visible);
    w->setEnabled(c.enabled);
}

} // namespace

frmCalib::frmCalib(Program& program, QWidget* parent)
    : QWidget(parent, Qt::Window), program_(program), calib_(program.session) {
    setObjectName("frmCalib");
    setAttribute(Qt::WA_DeleteOnClose);
    now = [] { return QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss").toStdString(); };
    BuildControls();
    calib_.changed = [this] { Refresh(); };
    Refresh();
}

frmCalib::~frmCalib() { calib_.changed = nullptr; }

QPushButton* frmCalib::Button(const char* name, const char* caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setMinimumWidth(90);
    return b;
}

void frmCalib::BuildControls() {
    fraRange = new QGroupBox("Select Range", this);
    fraRange->setObjectName("fraRange");
    auto* combo = new RangeCombo(fraRange);
    cboRange = combo;
    cboRange->setObjectName("cboRange");
    cboRange->setMinimumWidth(170);
    combo->dropDown = [this] { cboRange_DropDown(); };
    connect(cboRange, &QComboBox::activated, this, &frmCalib::cboRange_Click);
    auto* rangeBox = new QVBoxLayout(fraRange);
    rangeBox->addWidget(cboRange);

    lblRange = new QLabel(this);
    lblRange->setObjectName("lblRange");
    QFont big = lblRange->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblRange->setFont(big);
    lblRange->setAlignment(Qt::AlignCenter);
    lblScaleF = new QLabel(this);
    lblScaleF->setObjectName("lblScaleF");

    lblJump = new QLabel(this);
    lblJump->setObjectName("lblJump");
    lblJump->setWordWrap(true);
    imgJump = new JumperView(this);
    imgJump->setObjectName("imgJump");

    lblLine1 = new QLabel(this);
    lblLine1->setObjectName("lblLine1");
    txtInput = new QLineEdit(this);
    txtInput->setObjectName("txtInput");
    txtInput->setReadOnly(true);
    txtInput->setAlignment(Qt::AlignCenter);
    QFont inputFont = txtInput->font();
    inputFont.setPointSizeF(inputFont.pointSizeF() * 1.4);
    inputFont.setBold(true);
    txtInput->setFont(inputFont);
    ProgBar = new QProgressBar(this);
    ProgBar->setObjectName("ProgBar");
    ProgBar->setRange(0, 100);

    // The grid: column 0 the row titles, 1-10 one attempt each, each row an
    // eighth of its height.
    Grid1 = new QTableWidget(kCalibRows, kCalibColumns, this);
    Grid1->setObjectName("Grid1");
    Grid1->horizontalHeader()->hide();
    Grid1->verticalHeader()->hide();
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid1->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    const int textWidth = Grid1->fontMetrics().horizontalAdvance("-800000");
    const int titleWidth = static_cast<int>(std::lround(2.3 * textWidth)) + 8;
    const int attemptWidth = static_cast<int>(std::lround(1.2 * textWidth)) + 8;
    Grid1->setColumnWidth(0, titleWidth);
    for (int c = 1; c < kCalibColumns; ++c) Grid1->setColumnWidth(c, attemptWidth);
    for (int r = 0; r < kCalibRows; ++r)
        for (int c = 0; c < kCalibColumns; ++c) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(c == 0 ? Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter) : Qt::Alignment(Qt::AlignCenter));
            Grid1->setItem(r, c, item);
        }
    const int frame = 2 * Grid1->frameWidth();
    Grid1->setFixedWidth(titleWidth + (kCalibColumns - 1) * attemptWidth + frame);
    Grid1->setFixedHeight(kCalibRows * (Grid1->fontMetrics().height() + 8) + frame);

    // The ten Accept buttons sit under the grid's attempt columns.
    shpAccept = new QFrame(this);
    shpAccept->setObjectName("shpAccept");
    shpAccept->setFrameShape(QFrame::Box);
    auto* acceptRow = new QHBoxLayout(shpAccept);
    acceptRow->setContentsMargins(Grid1->frameWidth(), 2, Grid1->frameWidth(), 2);
    acceptRow->setSpacing(0);
    Label1 = new QLabel("Accept", shpAccept);
    Label1->setObjectName("Label1");
    Label1->setFixedWidth(titleWidth);
    Label1->setAlignment(Qt::AlignCenter);
    acceptRow->addWidget(Label1);
    for (int i = 1; i < kCalibColumns; ++i) {
        auto* b = new QPushButton(" " + QString::number(i), shpAccept);
        b->setObjectName("cmd");
        b->setProperty("index", i);
        b->setFixedWidth(attemptWidth);
        connect(b, &QPushButton::clicked, this, [this, i] { cmd_Click(i); });
        acceptRow->addWidget(b);
        cmd_[static_cast<std::size_t>(i)] = b;
    }
    shpAccept->setFixedWidth(Grid1->width());

    lblOutRange = new QLabel(Text(kOutRangeText), this);
    lblOutRange->setObjectName("lblOutRange");
    QPalette warn = lblOutRange->palette();
    warn.setColor(QPalette::WindowText, Colour(ColourRed));
    lblOutRange->setPalette(warn);
    QFont warnFont = lblOutRange->font();
    warnFont.setBold(true);
    lblOutRange->setFont(warnFont);

    cmdReady = Button("cmdReady", "Ready");
    cmdRepeat = Button("cmdRepeat", "Repeat");
    cmdStop = Button("cmdStop", "Stop");
    cmdEnd = Button("cmdEnd", "End");
    cmdPrint = Button("cmdPrint", "Print");
    cmdPrintRecord = Button("cmdPrintRecord", "Print Record");
    cmdSaveRecord = Button("cmdSaveRecord", "Save Record");
    connect(cmdReady, &QPushButton::clicked, this, &frmCalib::cmdReady_Click);
    connect(cmdRepeat, &QPushButton::clicked, this, &frmCalib::cmdRepeat_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmCalib::cmdStop_Click);
    connect(cmdEnd, &QPushButton::clicked, this, &frmCalib::cmdEnd_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmCalib::cmdPrint_Click);
    connect(cmdPrintRecord, &QPushButton::clicked, this, &frmCalib::cmdPrintRecord_Click);
    connect(cmdSaveRecord, &QPushButton::clicked, this, &frmCalib::cmdSaveRecord_Click);

    // Layout: the range and the jumpers on the left, the input to apply on
    // the right, the grid and its Accept row across, the buttons below.
    auto* top = new QGridLayout;
    top->addWidget(fraRange, 0, 0);
    top->addWidget(lblRange, 0, 1);
    top->addWidget(lblScaleF, 0, 2, Qt::AlignRight | Qt::AlignVCenter);
    auto* jumpers = new QVBoxLayout;
    jumpers->addWidget(lblJump);
    jumpers->addWidget(imgJump, 1);
    top->addLayout(jumpers, 1, 0, 1, 2);
    auto* input = new QVBoxLayout;
    input->addStretch(1);
    input->addWidget(lblLine1);
    input->addWidget(txtInput);
    input->addSpacing(8);
    input->addWidget(ProgBar);
    input->addStretch(1);
    top->addLayout(input, 1, 2);
    top->setColumnStretch(1, 1);
    top->setRowStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdReady, cmdRepeat, cmdStop, cmdEnd}) buttons->addWidget(b);
    buttons->addStretch(1);
    for (QPushButton* b : {cmdPrint, cmdPrintRecord, cmdSaveRecord}) buttons->addWidget(b);

    auto* whole = new QVBoxLayout(this);
    whole->addLayout(top, 1);
    whole->addWidget(Grid1, 0, Qt::AlignHCenter);
    whole->addWidget(shpAccept, 0, Qt::AlignHCenter);
    whole->addWidget(lblOutRange, 0, Qt::AlignHCenter);
    whole->addLayout(buttons);

    // Controls that come and go keep their room, so nothing jumps.
    for (QWidget* w : std::initializer_list<QWidget*>{lblJump, lblLine1, txtInput, ProgBar, Grid1, shpAccept,
                                                      lblOutRange, cmdRepeat}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
}

QPushButton* frmCalib::cmd(int index) const {
    if (index < 1 || index >= kCalibColumns) return nullptr;
    return cmd_[static_cast<std::size_t>(index)];
}

// ---------------------------------------------------------------- showing the state

void frmCalib::Refresh() {
    const CalibState& s = calib_.State();
    setWindowTitle(Text(s.caption));

    refreshing_ = true;
    QStringList items;
    for (const std::string& r : s.rangeList) items << Text(r);
    QStringList shown;
    for (int i = 0; i < cboRange->count(); ++i) shown << cboRange->itemText(i);
    if (items != shown) {
        cboRange->clear();
        cboRange->addItems(items);
    }
    if (s.listIndex >= 0 && s.listIndex < cboRange->count()) cboRange->setCurrentIndex(s.listIndex);
    refreshing_ = false;
    fraRange->setEnabled(s.rangeEnabled);
    cboRange->setEnabled(s.rangeEnabled);

    lblRange->setText(Text(s.lblRange));
    lblScaleF->setText(Text(s.lblScaleF));
    lblJump->setText(Text(s.lblJump.caption));
    lblJump->setVisible(s.lblJump.visible);
    imgJump->SetPicture(s.jIndx);
    lblLine1->setText(Text(s.lblLine1.caption));
    lblLine1->setVisible(s.lblLine1.visible);
    QPalette line = lblLine1->palette();
    line.setColor(QPalette::WindowText, Colour(s.lblLine1Colour));
    lblLine1->setPalette(line);
    lblOutRange->setText(Text(s.lblOutRange.caption));
    lblOutRange->setVisible(s.lblOutRange.visible);
    txtInput->setText(Text(s.txtInput.caption));
    Apply(txtInput, s.txtInput);
    ProgBar->setVisible(s.progBarVisible);
    ProgBar->setValue(s.progBar);

    const std::pair<QPushButton*, const CalibControl*> buttons[] = {
        {cmdReady, &s.cmdReady}, {cmdRepeat, &s.cmdRepeat}, {cmdStop, &s.cmdStop}, {cmdEnd, &s.cmdEnd}};
    for (const auto& [button, control] : buttons) {
        button->setText(Text(control->caption));
        Apply(button, *control);
    }
    shpAccept->setVisible(s.acceptVisible);
    for (int i = 1; i < kCalibColumns; ++i) {
        const CalibControl& c = s.cmd[static_cast<std::size_t>(i)];
        cmd(i)->setText(Text(c.caption));
        cmd(i)->setEnabled(c.enabled);
    }
    // Printing opens dialogs of its own: not while the meter is being worked.
    const bool idle = !calib_.Busy();
    cmdPrint->setEnabled(idle);
    const bool recorded = idle && !calib_.Record().ranges.empty();
    cmdPrintRecord->setEnabled(recorded);
    cmdSaveRecord->setEnabled(recorded);

    Grid1->setVisible(s.gridVisible);
    RefreshGrid();
    RefreshFocus();
}

void frmCalib::RefreshGrid() {
    const CalibState& s = calib_.State();
    for (int r = 0; r < kCalibRows; ++r)
        for (int c = 0; c < kCalibColumns; ++c) {
            QTableWidgetItem* item = Grid1->item(r, c);
            const QString text = Text(s.grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]);
            if (item->text() == text) continue;
            item->setText(text);
            // The attempt columns are narrow for the longer input names.
            item->setToolTip(c > 0 ? text.trimmed() : QString());
        }
    if (Grid1->currentRow() != s.gridRow || Grid1->currentColumn() != s.gridCol)
        Grid1->setCurrentCell(s.gridRow, s.gridCol);
}

void frmCalib::RefreshFocus() {
    const CalibState& s = calib_.State();
    QWidget* target = nullptr;
    switch (s.focus) {
    case CalibFocus::None: break;
    case CalibFocus::cmdReady: target = cmdReady; break;
    case CalibFocus::cmdRepeat: target = cmdRepeat; break;
    case CalibFocus::cmdStop: target = cmdStop; break;
    case CalibFocus::cmdEnd: target = cmdEnd; break;
    case CalibFocus::cboRange: target = cboRange; break;
    case CalibFocus::cmd: target = cmd(s.focusIndex); break;
    }
    if (target != nullptr && target->isEnabled() && !target->hasFocus()) target->setFocus();
}

// ---------------------------------------------------------------- handlers

bool frmCalib::CalibCont() {
    QPointer<frmCalib> self(this);
    const bool started = calib_.CalibCont();
    if (!self) return false;
    Refresh();
    AfterRun();
    return started;
}

void frmCalib::cboRange_Click(int listIndex) {
    if (refreshing_) return;
    calib_.cboRange_Click(listIndex);
    Refresh(); // a refused click puts the list back on the range in use
}

void frmCalib::cboRange_DropDown() { cboRange_Click(cboRange->currentIndex()); }

void frmCalib::cmdReady_Click() {
    calib_.cmdReady_Click();
    AfterRun();
}

void frmCalib::cmdRepeat_Click() {
    calib_.cmdRepeat_Click();
    AfterRun();
}

void frmCalib::cmd_Click(int index) {
    calib_.cmd_Click(index);
    AfterRun();
}

void frmCalib::cmdStop_Click() { calib_.cmdStop_Click(); }

void frmCalib::cmdEnd_Click() {
    if (calib_.Busy() || !calib_.State().cmdEnd.enabled) return;
    calib_.cmdEnd_Click();
    Leave();
}

void frmCalib::AfterRun() {
    if (closePending_ && !calib_.Busy()) close();
}

void frmCalib::closeEvent(QCloseEvent* event) {
    if (left_) {
        event->accept();
        return;
    }
    if (calib_.Busy()) {
        // The run on the stack still uses this window: it is stopped at its
        // next check, and the window closes when it has returned.
        closePending_ = true;
        calib_.cmdStop_Click();
        event->ignore();
        return;
    }
    // Leaving by the close box puts the meter's scale factor back as End
    // does; otherwise the meter would go on reading with the factor the
    // calibration set.
    if (calib_.State().cmdEnd.enabled) calib_.cmdEnd_Click();
    Leave();
    event->accept();
}

void frmCalib::Leave() {
    if (left_) return;
    left_ = true;
    Q_EMIT finished();
    close();
}

// ---------------------------------------------------------------- printing and the record

void frmCalib::StampRecord() { calib_.Record().dateTime = now ? now() : std::string(); }

std::filesystem::path frmCalib::RecordFolder() const {
    if (!recordFile_.empty() && recordFile_.has_parent_path()) return recordFile_.parent_path();
    return SetupFileFolder(program_);
}

void frmCalib::cmdPrint_Click() {
    if (calib_.Busy()) return;
    (void)PrintWidget(*this, program_.platform.op, RecordFolder(), "frmCalib"); // failures have been told
}

void frmCalib::cmdPrintRecord_Click() {
    if (calib_.Busy() || calib_.Record().ranges.empty()) return;
    StampRecord();
    const CalibRecord& record = calib_.Record();
    const std::string name = CalibRecordFileName(record);
    (void)PrintPicture(CalibRecordPicture(record), "Calibration Record", this, program_.platform.op,
                       RecordFolder(), name.substr(0, name.size() - 4));
}

void frmCalib::cmdSaveRecord_Click() {
    if (calib_.Busy() || calib_.Record().ranges.empty()) return;
    StampRecord();
    if (const auto file = SaveCalibRecord(program_.platform.op, calib_.Record(), RecordFolder())) recordFile_ = *file;
}

} // namespace wm
