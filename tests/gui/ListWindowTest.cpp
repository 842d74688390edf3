// The readings list opened from the main menu, fed by a meter streaming
// records on the in-memory line under virtual time. The receiving loop runs
// inside ReceiveRecords(); actions scheduled in virtual time (records,
// clicks, the close box) happen while it waits, and the test goes on once
// the loop has returned.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <fstream>

#include "MenuRig.h"
#include "e2e/Processes.h"
#include "gui/readings/frmList.h"
#include "support/TrafficLines.h"
#include "platform/qt/QtPlatform.h"
#include "setup/Fields.h"

namespace wm::test {
namespace {

// A reading as the meter sends it, numbered so a test knows which it sees.
std::string Record(int n) {
    char text[32];
    std::snprintf(text, sizeof text, " +%04d.0\r", n);
    return text;
}

const std::string kStart = "*0A0";
const std::string kStop = "****************0A1";

struct ListRig : MenuRig {
    ListRig() : MenuRig(Line1(0)) {}

    frmList* Open() {
        window->mnuList_Click();
        list = window->ListWindow();
        t0 = vt.NowUs();
        return list;
    }
    // Times count from the moment the start command has gone out: the
    // meter's 300 ms pause before a request, then six characters.
    static constexpr int kStartSentMs = 310;
    void At(int ms, std::function<void()> action) {
        vt.At(t0 + static_cast<std::uint64_t>(kStartSentMs + ms) * 1000, std::move(action));
    }
    // Record n starts on the line at n * everyMs.
    void Stream(int first, int last, int everyMs = 100) {
        for (int n = first; n <= last; ++n) At(n * everyMs, [this, n] { port.SendFromPeer(Record(n)); });
    }
    void ClickAt(int ms, const char* button) {
        At(ms, [this, button] { list->findChild<QPushButton*>(button)->click(); });
    }
    // Runs the receiving loop until the close box at closeMs ends it, then
    // lets the last command's characters reach the meter.
    void RunUntilClosed(int closeMs) {
        At(closeMs, [this] { list->close(); });
        list->ReceiveRecords();
        vt.AdvanceUs(100'000);
    }
    // The numbers of the records listed, in order.
    [[nodiscard]] std::vector<int> Listed() const {
        std::vector<int> numbers;
        const std::string csv = list->Log().Csv();
        std::size_t at = csv.find('\n');
        while (at != std::string::npos && at + 1 < csv.size()) {
            const std::size_t comma = csv.find(',', at + 1);
            numbers.push_back(std::stoi(csv.substr(comma + 3, 4)));
            at = csv.find('\n', at + 1);
        }
        return numbers;
    }
    [[nodiscard]] std::string Cell(int row, int col) const { return list->CellText(row, col).toStdString(); }

    frmList* list = nullptr;
    std::uint64_t t0 = 0;
};

std::vector<int> Range(int first, int last) {
    std::vector<int> v;
    for (int n = first; n <= last; ++n) v.push_back(n);
    return v;
}

TEST(ListWindow, opensInPlaceOfTheMainWindowWithItsControls) {
    ListRig rig;
    ASSERT_NE(rig.Open(), nullptr);
    EXPECT_TRUE(rig.list->isVisible());
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_EQ(rig.list->objectName(), "frmList");
    EXPECT_EQ(rig.list->windowTitle(), "LIST READINGS");
    const std::pair<const char*, const char*> buttons[] = {
        {"cmdPause", "Pause"}, {"cmdContin", "Continue"}, {"cmdEnd", "End"}, {"cmdPrint", "Print"},
        {"cmdSaveCsv", "Save CSV"}};
    for (const auto& [name, caption] : buttons) {
        auto* b = rig.list->findChild<QPushButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), caption);
    }
    auto* grid = rig.list->findChild<QTableWidget*>("Grid1");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->columnCount(), 21);
    EXPECT_EQ(grid->rowCount(), rig.list->ListRows());
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(rig.port.Rts());
}

TEST(ListWindow, theGridIsLaidOutFromTheSampleLine) {
    EXPECT_EQ(TextLines(" +0001.0p"), 1);
    EXPECT_EQ(TextLines("\n +0001.0p"), 2);   // CR-ended records with a line feed after them
    EXPECT_EQ(TextLines(" +0001.0\rp"), 2);   // LF-ended records with a carriage return before
    EXPECT_EQ(TextLines("a\r\nb\n\nc"), 4);   // a CR LF pair is one line break
    const ListGridLayout layout = LayOutListGrid(1176, 420, 15);
    EXPECT_EQ(layout.columnWidth, 56);
    EXPECT_EQ(layout.rowHeight, 15 + frmList::kRowMargin);
    EXPECT_EQ(layout.rows, 20);
    EXPECT_EQ(LayOutListGrid(100, 5, 15).rows, 1) << "a grid lower than a row still has one";

    // In the window: every row as high as the font's line plus the margin,
    // as many as the grid holds.
    ListRig rig;
    rig.Open();
    rig.Stream(1, 3);
    rig.RunUntilClosed(500);
    auto* grid = rig.list->findChild<QTableWidget*>("Grid1");
    const int rowHeight = QFontMetrics(grid->font()).lineSpacing() + frmList::kRowMargin;
    EXPECT_EQ(grid->rowHeight(0), rowHeight);
    EXPECT_EQ(rig.list->ListRows(), grid->contentsRect().height() / rowHeight);
    EXPECT_EQ(grid->columnWidth(20), grid->contentsRect().width() / 21);
}

TEST(ListWindow, theStartCommandGoesOutOnOpeningAndTheStopCommandOnEndOrClose) {
    for (const bool byEnd : {true, false}) {
        SCOPED_TRACE(byEnd ? "End" : "close box");
        ListRig rig;
        rig.Open();
        rig.Stream(1, 5);
        // Closing the window while it receives: the main window is back
        // before this one goes (a program left without a window would end).
        bool mainWindowBackOnClose = false;
        rig.At(650, [&] {
            if (byEnd) {
                rig.list->findChild<QPushButton*>("cmdEnd")->click();
                return;
            }
            rig.list->close();
            mainWindowBackOnClose = rig.window->isVisible();
        });
        QPointer<frmList> list(rig.list);
        rig.dialogs.events.clear();
        rig.RunUntilClosed(5000);
        if (!byEnd) {
            EXPECT_TRUE(mainWindowBackOnClose);
        }
        // The loop has returned: the window came back and unloaded the list.
        EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{kStart, kStop}));
        EXPECT_TRUE(rig.window->isVisible());
        EXPECT_EQ(rig.window->ListWindow(), nullptr);
        EXPECT_FALSE(list->isVisible());
        EXPECT_FALSE(list->Receiving());
        // With the hourglass while the main window comes back.
        const auto& events = rig.dialogs.events;
        const auto busy = std::find(events.begin(), events.end(), "busy");
        ASSERT_NE(busy, events.end());
        EXPECT_NE(std::find(busy, events.end(), "not-busy"), events.end());
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(list.isNull());
    }
}

TEST(ListWindow, recordsFillTheGridFromTheThirdWithTheirEndCharacterAndABlankAfter) {
    ListRig rig;
    rig.Open();
    // The first arrives cut (the stream was already under way).
    rig.At(50, [&] { rig.port.SendFromPeer("4.0\r"); });
    rig.Stream(1, 3);
    rig.RunUntilClosed(350);
    // " +0001.0" was measured, not shown.
    EXPECT_EQ(rig.Cell(0, 0), Record(2));
    EXPECT_EQ(rig.Cell(0, 1), Record(3));
    EXPECT_EQ(rig.Cell(0, 2), " ");
    EXPECT_EQ(rig.Listed(), (std::vector<int>{2, 3}));
}

TEST(ListWindow, theCursorWrapsAfterTwentyColumnsAndAfterTheLastRow) {
    ListRig rig;
    rig.Open();
    const int rows = rig.list->ListRows();
    ASSERT_GE(rows, 2);
    // Records 3 on are shown: 20 to a row, then one more than the grid holds.
    const int shown = 20 * rows + 1;
    rig.Stream(1, shown + 2, 50);
    rig.RunUntilClosed(50 * (shown + 3));
    EXPECT_EQ(rig.Cell(0, 19), Record(22));
    EXPECT_EQ(rig.Cell(1, 0), Record(23));
    EXPECT_EQ(rig.Cell(rows - 1, 19), Record(shown + 1));
    // The oldest record was overwritten by the newest, and the blank moved on.
    EXPECT_EQ(rig.Cell(0, 0), Record(shown + 2));
    EXPECT_EQ(rig.Cell(0, 1), " ");
    EXPECT_EQ(rig.Cell(0, 2), Record(5));
    for (int row = 0; row < rows; ++row) EXPECT_EQ(rig.Cell(row, 20), "") << "row " << row;
}

TEST(ListWindow, pauseDropsWhatArrivesAndContinueStartsAgainWithoutACutRecord) {
    ListRig rig;
    rig.Open();
    rig.Stream(1, 30);
    rig.ClickAt(1050, "cmdPause");
    bool pausedBetween = false;
    rig.At(1500, [&] { pausedBetween = rig.list->ListPaused(); });
    rig.ClickAt(2050, "cmdContin");
    rig.RunUntilClosed(2750);
    EXPECT_TRUE(pausedBetween);
    EXPECT_FALSE(rig.list->ListPaused());
    EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{kStart, kStart, kStop}));
    // 11-20 came while paused. 21-23 came while the start command waited for
    // its turn and were thrown away with the line's stale input; 24 may be
    // the tail of a record and is dropped.
    std::vector<int> expected = Range(3, 10);
    for (int n : Range(25, 27)) expected.push_back(n);
    EXPECT_EQ(rig.Listed(), expected);
    EXPECT_EQ(rig.Cell(0, 8), Record(25));
}

TEST(ListWindow, customTransmitCharactersAreShownAsTAndP) {
    struct Row {
        const char* what;
        int stop;
        std::string record, shown;
    };
    const Row rows[] = {
        {"start and stop characters", 'E', "S+001234E", "t+001234p"},
        {"no stop character: the start character ends a record", 0, "+001234S", "+001234p"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        ListRig rig;
        StoreFieldCode(rig.program.setup, FieldNamed("TranChars"), 1);
        StoreFieldCode(rig.program.setup, FieldNamed("StopChar"), r.stop);
        StoreFieldCode(rig.program.setup, FieldNamed("StartChar"), 'S');
        rig.Open();
        for (int n = 1; n <= 3; ++n) rig.At(100 * n, [&] { rig.port.SendFromPeer(r.record); });
        rig.RunUntilClosed(400);
        EXPECT_EQ(rig.Cell(0, 0), r.shown);
    }
}

TEST(ListWindow, aSecondActivationRestartsTheSameLoopFromTheStartCommand) {
    ListRig rig;
    rig.Open();
    rig.Stream(1, 20);
    bool nestedReturnedAtOnce = false;
    rig.At(950, [&] {
        const std::uint64_t before = rig.vt.NowUs();
        rig.list->ReceiveRecords(); // already running: must not run a second loop
        nestedReturnedAtOnce = rig.vt.NowUs() == before;
        rig.window->mnuList_Click(); // the list asked for again from the menu
    });
    rig.RunUntilClosed(1650);
    EXPECT_TRUE(nestedReturnedAtOnce);
    EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{kStart, kStart, kStop}));
    // After the restart the first two records are dropped again and the
    // list begins at the top-left cell; the log holds only the new run.
    // 10-12 came during the start command's pause and were thrown away with
    // the line's stale input, 13 is the first record (dropped), 14 measured.
    EXPECT_EQ(rig.Listed(), Range(15, 16));
    EXPECT_EQ(rig.Cell(0, 0), Record(15));
    EXPECT_EQ(rig.Cell(0, 2), " ");
}

TEST(ListWindow, saveCsvWritesTheRecordsListedSinceTheStart) {
    ListRig rig;
    rig.Open();
    rig.Stream(1, 5);
    rig.RunUntilClosed(650);
    rig.dialogs.files.push_back("run1");
    const std::filesystem::path elsewhere = rig.folder.path() / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    rig.dialogs.files.push_back((elsewhere / "run2.CSV").string());
    rig.dialogs.files.push_back("run3");
    for (int i = 0; i < 3; ++i) rig.list->findChild<QPushButton*>("cmdSaveCsv")->click();

    ASSERT_EQ(rig.dialogs.dialogs.size(), 3u);
    EXPECT_EQ(rig.dialogs.dialogs[0].kind, FileDialog::SaveAs);
    EXPECT_EQ(rig.dialogs.dialogs[0].filter, "CSV files (*.csv)|*.csv");
    EXPECT_EQ(rig.dialogs.dialogs[0].folder, rig.folder.path()) << "the program's folder at first";
    EXPECT_EQ(rig.dialogs.dialogs[2].folder, elsewhere) << "then the folder last saved to";
    EXPECT_EQ(ReadWhole(rig.folder.path() / "run1.csv"),
              "ms,record,reading\n0, +0003.0,3\n100, +0004.0,4\n200, +0005.0,5\n");
    EXPECT_EQ(ReadWhole(elsewhere / "run2.CSV"), ReadWhole(rig.folder.path() / "run1.csv"));
    EXPECT_TRUE(std::filesystem::exists(elsewhere / "run3.csv"));
}

TEST(ListWindow, theGridIsForDisplayOnly) {
    ListRig rig;
    rig.Open();
    auto* grid = rig.list->findChild<QTableWidget*>("Grid1");
    QKeyEvent key(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, "5");
    QApplication::sendEvent(grid, &key);
    const QPointF inside(10, 10);
    QMouseEvent press(QEvent::MouseButtonPress, inside, grid->viewport()->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &press);
    EXPECT_EQ(rig.dialogs.beeps, 2);
    EXPECT_EQ(rig.list->CellText(0, 0), "");
    rig.RunUntilClosed(100);
}

TEST(ListWindow, isRefusedUnderModbus) {
    MenuRig rig(Line1(1));
    rig.window->mnuList_Click();
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].text, "The Custom ASCII protocol must be used to list, plot or graph readings.");
    EXPECT_EQ(rig.dialogs.boxes[0].title, "Use Custom ASCII");
    EXPECT_EQ(rig.window->ListWindow(), nullptr);
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_TRUE(rig.peer.Requests().empty());
}

// On the program's own port, clock and event loop, against the simulated
// meter on a pseudo-terminal: records come as the port delivers them, and a
// click on End, handled while the loop waits, ends it. Waits have deadlines.
TEST(ListWindowOnAPseudoTerminal, listsTheMetersRecordsUntilEndAndStopsTheOutput) {
    TempFolder folder;
    const std::filesystem::path log = folder.path() / "meter.log";
    const e2e::SimProcess sim(
        {"--baud", "9600", "--delay", "0", "--address", "0", "--record-ms", "50", "--log", log.string()});
    ASSERT_FALSE(sim.Device().empty());
    WriteWhole(folder.path() / "Settings.SSS", Line1(0) + "\r\n" + kSerialLine2 + "\r\n");
    QtClock clock;
    QtEventPump pump;
    QtSerialPort port{pump};
    ScriptedOperator dialogs;
    QtOperator op(&dialogs);
    Program program(Platform{port, clock, pump, op},
                    ProgramPaths{folder.path() / "Settings.SSS", folder.path(), sim.Device()});
    program.StartUp();
    frmMMenu window(program, op);
    window.show();
    window.mnuList_Click();
    QPointer<frmList> list(window.ListWindow());
    ASSERT_TRUE(list);

    // End once five records are listed; the close box after 10 s whatever came.
    QElapsedTimer elapsed;
    elapsed.start();
    bool endClicked = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!list || endClicked) return;
        if (list->Log().Size() >= 5) {
            endClicked = true;
            list->findChild<QPushButton*>("cmdEnd")->click();
        } else if (elapsed.elapsed() > 10'000) {
            list->close();
        }
    });
    poll.start(20);
    list->ReceiveRecords();
    poll.stop();

    ASSERT_TRUE(endClicked) << "no five records within 10 s";
    ASSERT_TRUE(list); // unloaded by the main window's return, deleted only now
    EXPECT_FALSE(list->Receiving());
    EXPECT_TRUE(window.isVisible());
    EXPECT_GE(list->Log().Size(), 5u);
    EXPECT_TRUE(list->CellText(0, 0).endsWith('\r'));
    // A reading asked for now is answered after the meter heard all that came
    // before it: the log then holds the start and the stop command.
    EXPECT_TRUE(MeterLink(program).AskAscii("B3").ok());
    const std::vector<std::string> heard = FramesOf(ReadTrafficFile(log), TrafficLine::Kind::Rx);
    const auto start = std::find(heard.begin(), heard.end(), "*0A0\r\n");
    const auto stop = std::find(heard.begin(), heard.end(), "****************0A1\r\n");
    EXPECT_NE(start, heard.end());
    EXPECT_NE(stop, heard.end());
    EXPECT_LT(start, stop);
    delete list;
}

} // namespace
} // namespace wm::test
