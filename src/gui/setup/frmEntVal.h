#pragma once
// The value entry dialog: a numeric setup value entered as on the meter's own
// front panel, in six one-character boxes (a sign box and five digits, or
// the last three digits for a byte), with a decimal point that sits on one
// box. The boxes, the point and the current box belong to a ValueEntry; the
// dialog turns key strokes into its calls, paints its boxes and moves the
// focus to its current box.
//
// The dialog never writes the setup: on Enter or OK it works the value out
// on a scratch image and hands back the text the page is to show, which the
// page gives to the setup editor to store. OpenValueEntry (OpenValueEntry.h)
// is how the pages use it.
#include <QDialog>
#include <array>
#include <optional>
#include <string>

#include "setup/SetupEditor.h"
#include "setup/ValueEntry.h"

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace wm {

class Operator;

class frmEntVal final : public QDialog {
    Q_OBJECT

public:
    explicit frmEntVal(QWidget* parent = nullptr);

    // Loads the boxes for one entry from the text the page shows (the dialog
    // is made once and loaded again every time it is opened). Refused keys
    // beep through op, which must outlive the entry. helpAvailable: F1 ends
    // the entry so that the caller can show help; without it F1 does nothing.
    void LoadDigits(const EntryRequest& request, Operator& op, bool helpAvailable);

    [[nodiscard]] const ValueEntry& Entry() const { return *entry_; }
    // Set when Enter or OK ended the entry.
    [[nodiscard]] bool Accepted() const { return accepted_; }
    // F1 ended the entry: the caller shows help.
    [[nodiscard]] bool HelpRequested() const { return helpRequested_; }

    void AcceptValue();
    void cmdOK_Click();
    void cmdCancel_Click();
    void Form_KeyDown(int keyCode);
    // Escape and the close box cancel, as the Cancel button does.
    void reject() override { cmdCancel_Click(); }

protected:
    // The form sees every key before its controls do.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    [[nodiscard]] int BoxIndex(const QObject* watched) const;
    // A key pressed on box `box`; true when the key is used up here.
    bool txtDigit_KeyPress(int box, const QKeyEvent& key);
    void Refused(KeyOutcome outcome);
    void ShowBoxes();
    void FocusCurrentBox();
    void PlaceCaret(int box);
    void Finish(bool accepted);

    std::array<QLineEdit*, ValueEntry::BoxCount> txtDigit{};
    QLabel* lblDP = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    std::optional<ValueEntry> entry_;
    Operator* op_ = nullptr;
    bool helpAvailable_ = false;
    bool accepted_ = false;
    bool helpRequested_ = false;
    // Set while the dialog moves the focus itself, so that the focus change
    // is not taken for a click on a box.
    bool placingFocus_ = false;
};

} // namespace wm
