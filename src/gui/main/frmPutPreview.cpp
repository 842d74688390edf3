#include "gui/main/frmPutPreview.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace wm {

namespace {

QTableWidgetItem* Cell(const std::string& text) {
    // Field texts are the setup's own characters, one byte each.
    auto* item = new QTableWidgetItem(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

frmPutPreview::frmPutPreview(const PutPreview& preview, QWidget* parent) : QDialog(parent) {
    setObjectName("frmPutPreview");
    setWindowTitle("Put Setup");
    setModal(true);

    const int rows = static_cast<int>(preview.changes.size());
    lblChanges = new QLabel(this);
    lblChanges->setObjectName("lblChanges");
    lblChanges->setWordWrap(true);
    if (rows == 0) {
        lblChanges->setText(kNoChangeText);
    } else {
        lblChanges->setText(rows == 1 ? QString("The Put will change 1 field on the meter:")
                                      : QString("The Put will change %1 fields on the meter:").arg(rows));
    }

    grdChanges = new QTableWidget(rows, 3, this);
    grdChanges->setObjectName("grdChanges");
    grdChanges->setHorizontalHeaderLabels({"Field", "On the meter", "To be put"});
    grdChanges->verticalHeader()->hide();
    grdChanges->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdChanges->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdChanges->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grdChanges->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < rows; ++row) {
        const PutPreview::Change& c = preview.changes[static_cast<std::size_t>(row)];
        grdChanges->setItem(row, 0, Cell(c.name));
        grdChanges->setItem(row, 1, Cell(c.meter));
        grdChanges->setItem(row, 2, Cell(c.put));
    }
    grdChanges->setVisible(rows > 0);
    grdChanges->setMinimumWidth(480);

    chkShowChanges = new QCheckBox("Show the changes before every Put", this);
    chkShowChanges->setObjectName("chkShowChanges");
    chkShowChanges->setChecked(preview.showBeforeEveryPut);

    cmdPut = new QPushButton("Put", this);
    cmdPut->setObjectName("cmdPut");
    cmdPut->setDefault(true);
    connect(cmdPut, &QPushButton::clicked, this, &frmPutPreview::cmdPut_Click);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    connect(cmdCancel, &QPushButton::clicked, this, &frmPutPreview::cmdCancel_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkShowChanges);
    buttons->addStretch(1);
    buttons->addWidget(cmdPut);
    buttons->addWidget(cmdCancel);

    auto* column = new QVBoxLayout(this);
    column->addWidget(lblChanges);
    column->addWidget(grdChanges, 1);
    column->addLayout(buttons);
}

bool frmPutPreview::ShowBeforeEveryPut() const { return chkShowChanges->isChecked(); }

void frmPutPreview::cmdPut_Click() { accept(); }

void frmPutPreview::cmdCancel_Click() { reject(); }

Answer RunPutPreview(PutPreview& preview, QWidget* parent) {
    frmPutPreview box(preview, parent);
    box.exec();
    preview.showBeforeEveryPut = box.ShowBeforeEveryPut();
    return box.Outcome();
}

} // namespace wm
