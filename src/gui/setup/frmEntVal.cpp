#include "gui/setup/frmEntVal.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "comm/Tables.h"
#include "platform/Operator.h"

namespace wm {

namespace {

constexpr int kF1 = 112;

QColor ToColor(Rgb c) { return QColor(c.r, c.g, c.b); }

// What the label under the boxes says for each kind of value.
QString PointHint(int kind) {
    switch (kind) {
    case 4: return "Type \".\" on a digit to move the decimal point.";
    case 7: return "A whole number from 0 to 255.";
    default: return "The decimal point stays where it is.";
    }
}

} // namespace

frmEntVal::frmEntVal(QWidget* parent) : QDialog(parent) {
    setObjectName("frmEntVal");
    setWindowTitle("Enter Value");
    setModal(true);
    installEventFilter(this);

    QFont digits = font();
    digits.setPointSize(18);
    digits.setBold(true);
    const QFontMetrics metrics(digits);

    auto* boxes = new QHBoxLayout;
    boxes->setSpacing(4);
    for (int i = 0; i < ValueEntry::BoxCount; ++i) {
        auto* box = new QLineEdit(this);
        box->setObjectName("txtDigit");
        box->setProperty("Index", i);
        box->setFont(digits);
        box->setAlignment(Qt::AlignCenter);
        box->setFixedWidth(metrics.horizontalAdvance("8.") + 16);
        // The boxes change only through the keys the dialog takes: no
        // pasting, dropping or input-method text behind its back.
        box->setContextMenuPolicy(Qt::NoContextMenu);
        box->setAcceptDrops(false);
        box->setAttribute(Qt::WA_InputMethodEnabled, false);
        QPalette p = box->palette();
        p.setColor(QPalette::Base, ToColor(ColourWhite));
        box->setPalette(p);
        // A byte hides the first three boxes; the others keep their places,
        // as the digits do on the meter's display.
        QSizePolicy policy = box->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        box->setSizePolicy(policy);
        box->installEventFilter(this);
        boxes->addWidget(box);
        txtDigit[static_cast<std::size_t>(i)] = box;
    }

    lblDP = new QLabel(this);
    lblDP->setObjectName("lblDP");

    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->installEventFilter(this);
    connect(cmdOK, &QPushButton::clicked, this, &frmEntVal::cmdOK_Click);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    cmdCancel->installEventFilter(this);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEntVal::cmdCancel_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(boxes);
    layout->addWidget(lblDP);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmEntVal::LoadDigits(const EntryRequest& request, Operator& op, bool helpAvailable) {
    entry_.emplace(request.kind, request.pos, request.text);
    op_ = &op;
    helpAvailable_ = helpAvailable;
    accepted_ = false;
    helpRequested_ = false;
    lblDP->setText(PointHint(request.kind));
    ShowBoxes();
    FocusCurrentBox();
}

// ---------------------------------------------------------------- keys

bool frmEntVal::eventFilter(QObject* watched, QEvent* event) {
    if (!entry_) return QDialog::eventFilter(watched, event);
    const int box = BoxIndex(watched);
    if (event->type() == QEvent::KeyPress) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (key.key() == Qt::Key_F1) {
            Form_KeyDown(kF1);
            return true;
        }
        if (box >= 0) return txtDigit_KeyPress(box, key);
    }
    // A middle click would paste the selection into the box.
    if (box >= 0 && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) &&
        static_cast<const QMouseEvent&>(*event).button() == Qt::MiddleButton)
        return true;
    if (event->type() == QEvent::FocusIn && box >= 0) {
        // The box takes the focus first (reached by Tab it would select its
        // text); then a box clicked or tabbed to becomes the current box,
        // and the caret goes where the next key acts.
        txtDigit[static_cast<std::size_t>(box)]->event(event);
        if (!placingFocus_ && box != entry_->Current()) entry_->Focus(box);
        PlaceCaret(box);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

int frmEntVal::BoxIndex(const QObject* watched) const {
    for (int i = 0; i < ValueEntry::BoxCount; ++i)
        if (watched == txtDigit[static_cast<std::size_t>(i)]) return i;
    return -1;
}

bool frmEntVal::txtDigit_KeyPress(int box, const QKeyEvent& key) {
    switch (key.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
        return false; // the dialog's own: the next control, Cancel
    default: break;
    }
    if (box != entry_->Current()) entry_->Focus(box);

    KeyOutcome outcome = KeyOutcome::Dropped;
    switch (key.key()) {
    case Qt::Key_Left: outcome = entry_->Left(); break;
    case Qt::Key_Right: outcome = entry_->Right(); break;
    case Qt::Key_Return:
    case Qt::Key_Enter: AcceptValue(); return true;
    default:
        // A key that types one character goes to the entry, which refuses
        // what the box cannot hold (a character beyond Latin-1 arrives as
        // NUL and is refused like any other). Keys that type nothing
        // (Delete, Home, the other arrows, Shift alone) are kept from the
        // box without a sound.
        if (key.text().size() == 1) outcome = entry_->Type(key.text().front().toLatin1());
        break;
    }
    Refused(outcome);
    ShowBoxes();
    FocusCurrentBox();
    return true;
}

void frmEntVal::Form_KeyDown(int keyCode) {
    if (keyCode != kF1 || !helpAvailable_) return;
    helpRequested_ = true;
    Finish(false);
}

void frmEntVal::Refused(KeyOutcome outcome) {
    if (outcome == KeyOutcome::DroppedBeep && op_ != nullptr) op_->Beep();
}

// ---------------------------------------------------------------- OK, Cancel

void frmEntVal::AcceptValue() {
    if (!entry_) return;
    // The entry works the digits out on an image of its own; the page's
    // setup is changed by the setup editor alone, from EntryText.
    SetupImage scratch;
    const KeyOutcome outcome = entry_->Enter(scratch);
    if (outcome == KeyOutcome::Stored) {
        Finish(true);
        return;
    }
    // A byte above 255: the dialog stays, on the middle digit.
    Refused(outcome);
    ShowBoxes();
    FocusCurrentBox();
}

void frmEntVal::cmdOK_Click() { AcceptValue(); }

void frmEntVal::cmdCancel_Click() { Finish(false); }

void frmEntVal::Finish(bool accepted) {
    accepted_ = accepted;
    done(accepted ? QDialog::Accepted : QDialog::Rejected);
}

// ---------------------------------------------------------------- painting

void frmEntVal::ShowBoxes() {
    for (int i = 0; i < ValueEntry::BoxCount; ++i) {
        QLineEdit* box = txtDigit[static_cast<std::size_t>(i)];
        box->setVisible(entry_->BoxVisible(i));
        box->setText(QString::fromLatin1(entry_->Box(i)));
    }
}

void frmEntVal::FocusCurrentBox() {
    QLineEdit* box = txtDigit[static_cast<std::size_t>(entry_->Current())];
    placingFocus_ = true;
    box->setFocus(Qt::OtherFocusReason);
    placingFocus_ = false;
    PlaceCaret(entry_->Current());
}

void frmEntVal::PlaceCaret(int box) {
    // The caret stands in front of the digit the next key replaces, or
    // behind the last digit after Right on the last box.
    QLineEdit* b = txtDigit[static_cast<std::size_t>(box)];
    b->deselect();
    b->setCursorPosition(box == entry_->Current() && entry_->PastLastDigit() ? 1 : 0);
}

} // namespace wm
