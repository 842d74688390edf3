#include "gui/common/FieldBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStandardItemModel>

namespace wm {

namespace {

QString Latin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

} // namespace

void ShowListView(QComboBox& list, const ControlView& view) {
    const QSignalBlocker quiet(list);
    // Refill only when the entries differ, so an open list keeps its place.
    bool same = list.count() == static_cast<int>(view.entries.size());
    for (int i = 0; same && i < list.count(); ++i)
        same = list.itemText(i) == Latin1(view.entries[static_cast<std::size_t>(i)]);
    if (!same) {
        list.clear();
        for (const std::string& entry : view.entries) list.addItem(Latin1(entry));
    }
    if (auto* model = qobject_cast<QStandardItemModel*>(list.model())) {
        for (int i = 0; i < model->rowCount(); ++i) {
            QStandardItem* item = model->item(i);
            if (item == nullptr) continue;
            const bool choosable = i < view.selectable;
            item->setFlags(choosable ? item->flags() | Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                     : item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
        }
    }
    list.setCurrentIndex(view.selected < list.count() ? view.selected : -1);
}

void MarkChanged(QWidget& widget, bool changed) {
    if (widget.property("changed").toBool() == changed && widget.property("changed").isValid()) return;
    widget.setProperty("changed", changed);
    QFont font = widget.font();
    font.setItalic(changed);
    font.setUnderline(changed);
    widget.setFont(font);
    widget.setToolTip(changed ? QString(ChangedTip) : QString());
}

FieldBinding::FieldBinding(SetupEditor& editor, QObject* parent) : QObject(parent), editor_(editor) {}

void FieldBinding::Add(const std::string& control, Kind kind, QWidget* widget, bool showText) {
    bound_[control] = Bound{kind, widget, showText};
    names_[widget] = control;
    widget->installEventFilter(this);
}

void FieldBinding::BindList(QComboBox* list, const std::string& control, Handler onClick) {
    Add(control, Kind::List, list);
    list->setFocusPolicy(Qt::StrongFocus);
    connect(list, &QComboBox::activated, this, [onClick](int) { onClick(); });
}

void FieldBinding::BindCheck(QCheckBox* box, const std::string& control, Handler onClick) {
    Add(control, Kind::Check, box);
    connect(box, &QCheckBox::clicked, this, [onClick](bool) { onClick(); });
}

void FieldBinding::BindOption(QRadioButton* option, const std::string& control, Handler onFocus) {
    Add(control, Kind::Option, option);
    // The method changes when its button gets the focus (by mouse, Tab or
    // an arrow key); a click on the button that has the focus already
    // chooses it again, which changes nothing.
    connect(option, &QRadioButton::clicked, this, [onFocus](bool) { onFocus(); });
    handlers_[option] = std::move(onFocus);
}

void FieldBinding::BindValueBox(QLineEdit* box, const std::string& control, Handler onClick) {
    Add(control, Kind::ValueBox, box);
    box->setReadOnly(true);
    box->setCursor(Qt::PointingHandCursor);
    handlers_[box] = std::move(onClick);
}

void FieldBinding::BindLabel(QLabel* label, const std::string& control, bool showText) {
    Add(control, Kind::Label, label, showText);
}

void FieldBinding::BindFrame(QGroupBox* frame, const std::string& control) { Add(control, Kind::Frame, frame); }

void FieldBinding::SetHelp(QWidget* widget, int topic) {
    fixedHelp_[widget] = topic;
    widget->installEventFilter(this);
}

QWidget* FieldBinding::Widget(const std::string& control) const {
    const auto found = bound_.find(control);
    return found == bound_.end() ? nullptr : found->second.widget;
}

std::string FieldBinding::ControlOf(const QObject* widget) const {
    const auto found = names_.find(widget);
    return found == names_.end() ? std::string() : found->second;
}

// ---------------------------------------------------------------- edits

void FieldBinding::Chosen(const std::string& control) {
    auto* list = qobject_cast<QComboBox*>(Widget(control));
    if (list == nullptr) return;
    Report(control, editor_.Choose(control, list->currentIndex()));
}

void FieldBinding::Checked(const std::string& control) {
    auto* box = qobject_cast<QCheckBox*>(Widget(control));
    if (box == nullptr) return;
    Report(control, editor_.Choose(control, box->isChecked() ? 1 : 0));
}

void FieldBinding::OptionChosen(const std::string& control) { Report(control, editor_.Choose(control, 1)); }

bool FieldBinding::EntryClicked(const std::string& control) {
    auto* box = qobject_cast<QLineEdit*>(Widget(control));
    if (box == nullptr || !openEntry) return false;
    const std::optional<EntryRequest> request = editor_.BeginEntry(control);
    if (!request) return false;
    const EntryAnswer answer = openEntry(*box, *request);
    if (!answer.accepted) {
        Refresh();
        return false;
    }
    const EditResult result = editor_.Enter(control, answer.entryText);
    Report(control, result);
    return result.ok;
}

void FieldBinding::Report(const std::string& control, const EditResult& result) {
    // A refused edit wrote nothing: the widget goes back to what the setup holds.
    if (!result.ok) {
        Refresh();
        if (onRefused) onRefused(result.problem);
        return;
    }
    Apply(result);
    // The operator's widget shows what was stored even when the view did
    // not change (a choice a rule of the setup undid at once).
    const auto touched = bound_.find(control);
    if (touched != bound_.end()) Show(touched->first, touched->second);
}

// ---------------------------------------------------------------- views

void FieldBinding::Apply(const EditResult& result) {
    if (result.refreshed.empty()) {
        Refresh();
        return;
    }
    for (const std::string& control : result.refreshed) {
        const auto found = bound_.find(control);
        if (found != bound_.end()) Show(found->first, found->second);
    }
}

void FieldBinding::Refresh() {
    for (const auto& [control, bound] : bound_) Show(control, bound);
}

void FieldBinding::Show(const std::string& control, const Bound& bound) {
    const ControlView view = editor_.View(control);
    showing_ = true;
    QWidget& w = *bound.widget;
    switch (bound.kind) {
    case Kind::List:
        ShowListView(static_cast<QComboBox&>(w), view);
        break;
    case Kind::Check:
    case Kind::Option: {
        auto& button = static_cast<QAbstractButton&>(w);
        const QSignalBlocker quiet(button);
        button.setChecked(view.selected == 1);
        break;
    }
    case Kind::ValueBox:
        static_cast<QLineEdit&>(w).setText(Latin1(view.text));
        break;
    case Kind::Label:
        if (bound.showText) static_cast<QLabel&>(w).setText(Latin1(view.text));
        break;
    case Kind::Frame:
        break;
    }
    w.setVisible(view.visible);
    w.setEnabled(view.enabled);
    if (bound.kind != Kind::Frame && bound.kind != Kind::Label) MarkChanged(w, view.changed);
    showing_ = false;
}

// ---------------------------------------------------------------- focus, clicks, help

bool FieldBinding::ValueBoxKey(QObject* watched, const QKeyEvent* key) {
    // A value box is opened from the keyboard as well: Enter or the space bar.
    const auto bound = bound_.find(ControlOf(watched));
    if (bound == bound_.end() || bound->second.kind != Kind::ValueBox) return false;
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter && key->key() != Qt::Key_Space) return false;
    if (key->modifiers() & ~Qt::KeypadModifier) return false;
    const auto handler = handlers_.find(watched);
    if (handler == handlers_.end() || !bound->second.widget->isEnabled()) return false;
    handler->second();
    return true;
}

bool FieldBinding::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // Scrolling the page over a list it has not been given would change the
    // setup unseen: a list takes the wheel only while it has the focus.
    if (type == QEvent::Wheel) {
        const auto bound = bound_.find(ControlOf(watched));
        if (bound != bound_.end() && bound->second.kind == Kind::List && !bound->second.widget->hasFocus()) {
            event->ignore();
            return true;
        }
    }
    if (type == QEvent::KeyPress) return ValueBoxKey(watched, static_cast<QKeyEvent*>(event)) ||
                                         QObject::eventFilter(watched, event);
    if (type != QEvent::FocusIn && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return QObject::eventFilter(watched, event);

    const std::string control = ControlOf(watched);
    const auto bound = bound_.find(control);
    // Frames and labels are clicked, never focused.
    const bool isFrame =
        bound != bound_.end() && (bound->second.kind == Kind::Frame || bound->second.kind == Kind::Label);
    const auto fixed = fixedHelp_.find(watched);

    if (type == QEvent::FocusIn && !isFrame) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (fixed != fixedHelp_.end()) {
            if (onHelp) onHelp(fixed->second);
        } else if (bound != bound_.end()) {
            if (onHelp) onHelp(editor_.View(control).help);
            // Coming back to the window, or closing a list's pop-up, is not
            // the operator moving to the button.
            const bool moved = reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
            if (bound->second.kind == Kind::Option && moved && !showing_) {
                const auto handler = handlers_.find(watched);
                if (handler != handlers_.end()) handler->second();
            }
        }
    }
    if (type == QEvent::MouseButtonPress) {
        // Taken here, so that the frame around this one does not set its own topic.
        int topic = -1;
        if (isFrame) topic = editor_.View(control).help;
        else if (fixed != fixedHelp_.end()) topic = fixed->second;
        if (topic >= 0 && qobject_cast<QGroupBox*>(watched) != nullptr) {
            if (onHelp) onHelp(topic);
            return true;
        }
        if (topic >= 0 && onHelp) onHelp(topic);
    }
    if (type == QEvent::MouseButtonRelease && bound != bound_.end() && bound->second.kind == Kind::ValueBox) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* box = static_cast<QWidget*>(watched);
        const bool inside = box->rect().contains(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton && box->isEnabled() && inside) {
            const auto handler = handlers_.find(watched);
            if (handler != handlers_.end()) handler->second();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace wm
