#pragma once
// The application help window: shows one help topic from the help files
// beside the program. The main window and the setup pages open it with F1;
// it is modal for the person at the program, yet it never blocks the caller
// (it is opened, not executed), so windows and tests go on at once.
#include <QDialog>
#include <QString>
#include <filesystem>
#include <memory>

class QPushButton;
class QTextEdit;

namespace wm {

class HelpSession;

class frmAppHelp final : public QDialog {
    Q_OBJECT

public:
    explicit frmAppHelp(std::filesystem::path helpFolder, QWidget* parent = nullptr);
    ~frmAppHelp() override;

    // Loads the topic and shows the window (modal, returns at once).
    void ShowTopic(int topic);
    // Loads the topic into the window without showing it.
    void LoadTopic(int topic);

    [[nodiscard]] int Topic() const { return topic_; }
    // The text as shown, without formatting.
    [[nodiscard]] QString ShownText() const;
    // True while the help files of the shown topic are open.
    [[nodiscard]] bool FilesOpen() const;

    void cmdOK_Click();
    // Escape and the close box end the window as OK does.
    void reject() override { cmdOK_Click(); }

private:
    void PrintPieces(const std::string& text);
    void PrintFixedWidth(const std::string& text);

    std::filesystem::path helpFolder_;
    std::unique_ptr<HelpSession> files_;
    int topic_ = 0;
    QTextEdit* lblText = nullptr;
    QPushButton* cmdOK = nullptr;
};

} // namespace wm
