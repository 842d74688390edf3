#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHeaderView>
#include <QPrinterInfo>
#include <QTableWidget>
#include <QTest>
#include <fstream>
#include <iterator>

#include "MenuRig.h"
#include "gui/help/frmAppHelp.h"
#include "gui/setup/frmWTMenu.h"
#include "setup/MenuRows.h"

namespace wm::test {
namespace {

// The main window with the default setup loaded, then View > Menu.
struct ViewRig : MenuRig {
    ViewRig() : MenuRig(WithPort(Line1(0), '0')) {}
    frmWTMenu* Open() {
        Item("mnuMenu")->trigger();
        return window->MenuView();
    }
    frmWTMenu* OpenDefault() {
        Item("mnuDefaultSet")->trigger();
        return Open();
    }
};

QTableWidget* Grid(frmWTMenu* view, const char* name) { return view->findChild<QTableWidget*>(name); }

QString Text(QTableWidget* grid, int row, int column) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item == nullptr ? QString("<none>") : item->text();
}

int RowLabelled(QTableWidget* grid, const QString& label) {
    for (int r = 0; r < grid->rowCount(); ++r)
        if (Text(grid, r, 0) == " " + label) return r;
    return -1;
}

void Click(QTableWidget* grid, int row) {
    ASSERT_GE(row, 0);
    const QRect cell = grid->visualRect(grid->model()->index(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

void Unloaded() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

TEST(MenuView, opensInPlaceOfTheMainWindowWithTheRowsOfTheSetup) {
    ViewRig rig;
    frmWTMenu* view = rig.OpenDefault();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_EQ(view->windowTitle(), "WEIGHT MENU");
    EXPECT_EQ(view->MenuViewOpen(), 1);

    // Every row of the core's table, grid by grid, as the grids write it.
    const std::vector<MenuRow> rows =
        BuildMenuRows(rig.program.setup, rig.program.derived, rig.program.link.MeterRevision);
    QTableWidget* grdMain = Grid(view, "grdMain");
    QTableWidget* grdInput = Grid(view, "grdInput");
    QTableWidget* grdSetPt = Grid(view, "grdSetPt");
    ASSERT_TRUE(grdMain && grdInput && grdSetPt);
    int mainRow = 0, setPtRow = 0;
    for (const MenuRow& row : rows) {
        SCOPED_TRACE(row.label);
        if (row.grid == MenuGrid::Input) {
            for (int c = 0; c < 6; ++c)
                EXPECT_EQ(Text(grdInput, 0, c).toStdString(), " " + row.cells[static_cast<std::size_t>(c)]);
            continue;
        }
        QTableWidget* grid = row.grid == MenuGrid::Main ? grdMain : grdSetPt;
        const int r = row.grid == MenuGrid::Main ? mainRow++ : setPtRow++;
        EXPECT_EQ(Text(grid, r, 0).toStdString(), " " + row.label);
        EXPECT_EQ(Text(grid, r, 1), row.digits ? "#" : " ");
        for (int c = 0; c < 6; ++c)
            EXPECT_EQ(Text(grid, r, 2 + c).toStdString(), " " + row.cells[static_cast<std::size_t>(c)]);
    }
    EXPECT_EQ(grdMain->rowCount(), mainRow);
    EXPECT_EQ(grdSetPt->rowCount(), setPtRow);
    EXPECT_EQ(grdInput->rowCount(), 1);
    EXPECT_EQ(mainRow, 24);
    EXPECT_EQ(setPtRow, 2);

    EXPECT_EQ(grdMain->horizontalHeaderItem(0)->text(), " MENU KEY   ");
    EXPECT_EQ(grdSetPt->horizontalHeaderItem(0)->text(), " ALARM KEY  ");
    EXPECT_EQ(grdMain->horizontalHeaderItem(2)->text(), "S");
    EXPECT_EQ(grdMain->horizontalHeaderItem(7)->text(), " 5");
    EXPECT_TRUE(grdMain->isColumnHidden(1));
    EXPECT_EQ(view->findChild<QLabel*>("lblInpOpt")->text(), "  INPUT OPTION");
    EXPECT_EQ(view->findChild<QLabel*>("lblSigCond")->text(), " DC Signal Conditioner");
    EXPECT_EQ(view->findChild<QPushButton*>("cmdPrinter")->text(), "Print");
    EXPECT_EQ(view->findChild<QPushButton*>("cmdMainMenu")->text(), "Main Menu");
}

TEST(MenuView, rowClicksOpenTheirHelpBesideTheView) {
    ViewRig rig;
    frmWTMenu* view = rig.OpenDefault();
    ASSERT_NE(view, nullptr);
    QTableWidget* grdMain = Grid(view, "grdMain");
    QTableWidget* grdSetPt = Grid(view, "grdSetPt");

    Click(grdMain, RowLabelled(grdMain, "FiLtEr"));
    EXPECT_EQ(view->HelpTopic(), 2154);
    frmAppHelp* help = view->HelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_FALSE(help->isModal());
    EXPECT_EQ(help->windowTitle(), "Menu Help");
    EXPECT_EQ(help->Topic(), 2154);

    Click(grdMain, RowLabelled(grdMain, " SEtuP"));
    EXPECT_EQ(view->HelpTopic(), 1276);
    EXPECT_EQ(help->Topic(), 1276);

    Click(grdSetPt, RowLabelled(grdSetPt, "SETPT2"));
    EXPECT_EQ(view->HelpTopic(), 2174);
    EXPECT_TRUE(grdSetPt->selectedItems().isEmpty());

    // Closing the help leaves no main-grid row chosen.
    Click(grdMain, RowLabelled(grdMain, "TArE"));
    EXPECT_FALSE(grdMain->selectedItems().isEmpty());
    help->cmdOK_Click();
    EXPECT_FALSE(help->isVisible());
    EXPECT_TRUE(grdMain->selectedItems().isEmpty());
}

TEST(MenuView, printWithoutAPrinterOffersAPdf) {
    if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "a printer is installed";
    ViewRig rig;
    frmWTMenu* view = rig.OpenDefault();
    ASSERT_NE(view, nullptr);
    const std::filesystem::path pdf = rig.folder.path() / "menu view.pdf";
    rig.dialogs.answerFor[MessageId::NoPrinter] = Answer::Yes;
    rig.dialogs.files.push_back(pdf.string());
    QTest::mouseClick(view->findChild<QPushButton*>("cmdPrinter"), Qt::LeftButton);
    ASSERT_EQ(rig.dialogs.dialogs.size(), 1u);
    EXPECT_EQ(rig.dialogs.dialogs[0].name, "menu.pdf");
    std::ifstream in(pdf, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
}

TEST(MenuView, mainMenuOrClosingBringsTheMainWindowBackAndUnloadsTheView) {
    ViewRig rig;
    QPointer<frmWTMenu> view = rig.OpenDefault();
    ASSERT_TRUE(view);
    QTest::mouseClick(view->findChild<QPushButton*>("cmdMainMenu"), Qt::LeftButton);
    Unloaded();
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_FALSE(view);
    EXPECT_EQ(rig.window->MenuView(), nullptr);

    view = rig.Open();
    ASSERT_TRUE(view);
    EXPECT_FALSE(rig.window->isVisible());
    view->close();
    Unloaded();
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_FALSE(view);
}

// A setup whose board type is neither DC nor load cell is checked before it
// is shown: "No" goes on with a DC board, "Yes" ends the program instead.
TEST(MenuView, aCorruptBoardTypeIsCheckedBeforeTheViewOpens) {
    {
        ViewRig rig;
        rig.Item("mnuDefaultSet")->trigger();
        rig.program.setup.Put(35, "02");
        rig.dialogs.answerFor[MessageId::CorruptType] = Answer::No;
        frmWTMenu* view = rig.Open();
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(rig.program.setup.Mid(35, 2), "01");
        EXPECT_EQ(view->findChild<QLabel*>("lblSigCond")->text(), " DC Signal Conditioner");
    }
    {
        ViewRig rig;
        rig.Item("mnuDefaultSet")->trigger();
        rig.program.setup.Put(35, "02");
        rig.dialogs.answerFor[MessageId::CorruptType] = Answer::Yes;
        EXPECT_EQ(rig.Open(), nullptr);
        EXPECT_TRUE(rig.op.EndRequested());
        EXPECT_FALSE(rig.window->isVisible());
    }
}

} // namespace
} // namespace wm::test
