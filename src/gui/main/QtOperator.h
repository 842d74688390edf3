#pragma once
// The operator of the desktop program. Questions become message boxes and
// file choices become file dialogs; the status line, the progress bar and
// the busy pointer belong to the main window, which attaches itself.
//
// A test hands in a scripted operator: every call is passed on to it, its
// answers are used instead of real dialogs, so nothing modal ever blocks a
// test, while the status line and the progress bar still reach the window's
// own controls.
#include <QPointer>
#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/Operator.h"

namespace wm {

class frmMMenu;

// Title of a message box that names none.
inline constexpr const char* DefaultMessageTitle = "wmsetup";

// "Setup files (*.WT)|*.WT" (description and pattern pairs) as a file
// dialog's filter: "Setup files (*.WT)".
[[nodiscard]] QString DialogFilter(const std::string& pairs);
// Where a file dialog starts: `folder`, with `name` filled in when not empty.
[[nodiscard]] QString DialogStart(const std::filesystem::path& folder, const std::string& name);
// Text of the program's messages for a Qt label: CR (alone or before LF) ends a line.
[[nodiscard]] QString MessageText(const std::string& text);
// The message box for `box`, not yet shown: its text, title (the program's
// name when the box names none), buttons, default button and icon.
[[nodiscard]] std::unique_ptr<QMessageBox> BuildMessageBox(const MessageBox& box, QWidget* parent);
// The answer for the button that closed a box; Escape or the close button
// count as the box's safe choice: Cancel, No, or OK when it is the only button.
[[nodiscard]] Answer AnswerFor(int button, Buttons buttons);

class QtOperator final : public Operator {
public:
    explicit QtOperator(Operator* scripted = nullptr) : scripted_(scripted) {}
    ~QtOperator() override;
    QtOperator(const QtOperator&) = delete;
    QtOperator& operator=(const QtOperator&) = delete;

    // The window whose status line and progress bar show the core's progress.
    void AttachWindow(frmMMenu* window);

    Answer Ask(const MessageBox& box) override;
    void SetStatus(const std::string& caption, Rgb background) override;
    void HideStatus() override;
    void SetProgress(int value) override;
    void SetProgressVisible(bool visible) override;
    void SetBusy(bool hourglass) override;
    void Beep() override;
    std::optional<std::string> ChooseFile(FileDialog kind, const std::string& title, const std::string& filter,
                                          const std::filesystem::path& folder, const std::string& name) override;
    void EndProgram() override;
    // The box frmPutPreview.
    Answer ReviewPut(PutPreview& preview) override;

    // Set once something asked the program to end; the window or main()
    // ends it when control is back with them.
    [[nodiscard]] bool EndRequested() const { return endRequested_; }

private:
    QWidget* DialogParent() const;

    Operator* scripted_;
    QPointer<frmMMenu> window_;
    bool busy_ = false;
    bool endRequested_ = false;
};

} // namespace wm
