#pragma once
// The jumper windows of the Jumpers menu: for one board of the meter, a
// drawing of the board with its jumper positions and pin labels beside a text
// that explains them. Six boards explain themselves with a help topic, read
// from the help files when the window is shown and kept open until OK; the
// two Rev H serial boards have a fixed text of their own. The windows stand
// beside the main window, which stays usable.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>

#include "gui/jumpers/BoardDrawings.h"

class QLabel;
class QPushButton;

namespace wm {

class HelpSession;
struct Program;

// What one jumper window shows.
struct JumperWindowDef {
    const char* name;    // the window's name, "frmJDCSC"
    const char* caption; // its title
    JumperBoard board;
    int topic;             // help topic shown, 0 for a fixed text
    const char* fixedText; // lines separated by CR, when topic is 0
};

// The eight windows in the order of the Jumpers menu; nullptr for an unknown
// name.
[[nodiscard]] const JumperWindowDef* FindJumperWindow(const QString& name);
[[nodiscard]] QStringList JumperWindowNames();

class frmJumper : public QWidget {
    Q_OBJECT

public:
    ~frmJumper() override;

    [[nodiscard]] const JumperWindowDef& Def() const { return def_; }
    // The text in lblText as shown.
    [[nodiscard]] QString ShownText() const;
    // True while the help files of the shown topic are open.
    [[nodiscard]] bool FilesOpen() const;

    void Form_Activate();
    void cmdOK_Click();
    void cmdPrinter_Click();

protected:
    frmJumper(Program& program, const char* name, QWidget* parent);
    void showEvent(QShowEvent* event) override;

private:
    Program& program_;
    const JumperWindowDef& def_;
    std::unique_ptr<HelpSession> files_;
    bool loaded_ = false;
    QLabel* lblText = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdPrinter = nullptr;
    BoardView* picBoard = nullptr;
};

// Creates the jumper window of that name (parented to `parent`, deleted when
// closed); nullptr for an unknown name.
[[nodiscard]] frmJumper* MakeJumperWindow(const QString& name, Program& program, QWidget* parent);

// One class per window, so each carries its own name.
class frmJDCSC final : public frmJumper {
    Q_OBJECT

public:
    explicit frmJDCSC(Program& program, QWidget* parent = nullptr) : frmJumper(program, "frmJDCSC", parent) {}
};

class frmJDCSCM final : public frmJumper {
    Q_OBJECT

public:
    explicit frmJDCSCM(Program& program, QWidget* parent = nullptr) : frmJumper(program, "frmJDCSCM", parent) {}
};

class frmJLCSC final : public frmJumper {
    Q_OBJECT

public:
    explicit frmJLCSC(Program& program, QWidget* parent = nullptr) : frmJumper(program, "frmJLCSC", parent) {}
};

class frmJPS final : public frmJumper {
    Q_OBJECT

public:
    explicit frmJPS(Program& program, QWidget* parent = nullptr) : frmJumper(program, "frmJPS", parent) {}
};

class frmJRS232G final : public frmJumper {
    Q_OBJECT

public:
    explicit frmJRS232G(Program& program, QWidget* parent = nullptr) : frmJumper(program, "frmJRS232G", parent) {}
};

class frmJRS232H final : public frmJumper {
    Q_OBJECT

public:
    explicit frmJRS232H(Program& program, QWidget* parent = nullptr) : frmJumper(program, "frmJRS232H", parent) {}
};

class frmJRS485G final : public frmJumper {
    Q_OBJECT

public:
    explicit frmJRS485G(Program& program, QWidget* parent = nullptr) : frmJumper(program, "frmJRS485G", parent) {}
};

class frmJRS485H final : public frmJumper {
    Q_OBJECT

public:
    explicit frmJRS485H(Program& program, QWidget* parent = nullptr) : frmJumper(program, "frmJRS485H", parent) {}
};

} // namespace wm
