#pragma once
// Before Meter > Put Setup writes to the meter: the fields the Put will
// change there, each with the text shown for the meter's value and for the
// value to be put, and the choice to put or to send nothing. The check box
// lets the operator do without the box for the rest of the session.
#include <QDialog>

#include "platform/Operator.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace wm {

// Said instead of the table when no field differs.
inline constexpr const char* kNoChangeText = "The setup is the same as the one read from the meter.";

class frmPutPreview final : public QDialog {
    Q_OBJECT

public:
    explicit frmPutPreview(const PutPreview& preview, QWidget* parent = nullptr);

    // The check box "Show the changes before every Put" as the operator left it.
    [[nodiscard]] bool ShowBeforeEveryPut() const;
    // Put: Answer::Ok; Cancel, Escape or the close box: Answer::Cancel.
    [[nodiscard]] Answer Outcome() const { return result() == QDialog::Accepted ? Answer::Ok : Answer::Cancel; }

    void cmdPut_Click();
    void cmdCancel_Click();

private:
    QLabel* lblChanges = nullptr;
    QTableWidget* grdChanges = nullptr;
    QCheckBox* chkShowChanges = nullptr;
    QPushButton* cmdPut = nullptr;
    QPushButton* cmdCancel = nullptr;
};

// Shows the box modally over parent; the operator's choice of the check box
// is written back into preview.
[[nodiscard]] Answer RunPutPreview(PutPreview& preview, QWidget* parent);

} // namespace wm
