// The plot and graph windows opened from the main menu, fed records on the
// in-memory line under virtual time: the commands they send, where they
// draw, pause and continue, the saved picture and the saved readings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "MenuRig.h"
#include "gui/readings/ReadingsPicture.h"
#include "gui/readings/frmGRAPH.h"
#include "gui/readings/frmPlot.h"

namespace wm::test {
namespace {

// A record as the meter sends it.
std::string Record(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%+08.1f\r", value);
    return text;
}

struct ChartRig : MenuRig {
    explicit ChartRig(bool graph, int protocol = 0) : MenuRig(Line1(protocol)) {
        if (graph) window->mnuGraph_Click();
        else window->mnuPlot_Click();
        chart = window->ChartWindow();
        vt.AdvanceUs(100'000); // the start command reaches the meter
    }
    [[nodiscard]] QLineEdit* Entry(const char* name) const { return chart->findChild<QLineEdit*>(name); }
    void Enter(const char* mid, const char* small, const char* third) {
        Entry("txtMidVal")->setText(mid);
        Entry("txtSmallVal")->setText(small);
        for (const char* name : {"txtHorzTime", "txtVertScale"})
            if (QLineEdit* e = Entry(name)) e->setText(third);
    }
    // The meter sends `value` so that its record is whole `atSeconds` after now.
    void SendAt(double atSeconds, double value) {
        const std::string record = Record(value);
        const auto start = vt.NowUs() + static_cast<std::uint64_t>(atSeconds * 1e6) - record.size() * port.CharTimeUs();
        vt.At(start, [this, record] { port.SendFromPeer(record); });
    }
    void At(double seconds, std::function<void()> action) {
        vt.At(vt.NowUs() + static_cast<std::uint64_t>(seconds * 1e6), std::move(action));
    }
    void Click(const char* button) { chart->findChild<QPushButton*>(button)->click(); }
    // Black pixels within a pixel or two of a point of the picture's units.
    [[nodiscard]] bool BlackNear(double x, double y, int reach = 2) const {
        const QImage& image = chart->Picture()->Image();
        const QPoint p = chart->Picture()->ToPixel(x, y).toPoint();
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx)
                if (image.valid(p.x() + dx, p.y() + dy) && image.pixel(p.x() + dx, p.y() + dy) == qRgb(0, 0, 0))
                    return true;
        return false;
    }

    QPointer<ReadingsChart> chart;
};

TEST(PlotGraphWindow, openInPlaceOfTheMainWindowWithTheirControlsAndEntriesBlank) {
    for (const bool graph : {false, true}) {
        ChartRig rig(graph);
        ASSERT_NE(rig.chart, nullptr);
        EXPECT_EQ(rig.chart->objectName(), graph ? "frmGRAPH" : "frmPlot");
        EXPECT_EQ(rig.chart->windowTitle(), graph ? "GRAPH" : "PLOT");
        EXPECT_TRUE(rig.chart->isVisible());
        EXPECT_FALSE(rig.window->isVisible());
        const std::pair<const char*, const char*> texts[] = {
            {"lblMidVal", "Mid-Scale Value"},
            {"lblSmallVal", "Small Division Value"},
            {graph ? "lblVertScale" : "lblHorzTime", graph ? "Initial Vertical Scale" : "Total Plot Time (Secs)"}};
        for (const auto& [name, text] : texts) EXPECT_EQ(rig.chart->findChild<QLabel*>(name)->text(), text);
        const std::pair<const char*, const char*> buttons[] = {
            {"cmdOK", "OK"},   {"cmdNewScale", "New Scale"}, {"cmdPause", "Pause"},      {"cmdContinue", "Continue"},
            {"cmdEnd", "End"}, {"cmdPrint", "Print"},        {"cmdSave", "Save"},        {"cmdSaveCsv", "Save CSV"}};
        for (const auto& [name, caption] : buttons)
            EXPECT_EQ(rig.chart->findChild<QPushButton*>(name)->text(), caption) << name;
        for (const char* name : {"txtMidVal", "txtSmallVal", graph ? "txtVertScale" : "txtHorzTime"}) {
            EXPECT_EQ(rig.Entry(name)->text(), QString(9, ' ')) << name;
            EXPECT_TRUE(rig.Entry(name)->isVisible());
        }
        EXPECT_NE(rig.chart->findChild<ReadingsPicture*>("Picture1"), nullptr);
        EXPECT_TRUE(rig.port.Rts());

        // Enter walks the entries, then lands on OK.
        QTest::keyClick(rig.Entry("txtMidVal"), Qt::Key_Return);
        EXPECT_EQ(rig.chart->focusWidget(), rig.Entry("txtSmallVal"));
        QTest::keyClick(rig.Entry("txtSmallVal"), Qt::Key_Return);
        QTest::keyClick(rig.chart->focusWidget(), Qt::Key_Return);
        EXPECT_EQ(rig.chart->focusWidget(), rig.chart->findChild<QPushButton*>("cmdOK"));

        // The close box stops the output and brings the main window back.
        rig.chart->close();
        rig.vt.AdvanceUs(400'000);
        EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{"*0A0", "*0A1"}));
        EXPECT_TRUE(rig.window->isVisible());
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(rig.chart, nullptr);
    }
}

TEST(PlotGraphWindow, underModbusTheMainWindowRefusesAndSendsNothing) {
    MenuRig rig(Line1(1));
    rig.window->mnuPlot_Click();
    rig.window->mnuGraph_Click();
    EXPECT_EQ(rig.window->ChartWindow(), nullptr);
    ASSERT_EQ(rig.dialogs.boxes.size(), 2u);
    for (const MessageBox& box : rig.dialogs.boxes) {
        EXPECT_EQ(box.text, kListNeedsAscii);
        EXPECT_EQ(box.title, "Use Custom ASCII");
    }
    rig.vt.AdvanceUs(500'000);
    EXPECT_TRUE(rig.peer.Requests().empty());
    EXPECT_TRUE(rig.window->isVisible());
}

TEST(PlotWindow, drawsTheTraceWhereTheGeometrySaysAndPauseTimeDoesNotCount) {
    ChartRig rig(false);
    rig.Enter("100", "2", "60");
    rig.SendAt(0.5, 0);     // the first record only synchronises
    rig.SendAt(1, 110);     // the first point: (0, 50)
    rig.SendAt(31, 150);    // 30 s on: (500, 210), held at the top
    rig.SendAt(32, 60);     // (517, -200)
    rig.At(32.5, [&] {
        EXPECT_TRUE(rig.BlackNear(0, 50));
        EXPECT_TRUE(rig.BlackNear(250, 130)) << "on the line from the first point";
        EXPECT_TRUE(rig.BlackNear(500, 210));
        EXPECT_TRUE(rig.BlackNear(517, -200));
        EXPECT_FALSE(rig.BlackNear(330, 120)) << "away from the trace and the grid";
        EXPECT_EQ(rig.chart->Log().Size(), 3u) << "the first record is not drawn";
        rig.Click("cmdPause");
    });
    rig.SendAt(35, 200); // dropped while paused
    rig.At(42.5, [&] { rig.Click("cmdContinue"); });
    rig.SendAt(44, 84);  // the first after a pause is dropped
    rig.SendAt(45, 84);  // y = -80
    rig.At(45.5, [&] {
        const auto* plot = static_cast<frmPlot*>(rig.chart.data())->Geometry();
        ASSERT_NE(plot, nullptr);
        EXPECT_FALSE(plot->Full());
        // Paused from 32.5 s to 42.8 s (Continue sends the start command first).
        EXPECT_TRUE(rig.BlackNear(562, -80, 3)) << "x = (45 - 1 - 10.3) s * 1000 / 60";
        EXPECT_FALSE(rig.BlackNear(733, -80, 3)) << "where it would be had the pause counted";
        EXPECT_EQ(rig.chart->Log().Size(), 4u);
        rig.Click("cmdEnd");
    });
    rig.Click("cmdOK");
    rig.vt.AdvanceUs(100'000); // the stop command reaches the meter
    EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{"*0A0", "*0A0", "*0A1"}));
    EXPECT_TRUE(rig.window->isVisible());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(rig.chart, nullptr);
}

TEST(PlotWindow, aFullPlotPausesAndContinueStartsANewOne) {
    ChartRig rig(false);
    rig.Enter("0", "1", "5");
    for (int s = 1; s <= 8; ++s) rig.SendAt(s, s);
    const PlotGeometry* first = nullptr;
    rig.At(8.5, [&] {
        auto* plot = static_cast<frmPlot*>(rig.chart.data());
        first = plot->Geometry();
        EXPECT_TRUE(first->Full()) << "the point at 8 s, 6 s after the first, is past the edge";
        EXPECT_TRUE(rig.chart->Paused());
        EXPECT_EQ(rig.chart->Log().Size(), 7u) << "records 2 to 8";
        EXPECT_EQ(rig.chart->focusWidget(), rig.chart->findChild<QPushButton*>("cmdContinue"));
        rig.Click("cmdContinue");
    });
    rig.SendAt(10, 1);
    rig.SendAt(11, 2);
    rig.At(11.5, [&] {
        const PlotGeometry* plot = static_cast<frmPlot*>(rig.chart.data())->Geometry();
        EXPECT_FALSE(plot->Full()) << "a new plot";
        EXPECT_FALSE(rig.chart->Paused());
        EXPECT_EQ(rig.chart->Log().Size(), 1u) << "the first record of the new run synchronised it";
        EXPECT_TRUE(rig.BlackNear(0, 20));
        rig.Click("cmdEnd");
    });
    rig.Click("cmdOK");
    rig.vt.AdvanceUs(100'000); // the stop command reaches the meter
    EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{"*0A0", "*0A0", "*0A1"}));
}

TEST(PlotWindow, newScaleStopsTheRunAndOkStartsAFreshOneInTheSameLoop) {
    ChartRig rig(false);
    rig.Enter("0", "1", "60");
    rig.SendAt(1, 0);
    rig.SendAt(2, 5);
    rig.At(2.5, [&] {
        rig.Click("cmdNewScale");
        EXPECT_TRUE(rig.Entry("txtMidVal")->isVisible());
        EXPECT_TRUE(rig.chart->Picture()->Image().isNull()) << "cleared";
        rig.Enter("10", "1", "60");
        rig.Click("cmdOK"); // the loop below is still on the stack: it starts this run
        EXPECT_FALSE(rig.Entry("txtMidVal")->isVisible());
    });
    rig.SendAt(4, 0);
    rig.SendAt(5, 12);
    rig.At(5.5, [&] {
        const PlotGeometry* plot = static_cast<frmPlot*>(rig.chart.data())->Geometry();
        EXPECT_EQ(plot->Settings().mid, 10);
        EXPECT_TRUE(rig.BlackNear(0, 20));
        EXPECT_TRUE(rig.chart->Running());
        rig.Click("cmdEnd");
    });
    const std::uint64_t waits = rig.vt.Waits();
    rig.Click("cmdOK");
    EXPECT_FALSE(rig.chart && rig.chart->Running());
    EXPECT_LT(rig.vt.Waits() - waits, 200u) << "the loop waits for records, it does not spin";
}

TEST(PlotGraphWindow, theLoopEndsWhenTheProgramEndsOrTheDeviceGoes) {
    {
        ChartRig rig(true);
        rig.Enter("0", "1", "10");
        rig.SendAt(1, 0);
        rig.At(1.5, [&] { rig.window->mnuExit_Click(); });
        rig.Click("cmdOK"); // returns: the program's end stopped the loop
        EXPECT_FALSE(rig.chart && rig.chart->isVisible());
        EXPECT_FALSE(rig.window->isVisible()) << "the ending program's window stays hidden";
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(rig.chart, nullptr);
    }
    {
        ChartRig rig(false);
        rig.Enter("0", "1", "10");
        rig.At(1.5, [&] { rig.port.Hangup(); });
        rig.Click("cmdOK"); // returns: nothing more can come
        ASSERT_NE(rig.chart, nullptr);
        EXPECT_FALSE(rig.chart->Running());
        rig.Click("cmdEnd");
        EXPECT_TRUE(rig.window->isVisible());
    }
}

TEST(GraphWindow, countsIntoBarsDoublesTheScaleAndBlinksTheMarker) {
    ChartRig rig(true);
    rig.Enter("0", "1", "4");
    rig.SendAt(0.5, 0); // synchronises
    for (int n = 1; n <= 4; ++n) rig.SendAt(n, 0);
    rig.SendAt(5, -15);
    rig.SendAt(6, 16);
    rig.At(6.5, [&] {
        const GraphGeometry* graph = static_cast<frmGRAPH*>(rig.chart.data())->Geometry();
        EXPECT_EQ(graph->VertScale(), 4);
        EXPECT_TRUE(rig.BlackNear(480, 990)) << "bin 15 full";
        EXPECT_TRUE(rig.BlackNear(30, 240));
        EXPECT_FALSE(rig.BlackNear(30, 300));
        EXPECT_TRUE(graph->RightMarkerShown());
    });
    rig.SendAt(7, 17);
    rig.SendAt(8, 0);
    rig.At(8.5, [&] {
        const GraphGeometry* graph = static_cast<frmGRAPH*>(rig.chart.data())->Geometry();
        EXPECT_EQ(graph->VertScale(), 8) << "the fifth in bin 15";
        EXPECT_EQ(graph->Count(15), 5u);
        EXPECT_TRUE(rig.BlackNear(480, 600));
        EXPECT_FALSE(rig.BlackNear(480, 700)) << "redrawn at half height";
        EXPECT_FALSE(rig.BlackNear(30, 170)) << "bin 0 at 125 now";
        EXPECT_TRUE(rig.BlackNear(30, 100));
        rig.Click("cmdEnd");
    });
    rig.Click("cmdOK");
    rig.vt.AdvanceUs(100'000); // the stop command reaches the meter
    EXPECT_EQ(rig.peer.Requests(), (std::vector<std::string>{"*0A0", "*0A1"}));
}

// The saved picture, its format chosen by the name, and the readings as CSV.
TEST(PlotGraphWindow, savesThePictureAsBitmapOrPngAndTheReadingsAsCsv) {
    ChartRig rig(false);
    rig.Enter("100", "2", "60");
    rig.SendAt(0.5, 0);
    rig.SendAt(1, 110);
    rig.SendAt(31, 150);
    const std::filesystem::path folder = rig.folder.path();
    QImage drawn;
    rig.At(31.5, [&] {
        drawn = rig.chart->Picture()->Image();
        rig.dialogs.files = {(folder / "trace").string(), (folder / "trace.png").string(), std::string(),
                             (folder / "readings").string()};
        rig.Click("cmdSave");
        rig.Click("cmdSave");
        rig.Click("cmdSave"); // cancelled
        rig.Click("cmdSaveCsv");
        rig.Click("cmdEnd");
    });
    rig.Click("cmdOK");
    ASSERT_EQ(rig.dialogs.dialogs.size(), 4u);
    EXPECT_EQ(rig.dialogs.dialogs[0].title, "Save Graph As");
    EXPECT_EQ(rig.dialogs.dialogs[0].filter, ".BMP files (*.BMP)|*.BMP|.PNG files (*.PNG)|*.PNG");
    EXPECT_EQ(rig.dialogs.dialogs[0].kind, FileDialog::SaveAs);
    EXPECT_TRUE(rig.dialogs.boxes.empty()) << "a cancelled Save says nothing";

    const std::string bmp = ReadWhole(folder / "trace.BMP");
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    QImage saved;
    ASSERT_TRUE(saved.load(QString::fromStdString((folder / "trace.BMP").string()), "BMP"));
    EXPECT_EQ(saved.size(), drawn.size());
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), drawn);
    const std::string png = ReadWhole(folder / "trace.png");
    EXPECT_EQ(png.substr(1, 3), "PNG");
    QImage savedPng;
    ASSERT_TRUE(savedPng.load(QString::fromStdString((folder / "trace.png").string()), "PNG"));
    EXPECT_EQ(savedPng.convertToFormat(QImage::Format_RGB32), drawn);

    EXPECT_EQ(ReadWhole(folder / "readings.csv"), "ms,record,reading\n0,+00110.0,110\n30000,+00150.0,150\n");
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().string().find(".wmtmp"), std::string::npos) << "no temporary file left";

    // For the independent reader (ctest runs it on what is left here): the
    // bitmap and the pixels it must hold.
    if (const char* out = std::getenv("WM_BMP_CHECK_DIR")) {
        const std::filesystem::path dir(out);
        std::filesystem::create_directories(dir);
        std::filesystem::copy_file(folder / "trace.BMP", dir / "trace.BMP",
                                   std::filesystem::copy_options::overwrite_existing);
        std::ofstream expect(dir / "trace.expect");
        expect << drawn.width() << ' ' << drawn.height() << '\n';
        const auto sample = [&](int x, int y) {
            const QRgb c = drawn.pixel(x, y);
            expect << x << ' ' << y << ' ' << qRed(c) << ' ' << qGreen(c) << ' ' << qBlue(c) << '\n';
        };
        for (int y = 0; y < drawn.height(); y += 37)
            for (int x = 0; x < drawn.width(); x += 41) sample(x, y);
        // Black pixels of the trace, and the corners.
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); x += 3)
                if (drawn.pixel(x, y) == qRgb(0, 0, 0) && (x + y) % 17 == 0) sample(x, y);
        sample(0, 0);
        sample(drawn.width() - 1, drawn.height() - 1);
    }
}

} // namespace
} // namespace wm::test
