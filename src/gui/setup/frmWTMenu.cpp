#include "gui/setup/frmWTMenu.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <initializer_list>

#include "app/Program.h"
#include "app/SetupFileCommands.h"
#include "gui/common/PrintWindow.h"
#include "gui/help/frmAppHelp.h"
#include "sc/SigCond.h"

namespace wm {

namespace {

// The window's measures were set in twips; 15 twips make one pixel at 96 dpi.
constexpr int Twips(int twips) { return twips / 15; }

constexpr int kLabelWidth = 1300;    // column 0: the menu item's label
constexpr int kPositionWidth = 350;  // one display position
constexpr int kHelpWidth = 6120;     // the help window beside the grids
constexpr int kHelpLeftMain = 5895;  // its left edge after a grdMain click
constexpr int kHelpLeftSetPt = 0;    // and after a grdSetPt click

// Column 1 is a marker column nobody sees: "#" in rows of digit codes.
constexpr int kMarkerColumn = 1;
constexpr int kFirstPosition = 2;

const QStringList kPositionHeaders = {"S", " 1", " 2", " 3", " 4", " 5"};

// The display's digits are drawn bold and fixed-width, lit on a dark ground,
// so the grid reads like the meter's own seven-segment display.
QFont DisplayFont() {
    QFont f("DejaVu Sans Mono");
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setBold(true);
    f.setPixelSize(14);
    return f;
}
const QColor kLit(255, 48, 32);
const QColor kDark(24, 8, 8);

// A position's cell text starts with a blank, as every cell of the grid's
// rows does; the narrow position columns draw it without that blank, so a
// character with its point still fits.
class PositionDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->text.startsWith(' ')) option->text.remove(0, 1);
    }
};

QTableWidget* MakeGrid(QWidget* parent, const char* name, const QStringList& headers, int columns) {
    auto* grid = new QTableWidget(0, columns, parent);
    grid->setObjectName(name);
    grid->setFont(DisplayFont());
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setTextElideMode(Qt::ElideNone);
    grid->setWordWrap(false);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(grid->font()).height() + 4);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->horizontalHeader()->setMinimumSectionSize(1);
    auto* positions = new PositionDelegate(grid);
    for (int c = columns - 6; c < columns; ++c) grid->setItemDelegateForColumn(c, positions);
    if (headers.isEmpty()) {
        grid->horizontalHeader()->hide();
    } else {
        grid->setHorizontalHeaderLabels(headers);
    }
    return grid;
}

QTableWidgetItem* Cell(const QString& text, bool position) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    if (position) {
        item->setBackground(kDark);
        item->setForeground(kLit);
    }
    return item;
}

// A display position as the grid writes it: a blank, then the character
// with its point ("" stays a lone blank).
QString PositionText(const std::string& cell) { return " " + QString::fromStdString(cell); }

void AddMenuRow(QTableWidget* grid, const MenuRow& row) {
    const int r = grid->rowCount();
    grid->insertRow(r);
    grid->setItem(r, 0, Cell(" " + QString::fromStdString(row.label), false));
    grid->setItem(r, kMarkerColumn, Cell(row.digits ? "#" : " ", false));
    for (std::size_t i = 0; i < row.cells.size(); ++i)
        grid->setItem(r, kFirstPosition + static_cast<int>(i), Cell(PositionText(row.cells[i]), true));
}

// Column widths at the window's first size; a wider grid widens every
// column in proportion.
void FitGrid(QTableWidget* grid, const std::vector<int>& twips) {
    int designed = 0;
    for (int t : twips) designed += Twips(t);
    const int room = grid->viewport()->width();
    const double grow = designed > 0 && room > designed ? static_cast<double>(room) / designed : 1.0;
    for (std::size_t c = 0; c < twips.size(); ++c)
        grid->setColumnWidth(static_cast<int>(c), static_cast<int>(Twips(twips[c]) * grow));
}

const std::vector<int> kMenuColumns = {kLabelWidth, 1,
                                       kPositionWidth, kPositionWidth, kPositionWidth,
                                       kPositionWidth, kPositionWidth, kPositionWidth};
const std::vector<int> kInputColumns(6, kPositionWidth);

// A grid as tall as its rows, so nothing scrolls that need not.
void FitHeight(QTableWidget* grid) {
    int height = 2 * grid->frameWidth();
    if (!grid->horizontalHeader()->isHidden()) height += grid->horizontalHeader()->sizeHint().height();
    height += grid->verticalHeader()->defaultSectionSize() * std::max(grid->rowCount(), 1);
    grid->setMinimumHeight(std::min(height, 200));
    grid->setMaximumHeight(height);
}

} // namespace

frmWTMenu::frmWTMenu(Program& program, QWidget* parent) : QWidget(parent, Qt::Window), program_(program) {
    setObjectName("frmWTMenu");
    setWindowTitle("WEIGHT MENU");
    BuildControls();
    Form_Load();
}

frmWTMenu::~frmWTMenu() = default;

void frmWTMenu::BuildControls() {
    QStringList mainHeaders = {" MENU KEY   ", " "};
    mainHeaders += kPositionHeaders;
    grdMain = MakeGrid(this, "grdMain", mainHeaders, 8);
    grdMain->setColumnHidden(kMarkerColumn, true);
    connect(grdMain, &QTableWidget::cellClicked, this, [this](int row, int) { grdMain_Click(row); });

    lblInpOpt = new QLabel("  INPUT OPTION", this);
    lblInpOpt->setObjectName("lblInpOpt");
    grdInput = MakeGrid(this, "grdInput", {}, 6);
    grdInput->setSelectionMode(QAbstractItemView::NoSelection);

    QStringList setPtHeaders = {" ALARM KEY  ", " "};
    setPtHeaders += kPositionHeaders;
    grdSetPt = MakeGrid(this, "grdSetPt", setPtHeaders, 8);
    grdSetPt->setColumnHidden(kMarkerColumn, true);
    connect(grdSetPt, &QTableWidget::cellClicked, this, [this](int row, int) { grdSetPt_Click(row); });

    for (QTableWidget* grid : {grdMain, grdInput, grdSetPt}) grid->viewport()->installEventFilter(this);

    lblSigCond = new QLabel(this);
    lblSigCond->setObjectName("lblSigCond");

    cmdPrinter = new QPushButton("Print", this);
    cmdPrinter->setObjectName("cmdPrinter");
    connect(cmdPrinter, &QPushButton::clicked, this, &frmWTMenu::cmdPrinter_Click);
    cmdMainMenu = new QPushButton("Main Menu", this);
    cmdMainMenu->setObjectName("cmdMainMenu");
    connect(cmdMainMenu, &QPushButton::clicked, this, &frmWTMenu::cmdMainMenu_Click);

    auto* side = new QVBoxLayout;
    side->addWidget(lblInpOpt);
    side->addWidget(grdInput);
    side->addSpacing(Twips(240));
    side->addWidget(grdSetPt);
    side->addWidget(lblSigCond);
    side->addStretch(1);
    side->addWidget(cmdPrinter);
    side->addWidget(cmdMainMenu);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(grdMain, 1);
    layout->addLayout(side, 1);
}

void frmWTMenu::Form_Load() {
    menuViewOpen_ = 1;
    // The setup may have come from a file: its board type and input mode
    // are checked, as after a Get, before anything is shown from them.
    if (CheckSCAfterGet(program_) == SCCheck::EndProgram) {
        ended_ = true;
        return;
    }
    rows_ = BuildMenuRows(program_.setup, program_.derived, program_.link.MeterRevision);
    FillGrids();
    lblSigCond->setText(QString::fromStdString(SigCondCaption(program_.derived.ScType)));

    const int rowHeight = grdMain->verticalHeader()->defaultSectionSize();
    const int tall = grdMain->horizontalHeader()->sizeHint().height() + rowHeight * grdMain->rowCount() +
                     2 * grdMain->frameWidth() + 24;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int room = screen != nullptr ? screen->availableGeometry().height() - 60 : tall;
    resize(Twips(9000), std::min(tall, std::max(room, 300)));
}

void frmWTMenu::FillGrids() {
    for (const MenuRow& row : rows_) {
        switch (row.grid) {
        case MenuGrid::Main:
            AddMenuRow(grdMain, row);
            mainTopics_.push_back(row.topic);
            break;
        case MenuGrid::SetPt:
            AddMenuRow(grdSetPt, row);
            setPtTopics_.push_back(row.topic);
            break;
        case MenuGrid::Input:
            // The range line: one character a position, the point in one of its own.
            grdInput->setRowCount(1);
            for (std::size_t i = 0; i < row.cells.size(); ++i)
                grdInput->setItem(0, static_cast<int>(i), Cell(PositionText(row.cells[i]), true));
            break;
        }
    }
    FitHeight(grdInput);
    FitHeight(grdSetPt);
    FitColumns();
    // No row stands chosen until the operator clicks one.
    grdMain->setCurrentCell(-1, -1);
    grdSetPt->setCurrentCell(-1, -1);
}

void frmWTMenu::FitColumns() {
    FitGrid(grdMain, kMenuColumns);
    FitGrid(grdSetPt, kMenuColumns);
    FitGrid(grdInput, kInputColumns);
}

// ---------------------------------------------------------------- life cycle

void frmWTMenu::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
}

void frmWTMenu::Form_Activate() {
    if (!ended_) menuViewOpen_ = 1;
}

void frmWTMenu::Unload() {
    menuViewOpen_ = 0;
    if (help_) help_->cmdOK_Click();
    hide();
    deleteLater();
}

void frmWTMenu::closeEvent(QCloseEvent* event) {
    event->accept();
    Q_EMIT mainMenuWanted();
}

void frmWTMenu::cmdMainMenu_Click() { Q_EMIT mainMenuWanted(); }

void frmWTMenu::cmdPrinter_Click() {
    (void)PrintWidget(*this, program_.platform.op, SetupFileFolder(program_), "menu");
}

// ---------------------------------------------------------------- help

void frmWTMenu::grdMain_Click(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= mainTopics_.size()) return;
    ShowHelp(mainTopics_[static_cast<std::size_t>(row)], kHelpLeftMain);
}

void frmWTMenu::grdSetPt_Click(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= setPtTopics_.size()) return;
    ShowHelp(setPtTopics_[static_cast<std::size_t>(row)], kHelpLeftSetPt);
    // The set-point grid goes back to no row chosen, ready for the next click.
    grdSetPt->clearSelection();
    grdSetPt->setCurrentCell(-1, -1);
}

void frmWTMenu::ShowHelp(int topic, int leftTwips) {
    helpTopic_ = topic;
    if (!help_) {
        help_ = new frmAppHelp(program_.paths.HelpFolder(), this);
        help_->setModal(false); // the view stays usable beside it
        help_->setWindowTitle("Menu Help");
        help_->installEventFilter(this);
    }
    help_->LoadTopic(topic); // closes the files of the topic shown before
    help_->resize(Twips(kHelpWidth), help_->height());
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenLeft = screen != nullptr ? screen->availableGeometry().x() : 0;
    help_->move(screenLeft + Twips(leftTwips), help_->y());
    help_->show();
    help_->raise();
    help_->activateWindow();
}

bool frmWTMenu::eventFilter(QObject* watched, QEvent* event) {
    // Closing the help leaves the main grid with no row chosen, so the next
    // click on the same row reads as a fresh choice.
    if (watched == help_ && event->type() == QEvent::Hide && menuViewOpen_ == 1) {
        grdMain->clearSelection();
        grdMain->setCurrentCell(-1, -1);
    }
    // The columns follow the grids' width.
    if (event->type() == QEvent::Resize &&
        (watched == grdMain->viewport() || watched == grdSetPt->viewport() || watched == grdInput->viewport()))
        FitColumns();
    return QWidget::eventFilter(watched, event);
}

} // namespace wm
