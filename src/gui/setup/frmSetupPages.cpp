#include "gui/setup/frmSetupPages.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/Program.h"
#include "comm/Tables.h"
#include "gui/help/frmAppHelp.h"
#include "gui/setup/OpenValueEntry.h"
#include "gui/setup/frmSetup1.h"
#include "gui/setup/frmSetup2.h"
#include "gui/setup/frmSetup3.h"

namespace wm {

namespace {

void Paint(QLineEdit& box, Rgb colour) {
    QPalette p = box.palette();
    p.setColor(QPalette::Base, QColor(colour.r, colour.g, colour.b));
    box.setPalette(p);
}

} // namespace

// ---------------------------------------------------------------- the shared state

SetupPages::SetupPages(Program& program, QWidget* mainWindow, QObject* parent)
    : QObject(parent), program_(program), mainWindow_(mainWindow),
      editor_(program.setup, program.derived, program.link) {
    setObjectName("SetupPages");
    UseValueEntryDialog();
}

void SetupPages::UseValueEntryDialog() {
    entryOpener = [this](QWidget& page, QLineEdit& box, const EntryRequest& request) {
        // F1 in the dialog closes it and opens help on the page's topic.
        const EntryOutcome outcome =
            OpenValueEntry(&page, box, request, Op(), 0, [this, &page] { OpenAppHelp(&page); });
        return EntryAnswer{outcome.accepted, outcome.entryText};
    };
}

SetupPages::~SetupPages() = default;

Operator& SetupPages::Op() { return program_.platform.op; }

frmSetupPage* SetupPages::Loaded(int page) const {
    if (page < 1 || page > 3) return nullptr;
    return pages_[static_cast<std::size_t>(page - 1)].get();
}

frmSetupPage* SetupPages::Page(int page) {
    if (page < 1 || page > 3) return nullptr;
    auto& slot = pages_[static_cast<std::size_t>(page - 1)];
    if (!slot) {
        if (page == 1) slot = std::make_unique<frmSetup1>(*this);
        if (page == 2) slot = std::make_unique<frmSetup2>(*this);
        if (page == 3) slot = std::make_unique<frmSetup3>(*this);
    }
    return slot.get();
}

void GridOfFrames(QGroupBox* outer, std::initializer_list<QWidget*> inner, int columns) {
    auto* grid = new QGridLayout(outer);
    grid->setContentsMargins(6, 4, 6, 6);
    int i = 0;
    for (QWidget* w : inner) {
        w->setParent(outer);
        grid->addWidget(w, i / columns, i % columns);
        ++i;
    }
    grid->setRowStretch(grid->rowCount(), 1);
}

void SetupPages::SetBaseline(const SetupImage& baseline) { editor_.SetBaseline(baseline); }

void SetupPages::Open() {
    // The markers compare with the setup as last read from the meter, put to
    // it, or opened from a file (the program's baseline, which Get, Put,
    // Open and Default Setup keep); before any of those, with the setup as
    // the pages find it.
    SetBaseline(program_.baseline.source != SetupSource::None ? program_.baseline.image : program_.setup);
    SkipPageReload = 0;
    Page(1)->show();
    Page(1)->raise();
    Page(1)->activateWindow();
}

void SetupPages::Navigate(frmSetupPage& from, int to) {
    Op().SetBusy(true);
    SkipPageReload = 0;
    if (frmSetupPage* next = Page(to)) {
        next->show();
        next->raise();
        next->activateWindow();
    }
    from.hide();
    Op().SetBusy(false);
}

void SetupPages::ToMainMenu(frmSetupPage& from) {
    Op().SetBusy(true);
    if (mainWindow_) {
        mainWindow_->show();
        mainWindow_->raise();
        mainWindow_->activateWindow();
    }
    from.hide();
    Op().SetBusy(false);
    SkipPageReload = 0;
}

void SetupPages::OpenAppHelp(QWidget* over) {
    SkipPageReload = 0;
    if (!help_) {
        help_ = new frmAppHelp(program_.paths.HelpFolder(), over);
    } else if (help_->parentWidget() != over) {
        help_->setParent(over, help_->windowFlags());
    }
    help_->ShowTopic(HelpTopic);
}

EntryAnswer SetupPages::OpenEntry(frmSetupPage& page, QLineEdit& box, const EntryRequest& request) {
    SkipPageReload = 1;
    if (!entryOpener) return {};
    return entryOpener(page, box, request);
}

// ---------------------------------------------------------------- a page

frmSetupPage::frmSetupPage(SetupPages& shared, int page, const char* name, const char* caption)
    : QWidget(nullptr, Qt::Window), shared_(shared), page_(page) {
    setObjectName(name);
    setWindowTitle(caption);
    for (const std::string& control : shared_.Editor().ControlsOf(page)) known_.insert(control);

    bind_ = new FieldBinding(shared_.Editor(), this);
    bind_->onHelp = [this](int topic) {
        if (topic > 0) shared_.HelpTopic = topic;
    };
    bind_->openEntry = [this](QLineEdit& box, const EntryRequest& request) {
        return shared_.OpenEntry(*this, box, request);
    };
    bind_->onRefused = [this](const std::string& problem) {
        shared_.Op().Ask({problem, "", Buttons::Ok, Answer::Ok, Icon::Exclamation, MessageId::None});
    };

    // The page sees F1 before its controls do.
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setObjectName("keyF1");
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, [this] { Form_KeyDown(112); });
}

frmSetupPage::~frmSetupPage() = default;

bool frmSetupPage::EditorKnows(const std::string& control) const { return known_.count(control) != 0; }

QGroupBox* frmSetupPage::Frame(const char* name, const char* caption) {
    auto* frame = new QGroupBox(caption, this);
    frame->setObjectName(name);
    if (EditorKnows(name)) bind_->BindFrame(frame, name);
    return frame;
}

QGroupBox* frmSetupPage::Framed(const char* name, const char* caption, std::initializer_list<QWidget*> content) {
    QGroupBox* frame = Frame(name, caption);
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(6, 4, 6, 6);
    for (QWidget* w : content) {
        w->setParent(frame);
        column->addWidget(w);
    }
    return frame;
}

QComboBox* frmSetupPage::List(const char* name, FieldBinding::Handler onClick) {
    auto* list = new QComboBox(this);
    list->setObjectName(name);
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    bind_->BindList(list, name, std::move(onClick));
    return list;
}

QCheckBox* frmSetupPage::Check(const char* name, const std::string& control, const QString& caption,
                               FieldBinding::Handler onClick) {
    auto* box = new QCheckBox(caption, this);
    box->setObjectName(name);
    bind_->BindCheck(box, control, std::move(onClick));
    return box;
}

QRadioButton* frmSetupPage::Option(const char* name, const char* caption, FieldBinding::Handler onFocus) {
    auto* option = new QRadioButton(caption, this);
    option->setObjectName(name);
    bind_->BindOption(option, name, std::move(onFocus));
    return option;
}

QLineEdit* frmSetupPage::ValueBox(const char* name, const char* initial, FieldBinding::Handler onClick) {
    auto* box = new QLineEdit(initial, this);
    box->setObjectName(name);
    box->setAlignment(Qt::AlignCenter);
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(" - 99999. ") + 16);
    Paint(*box, ColourWhite);
    bind_->BindValueBox(box, name, std::move(onClick));
    return box;
}

QLabel* frmSetupPage::Label(const char* name, const char* text, bool showText) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    if (EditorKnows(name)) bind_->BindLabel(label, name, showText);
    return label;
}

QPushButton* frmSetupPage::Button(const char* name, const char* caption, std::function<void()> onClick) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [onClick = std::move(onClick)](bool) { onClick(); });
    return button;
}

QPushButton* frmSetupPage::MainMenuButton() {
    cmdMMenu = Button("cmdMMenu", "Main Menu", [this] { cmdMMenu_Click(); });
    return cmdMMenu;
}

// ---------------------------------------------------------------- edits

void frmSetupPage::ListClick(const char* control) {
    if (pageReady_) bind_->Chosen(control);
}

void frmSetupPage::ListClickAlways(const char* control) { bind_->Chosen(control); }

void frmSetupPage::CheckClick(const std::string& control) {
    if (pageReady_) bind_->Checked(control);
}

void frmSetupPage::CheckClickAlways(const std::string& control) { bind_->Checked(control); }

void frmSetupPage::OptionFocus(const char* control) {
    if (pageReady_) bind_->OptionChosen(control);
}

void frmSetupPage::TextClick(const char* control) {
    bind_->EntryClicked(control);
    if (cmdMMenu != nullptr) cmdMMenu->setFocus(Qt::OtherFocusReason);
}

void frmSetupPage::Refresh() { bind_->Refresh(); }

// ---------------------------------------------------------------- life cycle and keys

void frmSetupPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    wasInactive_ = false;
    if (activating_) return;
    activating_ = true;
    Form_Activate();
    activating_ = false;
}

void frmSetupPage::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    if (!isActiveWindow()) {
        wasInactive_ = true;
        return;
    }
    // Back at the front after another window (the value entry dialog, help,
    // a message) had it.
    if (!wasInactive_ || activating_ || !isVisible()) return;
    wasInactive_ = false;
    activating_ = true;
    Form_Activate();
    activating_ = false;
}

void frmSetupPage::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

void frmSetupPage::Form_Unload() { shared_.ToMainMenu(*this); }

void frmSetupPage::Form_KeyDown(int keyCode) {
    if (keyCode == 112) shared_.OpenAppHelp(this);
}

void frmSetupPage::cmdMMenu_Click() { shared_.ToMainMenu(*this); }

void frmSetupPage::GoTo(int page) { shared_.Navigate(*this, page); }

} // namespace wm
