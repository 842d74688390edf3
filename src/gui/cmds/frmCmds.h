#pragma once
// The commands window: the four resets, the tare reset and the three
// reading requests, one exchange per button in the active protocol. The
// command table, the texts and the reading decode are the core's
// (comm/MeterCommands.h), which `wmctl command` and `wmctl read` use too.
#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace wm {

struct Program;

// A box into which a received reading is printed, left-aligned at a fixed
// position in the box's own units (twips: 15 to a pixel).
class ReadingBox final : public QWidget {
    Q_OBJECT

public:
    explicit ReadingBox(const char* name, QWidget* parent = nullptr);
    void Cls();
    void Print(const QString& text);
    [[nodiscard]] QString Text() const { return text_; }

    static constexpr int kCurrentX = 230;
    static constexpr int kCurrentY = 60;
    static constexpr int kTwipsPerPixel = 15;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

class frmCmds final : public QWidget {
    Q_OBJECT

public:
    explicit frmCmds(Program& program, QWidget* parent = nullptr);

    // One command button, by its control name (cmdMRst ... cmdPeakRd).
    void Command_Click(const char* button);
    void cmdOK_Click();

    // What a reading box shows (empty when cleared).
    [[nodiscard]] QString Reading(const char* box) const;

Q_SIGNALS:
    // The window has been left (OK or the close box): the main window comes
    // back. Emitted once.
    void finished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    QPushButton* Button(const char* name, const char* caption, int x, int y);
    void ShowStatus(const QString& caption, bool failed);
    void Leave();

    Program& program_;
    QLabel* lblErrText = nullptr;
    ReadingBox* picGross = nullptr;
    ReadingBox* picNet = nullptr;
    ReadingBox* picPeakRd = nullptr;
    bool running_ = false;
    bool closePending_ = false;
    bool left_ = false;
};

} // namespace wm
