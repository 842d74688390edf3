#include "gui/setup/OpenValueEntry.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <algorithm>
#include <memory>

#include "comm/Tables.h"
#include "gui/setup/frmEntVal.h"

namespace wm {

namespace {

// The dialog has always been placed in twips; 15 make one pixel at 96 dpi.
constexpr int Twips(int twips) { return twips / 15; }

void SetBackground(QLineEdit& box, Rgb colour) {
    QPalette p = box.palette();
    p.setColor(QPalette::Base, QColor(colour.r, colour.g, colour.b));
    box.setPalette(p);
}

// The page window's dialog, made on its first entry. Without a page there is
// no window to keep it with: it is made for this entry only, in `own`.
frmEntVal& DialogFor(QWidget* page, std::unique_ptr<frmEntVal>& own) {
    QWidget* owner = page != nullptr ? page->window() : nullptr;
    if (owner == nullptr) {
        own = std::make_unique<frmEntVal>();
        return *own;
    }
    if (auto* made = owner->findChild<frmEntVal*>(QString(), Qt::FindDirectChildrenOnly)) return *made;
    return *new frmEntVal(owner);
}

// Centred across the page's window, its top edge `where` twips down from the
// window's, and kept on the screen.
void Place(frmEntVal& dialog, QWidget* page, int where) {
    dialog.adjustSize();
    const QWidget* owner = page != nullptr ? page->window() : nullptr;
    QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QRect frame = owner != nullptr ? owner->frameGeometry() : area;
    const int top = frame.top() + Twips(where == 0 ? 1000 : 3500);
    const int left = frame.center().x() - dialog.width() / 2;
    dialog.move(std::clamp(left, area.left(), std::max(area.left(), area.right() - dialog.width())),
                std::clamp(top, area.top(), std::max(area.top(), area.bottom() - dialog.height())));
}

} // namespace

EntryOutcome OpenValueEntry(QWidget* page, QLineEdit& box, const EntryRequest& request, Operator& op, int where,
                            std::function<void()> help) {
    std::unique_ptr<frmEntVal> own;
    frmEntVal& dialog = DialogFor(page, own);
    dialog.LoadDigits(request, op, static_cast<bool>(help));
    Place(dialog, page, where);

    SetBackground(box, ColourPaleGreen);
    dialog.exec();
    SetBackground(box, ColourWhite);

    EntryOutcome outcome;
    outcome.accepted = dialog.Accepted();
    if (outcome.accepted) {
        outcome.entryText = dialog.Entry().EntryText();
        outcome.lastByteEntry = dialog.Entry().LastByteEntry();
        box.setText(QString::fromLatin1(outcome.entryText));
    }
    if (dialog.HelpRequested() && help) help();
    return outcome;
}

} // namespace wm
