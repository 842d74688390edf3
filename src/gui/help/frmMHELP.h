#pragma once
// The setup help window of the main window's Help menu: a few lines on how
// help is reached while viewing the setup, on the setup pages (F1) and in the
// front-panel menu view (at once, beside the view). The main window is hidden
// while it is shown; its button leads back.
#include <QStringList>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace wm {

// The lines printed, first to last; the empty one is a blank line.
[[nodiscard]] const QStringList& SetupHelpLines();

// The help topic F1 shows once this window has been seen.
inline constexpr int SetupHelpTopic = 3101;

class frmMHELP final : public QWidget {
    Q_OBJECT

public:
    explicit frmMHELP(QWidget* parent = nullptr);

    // The lines on Picture2, first to last.
    [[nodiscard]] QStringList Lines() const { return lines_; }

    void Form_Activate();
    void cmdMHelp_Click();

Q_SIGNALS:
    // The window sets the program's help topic when it is shown.
    void helpTopicChosen(int topic);
    // Back to the main menu window.
    void returned();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QStringList lines_;
    QPlainTextEdit* Picture2 = nullptr;
    QPushButton* cmdMHelp = nullptr;
};

} // namespace wm
