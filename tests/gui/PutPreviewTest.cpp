// The box Meter > Put Setup shows first: what it lists, what its buttons
// answer, and the whole path from the menu against the simulated meter,
// with the real box driven by mouse and keys while its exec() runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "MenuRig.h"
#include "app/Baseline.h"
#include "gui/main/frmPutPreview.h"
#include "setup/SetupEditor.h"
#include "sim/Meter.h"
#include "sim/SimPort.h"

namespace wm::test {
namespace {

// Acts on the box once its exec() has shown it.
void WhenBoxShows(std::function<void(frmPutPreview&)> act, int tries = 50) {
    QTimer::singleShot(0, [act = std::move(act), tries]() mutable {
        if (auto* box = qobject_cast<frmPutPreview*>(QApplication::activeModalWidget())) {
            act(*box);
        } else if (tries > 0) {
            WhenBoxShows(std::move(act), tries - 1);
        } else {
            ADD_FAILURE() << "the Put preview never came up";
        }
    });
}

void Click(frmPutPreview& box, const char* name) {
    auto* button = box.findChild<QAbstractButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
}

// The rows of the table: field, meter's text, text to be put.
std::vector<std::array<std::string, 3>> Rows(const frmPutPreview& box) {
    std::vector<std::array<std::string, 3>> rows;
    const auto* grid = box.findChild<QTableWidget*>("grdChanges");
    if (grid == nullptr || !grid->isVisibleTo(&box)) return rows;
    for (int r = 0; r < grid->rowCount(); ++r)
        rows.push_back({grid->item(r, 0)->text().toStdString(), grid->item(r, 1)->text().toStdString(),
                        grid->item(r, 2)->text().toStdString()});
    return rows;
}

TEST(PutPreviewBox, listsEveryChangeAndSaysSoWhenThereIsNone) {
    PutPreview two{{{"AutoZ", "No Auto Zero", "+- 3 Counts"}, {"SetPt1", "00000", "00123"}}, true};
    frmPutPreview listing(two);
    EXPECT_EQ(listing.windowTitle().toStdString(), "Put Setup");
    EXPECT_EQ(Rows(listing), (std::vector<std::array<std::string, 3>>{{"AutoZ", "No Auto Zero", "+- 3 Counts"},
                                                                      {"SetPt1", "00000", "00123"}}));
    const auto* check = listing.findChild<QCheckBox*>("chkShowChanges");
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->text().toStdString(), "Show the changes before every Put");
    EXPECT_TRUE(check->isChecked());

    frmPutPreview none(PutPreview{});
    EXPECT_EQ(none.findChild<QLabel*>("lblChanges")->text().toStdString(),
              "The setup is the same as the one read from the meter.");
    EXPECT_TRUE(Rows(none).empty());
    EXPECT_TRUE(none.findChild<QPushButton*>("cmdPut")->isEnabled());
}

TEST(PutPreviewBox, putGoesOnCancelAndEscapeDoNotAndTheCheckBoxComesBack) {
    struct Row {
        const char* how;
        std::function<void(frmPutPreview&)> act;
        Answer answer;
        bool showAgain;
    };
    const Row rows[] = {
        {"Put", [](frmPutPreview& b) { Click(b, "cmdPut"); }, Answer::Ok, true},
        {"Cancel", [](frmPutPreview& b) { Click(b, "cmdCancel"); }, Answer::Cancel, true},
        {"Escape", [](frmPutPreview& b) { QTest::keyClick(&b, Qt::Key_Escape); }, Answer::Cancel, true},
        {"unchecked, then Put",
         [](frmPutPreview& b) {
             Click(b, "chkShowChanges");
             Click(b, "cmdPut");
         },
         Answer::Ok, false},
    };
    for (const Row& r : rows) {
        PutPreview preview{{{"CntBy", "Count by 1's", "Count by 2's"}}, true};
        WhenBoxShows(r.act);
        EXPECT_EQ(RunPutPreview(preview, nullptr), r.answer) << r.how;
        EXPECT_EQ(preview.showBeforeEveryPut, r.showAgain) << r.how;
    }
}

// The main window on a program whose line ends at a simulated meter that
// speaks Custom ASCII at address 1.
struct SimWindow {
    SimWindow()
        : port(vt), op(&dialogs),
          program(Platform{port, vt, vt, op},
                  ProgramPaths{folder.path() / "Settings.SSS", folder.path(), "memory"}) {
        WriteWhole(folder.path() / "Settings.SSS", Line1(0, "007", '5', '1', "001") + "\r\n" + kSerialLine2 + "\r\n");
        sim = std::make_unique<sim::SimPort>(meter, port, vt);
        program.StartUp();
        window = std::make_unique<frmMMenu>(program, op);
        window->show();
    }
    void Trigger(const char* name) { window->findChild<QAction*>(name)->trigger(); }
    [[nodiscard]] int MeterWrites() const {
        int n = 0;
        for (const sim::LogEntry& e : meter.Log())
            if (e.key.starts_with("W")) ++n;
        return n;
    }

    TempFolder folder;
    VirtualTime vt;
    MemorySerialPort port;
    sim::Meter meter;
    ScriptedOperator dialogs;
    QtOperator op;
    Program program;
    std::unique_ptr<sim::SimPort> sim;
    std::unique_ptr<frmMMenu> window;
};

TEST(WindowPutPreview, listsTheEditedFieldsCancelSendsNothingAndUncheckingTurnsItOff) {
    SimWindow w;
    w.Trigger("mnuGet");
    ASSERT_EQ(w.program.baseline.source, SetupSource::Get);
    SetupEditor editor(w.program.setup, w.program.derived, w.program.link);
    const ControlView autoZ = editor.View("cboAutoZ");
    const int entry = (autoZ.selected + 1) % autoZ.selectable;
    ASSERT_TRUE(editor.Choose("cboAutoZ", entry).ok);
    const std::string meterBefore = w.meter.Image();
    w.meter.ClearLog();

    // The scripted operator hands the box to the real one, which the test
    // then drives.
    std::function<void(frmPutPreview&)> act;
    std::vector<std::array<std::string, 3>> shown;
    w.dialogs.review = [&](PutPreview& p) {
        WhenBoxShows([&](frmPutPreview& box) {
            shown = Rows(box);
            act(box);
        });
        return RunPutPreview(p, w.window.get());
    };

    // Cancel sends nothing, and leaves the box on even when it was cleared.
    act = [](frmPutPreview& box) {
        Click(box, "chkShowChanges");
        Click(box, "cmdCancel");
    };
    w.Trigger("mnuPut");
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0][0], "AutoZ");
    EXPECT_EQ(shown[0][1], autoZ.entries[static_cast<std::size_t>(autoZ.selected)]);
    EXPECT_EQ(shown[0][2], autoZ.entries[static_cast<std::size_t>(entry)]);
    EXPECT_TRUE(w.meter.Log().empty());
    EXPECT_EQ(w.meter.Image(), meterBefore);
    EXPECT_TRUE(w.window->findChild<QAction*>("mnuPut")->isEnabled());

    act = [](frmPutPreview& box) {
        Click(box, "chkShowChanges");
        Click(box, "cmdPut");
    };
    w.Trigger("mnuPut");
    EXPECT_GT(w.MeterWrites(), 0);
    EXPECT_EQ(w.meter.Image(), w.program.setup.text.substr(0, 136));

    // Turned off for the rest of the session: the next Put goes straight out.
    w.meter.ClearLog();
    ASSERT_TRUE(editor.Choose("cboAutoZ", autoZ.selected).ok);
    w.Trigger("mnuPut");
    EXPECT_EQ(w.dialogs.previews.size(), 2U);
    EXPECT_GT(w.MeterWrites(), 0);
    EXPECT_EQ(w.meter.Image(), meterBefore);
}

} // namespace
} // namespace wm::test
