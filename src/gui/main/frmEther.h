#pragma once
// The Ethernet window: shown at start-up instead of the main window when the
// settings name an Ethernet node. Its activation builds the node link (the
// core's NodeConnection): the caption says Disconnected, a line says which
// node is asked to call back where and which attempt this is, and the word
// "Error" is printed when the UDP socket fails. Once the node has called it
// hides itself and shows the main window; when the node never calls the
// program ends. It stays loaded for the whole run: its one-second timer
// keeps the main window's caption in step with the connection and sends the
// node its keep-alive.
#include <QStringList>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QTimer;

namespace wm {

struct Program;
class frmMMenu;

class frmEther final : public QWidget {
    Q_OBJECT

public:
    frmEther(Program& program, frmMMenu& menu, QWidget* parent = nullptr);
    ~frmEther() override;

    // Builds the link when it is pending (a second activation during the
    // build, or after it, does nothing).
    void Form_Activate();
    void Timer1_Timer();

    // What has been printed on the window, line by line.
    [[nodiscard]] QStringList Printed() const { return printed_; }

Q_SIGNALS:
    // A control packet is about to go out (attempt 1 to 10).
    void attemptStarted(int attempt);
    // The node never called: the program is to end.
    void programEnded();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Print(const QString& line);
    void SetCaption(const QString& caption);

    Program& program_;
    frmMMenu& menu_;
    QLabel* lblNode = nullptr;
    QPlainTextEdit* picText = nullptr;
    QTimer* Timer1 = nullptr;
    QStringList printed_;
    bool building_ = false;
};

} // namespace wm
