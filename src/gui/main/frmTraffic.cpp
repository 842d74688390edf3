#include "gui/main/frmTraffic.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Program.h"
#include "app/SaveFileAs.h"
#include "comm/Hex.h"

namespace wm {

// ---------------------------------------------------------------- TrafficModel

TrafficModel::TrafficModel(TrafficHistory& history, QObject* parent) : QAbstractTableModel(parent), history_(history) {}

void TrafficModel::Append(const TrafficLine& line) {
    if (history_.Paused()) {
        history_.Add(line); // counted as skipped
        return;
    }
    if (const std::size_t drops = history_.DropsBeforeAdd(); drops > 0) {
        beginRemoveRows({}, 0, static_cast<int>(drops) - 1);
        history_.DropOldest(drops);
        endRemoveRows();
    }
    const int row = static_cast<int>(history_.Size());
    beginInsertRows({}, row, row);
    history_.Add(line);
    endInsertRows();
}

void TrafficModel::Clear() {
    beginResetModel();
    history_.Clear();
    endResetModel();
}

int TrafficModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(history_.Size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Columns; }

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= history_.Size()) return {};
    const TrafficLine& line = history_.Lines()[static_cast<std::size_t>(index.row())];
    const bool end = line.kind == TrafficLine::Kind::End;
    if (role == Qt::ForegroundRole && end && line.status != 0) return QColor(Qt::red);
    if (role == Qt::TextAlignmentRole && index.column() == Time)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
    case Time: return QString::fromStdString(TrafficTime(line));
    case Direction: return QString::fromStdString(std::string(TrafficKindName(line.kind)));
    case Hex:
        if (end) return QString("status %1").arg(line.status);
        return QString::fromStdString(BytesToHex(line.bytes));
    case Text:
        if (end) return QString::fromStdString(line.message);
        return QString::fromStdString(EscapeTraffic(line.bytes));
    case Note: return QString::fromStdString(line.note);
    default: return {};
    }
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const names[Columns] = {"Time (ms)", "Dir", "Hex", "Text", "Note"};
    return section >= 0 && section < Columns ? QString(names[section]) : QVariant();
}

// ---------------------------------------------------------------- frmTraffic

frmTraffic::frmTraffic(Program& program, QWidget* parent, std::size_t limit)
    : QWidget(parent, Qt::Window), program_(program), history_(limit), model_(history_),
      saveFolder_(program.paths.programDir) {
    setObjectName("frmTraffic");
    setWindowTitle("Traffic");
    BuildControls();
    subscription_ = program_.traffic.Subscribe([this](const TrafficLine& line) { Add(line); });
    ShowCount();
}

frmTraffic::~frmTraffic() { program_.traffic.Unsubscribe(subscription_); }

void frmTraffic::BuildControls() {
    grdTraffic = new QTableView(this);
    grdTraffic->setObjectName("grdTraffic");
    grdTraffic->setModel(&model_);
    grdTraffic->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    grdTraffic->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdTraffic->setWordWrap(false);
    grdTraffic->verticalHeader()->hide();
    // Rows of one height: the view never measures the lines it does not show.
    grdTraffic->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdTraffic->verticalHeader()->setDefaultSectionSize(QFontMetrics(grdTraffic->font()).height() + 4);
    grdTraffic->horizontalHeader()->setStretchLastSection(true);
    const int digit = QFontMetrics(grdTraffic->font()).horizontalAdvance('0');
    grdTraffic->setColumnWidth(TrafficModel::Time, 11 * digit);
    grdTraffic->setColumnWidth(TrafficModel::Direction, 5 * digit);
    grdTraffic->setColumnWidth(TrafficModel::Hex, 30 * digit);
    grdTraffic->setColumnWidth(TrafficModel::Text, 42 * digit);

    cmdPause = new QPushButton("Pause", this);
    cmdPause->setObjectName("cmdPause");
    connect(cmdPause, &QPushButton::clicked, this, &frmTraffic::cmdPause_Click);
    cmdClear = new QPushButton("Clear", this);
    cmdClear->setObjectName("cmdClear");
    connect(cmdClear, &QPushButton::clicked, this, &frmTraffic::cmdClear_Click);
    cmdSave = new QPushButton("Save", this);
    cmdSave->setObjectName("cmdSave");
    connect(cmdSave, &QPushButton::clicked, this, &frmTraffic::cmdSave_Click);
    lblCount = new QLabel(this);
    lblCount->setObjectName("lblCount");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdPause);
    buttons->addWidget(cmdClear);
    buttons->addWidget(cmdSave);
    buttons->addStretch(1);
    buttons->addWidget(lblCount);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grdTraffic, 1);
    layout->addLayout(buttons);
    resize(112 * digit, 420);
}

void frmTraffic::Add(const TrafficLine& line) {
    const bool paused = history_.Paused();
    QScrollBar* bar = grdTraffic->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    model_.Append(line);
    // The count and the scroll wait for the event loop: a burst of frames
    // costs one update, and the exchange never waits for the view.
    if (scrollPending_) return;
    scrollPending_ = true;
    QTimer::singleShot(0, this, [this, follow = atEnd && !paused] {
        scrollPending_ = false;
        ShowCount();
        if (follow) grdTraffic->scrollToBottom();
    });
}

void frmTraffic::ShowCount() {
    QString text = QString("%1 lines").arg(history_.Size());
    if (history_.Skipped() > 0) text += QString(", %1 skipped while paused").arg(history_.Skipped());
    if (history_.Dropped() > 0) text += QString(", %1 oldest dropped").arg(history_.Dropped());
    lblCount->setText(text);
}

void frmTraffic::cmdPause_Click() {
    history_.SetPaused(!history_.Paused());
    cmdPause->setText(history_.Paused() ? "Continue" : "Pause");
    ShowCount();
}

void frmTraffic::cmdClear_Click() {
    model_.Clear();
    ShowCount();
}

void frmTraffic::cmdSave_Click() {
    const auto file = SaveTrafficText(program_.platform.op, history_.Text(), saveFolder_);
    if (file && file->has_parent_path()) saveFolder_ = file->parent_path();
}

QString frmTraffic::Cell(int row, int column) const { return model_.index(row, column).data().toString(); }

} // namespace wm
