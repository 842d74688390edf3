#pragma once
// What the three setup pages share: one setup editor over the program's
// setup, the help topic of the control last focused or frame last clicked,
// the flag that keeps pages 1 and 2 as they are when the value entry dialog
// closes, page 3's "has been shown" flag, the help window, and the way
// between the pages and back to the main window.
//
// frmSetupPage is what every page is made of: frames and controls built
// with their names and bound to the editor, F1 for help, re-initialisation
// when the page comes to the front, and the navigation buttons.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>

#include "gui/common/FieldBinding.h"
#include "gui/help/frmAppHelp.h"
#include "setup/SetupEditor.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace wm {

struct Program;
class Operator;
class frmSetupPage;

// Lays a frame's inner frames out in a grid of `columns`, row by row.
void GridOfFrames(QGroupBox* outer, std::initializer_list<QWidget*> inner, int columns);

class SetupPages final : public QObject {
    Q_OBJECT

public:
    // mainWindow is shown again when the operator leaves the pages.
    SetupPages(Program& program, QWidget* mainWindow, QObject* parent = nullptr);
    ~SetupPages() override;

    [[nodiscard]] Program& program() { return program_; }
    [[nodiscard]] SetupEditor& Editor() { return editor_; }
    [[nodiscard]] Operator& Op();

    // Page 1, 2 or 3, made on first use; nullptr for another number.
    [[nodiscard]] frmSetupPage* Page(int page);
    // The page if it has been made.
    [[nodiscard]] frmSetupPage* Loaded(int page) const;

    // View > Setup: page 1 comes to the front. A setup that was replaced
    // meanwhile (a Get, a file, the default setup) becomes the one the
    // change markers compare with.
    void Open();
    // The setup the change markers compare with.
    void SetBaseline(const SetupImage& baseline);

    // From page `from` to page `to` (the hourglass meanwhile).
    void Navigate(frmSetupPage& from, int to);
    // Back to the main window.
    void ToMainMenu(frmSetupPage& from);

    // F1 or a click on the character table: the help window with HelpTopic.
    void OpenAppHelp(QWidget* over);
    [[nodiscard]] frmAppHelp* HelpWindow() const { return help_; }

    // A value box was clicked: the value entry dialog edits the request's
    // value; the page stays as it is when the dialog closes.
    EntryAnswer OpenEntry(frmSetupPage& page, QLineEdit& box, const EntryRequest& request);

    // The value entry dialog (frmEntVal, set by UseValueEntryDialog); tests
    // may put a scripted one in its place.
    std::function<EntryAnswer(QWidget& page, QLineEdit& box, const EntryRequest& request)> entryOpener;
    void UseValueEntryDialog();
    // Ends the program (the operator's answer to a corrupt signal-conditioner type).
    std::function<void()> endProgram;

    int HelpTopic = 0;
    int SkipPageReload = 0;
    int Page3Shown = 0;

private:
    Program& program_;
    QPointer<QWidget> mainWindow_;
    SetupEditor editor_;
    std::array<std::unique_ptr<frmSetupPage>, 3> pages_;
    QPointer<frmAppHelp> help_;
};

class frmSetupPage : public QWidget {
    Q_OBJECT

public:
    frmSetupPage(SetupPages& shared, int page, const char* name, const char* caption);
    ~frmSetupPage() override;

    [[nodiscard]] int Number() const { return page_; }
    [[nodiscard]] FieldBinding& Binding() { return *bind_; }
    [[nodiscard]] bool PageReady() const { return pageReady_; }

    // Each time the page comes to the front.
    virtual void Form_Activate() = 0;
    void Form_KeyDown(int keyCode);
    void Form_Unload();
    void cmdMMenu_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // Builders: every widget gets its name as object name; controls the
    // editor describes are bound to it.
    QGroupBox* Frame(const char* name, const char* caption);
    QComboBox* List(const char* name, FieldBinding::Handler onClick);
    QCheckBox* Check(const char* name, const std::string& control, const QString& caption,
                     FieldBinding::Handler onClick);
    QRadioButton* Option(const char* name, const char* caption, FieldBinding::Handler onFocus);
    QLineEdit* ValueBox(const char* name, const char* initial, FieldBinding::Handler onClick);
    // A label the editor writes (showText) or only shows and hides.
    QLabel* Label(const char* name, const char* text, bool showText);
    QPushButton* Button(const char* name, const char* caption, std::function<void()> onClick);
    // A frame holding the given widgets one under the other.
    QGroupBox* Framed(const char* name, const char* caption, std::initializer_list<QWidget*> content);
    QPushButton* MainMenuButton();

    // Sends a list's, check box's or option's new state to the editor. The
    // gated forms store nothing until the page has been loaded.
    void ListClick(const char* control);
    void ListClickAlways(const char* control);
    void CheckClick(const std::string& control);
    void CheckClickAlways(const std::string& control);
    void OptionFocus(const char* control);
    // The value entry dialog for a value box, then the focus to Main Menu.
    void TextClick(const char* control);

    void SetPageReady(bool ready) { pageReady_ = ready; }
    void Refresh();
    void GoTo(int page);

    SetupPages& shared_;
    QPushButton* cmdMMenu = nullptr;

private:
    [[nodiscard]] bool EditorKnows(const std::string& control) const;

    int page_;
    FieldBinding* bind_ = nullptr;
    std::set<std::string> known_;
    bool pageReady_ = false;
    bool wasInactive_ = false;
    bool activating_ = false;
};

} // namespace wm
