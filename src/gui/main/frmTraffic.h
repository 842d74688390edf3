#pragma once
// The Traffic window (View > Traffic): every frame sent to and received from
// the meter, and the status each exchange ended with, as they happen. It
// listens to the program's traffic while it is open and keeps at most
// TrafficHistory::DefaultLimit lines (the oldest go first). Pause stops
// adding lines until Continue; lines that come meanwhile are not shown, only
// counted. Save writes the lines in the traffic format (comm/TrafficLog.h).
// It only watches: the operator's messages stay as they are.
#include <QAbstractTableModel>
#include <QWidget>
#include <filesystem>

#include "comm/TrafficTap.h"

class QLabel;
class QPushButton;
class QTableView;

namespace wm {

struct Program;

// The lines as a table: time, direction, hex, text, note. An end line shows
// "end", its status code and what the code means.
class TrafficModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit TrafficModel(TrafficHistory& history, QObject* parent = nullptr);
    enum Column { Time, Direction, Hex, Text, Note, Columns };

    void Append(const TrafficLine& line);
    void Clear();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    TrafficHistory& history_;
};

class frmTraffic final : public QWidget {
    Q_OBJECT

public:
    explicit frmTraffic(Program& program, QWidget* parent = nullptr,
                        std::size_t limit = TrafficHistory::DefaultLimit);
    ~frmTraffic() override;
    frmTraffic(const frmTraffic&) = delete;
    frmTraffic& operator=(const frmTraffic&) = delete;

    void cmdPause_Click();
    void cmdClear_Click();
    void cmdSave_Click();

    [[nodiscard]] const TrafficHistory& History() const { return history_; }
    // A cell as the table shows it.
    [[nodiscard]] QString Cell(int row, int column) const;

private:
    void BuildControls();
    void Add(const TrafficLine& line);
    void ShowCount();

    Program& program_;
    TrafficHistory history_;
    TrafficModel model_;
    int subscription_ = 0;
    std::filesystem::path saveFolder_;
    bool scrollPending_ = false;

    QTableView* grdTraffic = nullptr;
    QPushButton* cmdPause = nullptr;
    QPushButton* cmdClear = nullptr;
    QPushButton* cmdSave = nullptr;
    QLabel* lblCount = nullptr;
};

} // namespace wm
