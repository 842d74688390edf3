#pragma once
// Ties the widgets of a setup page to the controls of the setup editor: a
// list, a check box, an option button, a value box, a label or a frame shows
// what the editor's view of its control says (entries, selection, text,
// visible, enabled, changed since read), and the operator's changes go to the
// editor, which applies every rule; then the controls are shown afresh.
//
// Only what the operator does is sent: a list sends on `activated`, a check
// box on `clicked`, an option button when it gets the focus; showing a view
// never writes into the setup.
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "setup/SetupEditor.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace wm {

// What the value entry dialog gave back.
struct EntryAnswer {
    bool accepted = false;
    std::string entryText; // the value as the box shows it from now on
};

// Tooltip of a control whose field differs from the setup as last read.
inline constexpr const char* ChangedTip = "changed since read";

class FieldBinding final : public QObject {
    Q_OBJECT

public:
    // A handler the page names (cboBaudRate_Click ...): it decides whether
    // the edit is taken now and calls Chosen / Checked / EntryClicked.
    using Handler = std::function<void()>;
    using EntryOpener = std::function<EntryAnswer(QLineEdit& box, const EntryRequest& request)>;

    FieldBinding(SetupEditor& editor, QObject* parent = nullptr);

    void BindList(QComboBox* list, const std::string& control, Handler onClick);
    void BindCheck(QCheckBox* box, const std::string& control, Handler onClick);
    void BindOption(QRadioButton* option, const std::string& control, Handler onFocus);
    void BindValueBox(QLineEdit* box, const std::string& control, Handler onClick);
    // A label shows the view's text, or with showText false keeps its own
    // caption and only comes and goes as the view says.
    void BindLabel(QLabel* label, const std::string& control, bool showText = true);
    // A frame shows the editor's visible and enabled state when the editor
    // knows it; a click on it sets the help topic.
    void BindFrame(QGroupBox* frame, const std::string& control);
    // A widget with a fixed help topic (a frame or label the editor does not
    // describe).
    void SetHelp(QWidget* widget, int topic);

    // Called with the help topic when a bound control gets the focus or a
    // frame is clicked.
    std::function<void(int)> onHelp;
    // Opens the value entry dialog for a value box.
    EntryOpener openEntry;
    // Shows why the editor refused an edit.
    std::function<void(const std::string&)> onRefused;

    // The edits, for the page's handlers.
    void Chosen(const std::string& control);  // the list's current entry
    void Checked(const std::string& control); // the check box's state
    void OptionChosen(const std::string& control);
    // Opens the value entry dialog for the box; true when a value was stored.
    bool EntryClicked(const std::string& control);

    // Every bound widget from the editor's views.
    void Refresh();
    // The controls an edit changed (all of them when it names none).
    void Apply(const EditResult& result);

    [[nodiscard]] QWidget* Widget(const std::string& control) const;
    // The control a widget is bound to ("" when none).
    [[nodiscard]] std::string ControlOf(const QObject* widget) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Kind { List, Check, Option, ValueBox, Label, Frame };
    struct Bound {
        Kind kind;
        QWidget* widget;
        bool showText = true;
    };
    void Add(const std::string& control, Kind kind, QWidget* widget, bool showText = true);
    void Show(const std::string& control, const Bound& bound);
    void Report(const std::string& control, const EditResult& result);
    bool ValueBoxKey(QObject* watched, const QKeyEvent* key);

    SetupEditor& editor_;
    std::map<std::string, Bound> bound_;
    std::map<const QObject*, std::string> names_;
    std::map<const QObject*, int> fixedHelp_;
    std::map<const QObject*, Handler> handlers_; // option buttons and value boxes
    bool showing_ = false;
};

// A list's entries and selection as a view gives them: entries past
// `selectable` (the "code N" stand-in) are shown but cannot be chosen.
void ShowListView(QComboBox& list, const ControlView& view);
// Marks a widget whose field differs from the setup as last read: its text in
// italics, underlined, with a tooltip; clears the mark otherwise.
void MarkChanged(QWidget& widget, bool changed);

} // namespace wm
