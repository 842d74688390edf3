#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableView>

#include "MenuRig.h"
#include "gui/main/frmTraffic.h"
#include "support/TrafficLines.h"

namespace wm::test {
namespace {

std::string Describe(const TrafficLine& l) {
    return std::string(TrafficKindName(l.kind)) + ":" +
           (l.kind == TrafficLine::Kind::End ? std::to_string(l.status) : l.bytes);
}

std::vector<std::string> Describe(const TrafficHistory& history) {
    std::vector<std::string> out;
    for (const TrafficLine& l : history.Lines()) out.push_back(Describe(l));
    return out;
}

frmTraffic* OpenTraffic(MenuRig& rig) {
    EXPECT_TRUE(rig.Item("mnuView")->isEnabled()) << "Traffic is there before any setup";
    rig.Item("mnuTraffic")->trigger();
    return rig.window->TrafficWindow();
}

TEST(TrafficWindow, aGetShowsItsFramesInOrderWithTheirTimesAndEndStatus) {
    MenuRig rig(Line1(0));
    rig.ServeGet();
    frmTraffic* traffic = OpenTraffic(rig);
    ASSERT_NE(traffic, nullptr);
    EXPECT_TRUE(traffic->isVisible());
    EXPECT_TRUE(rig.window->isVisible()) << "the main window stays";
    rig.Item("mnuTraffic")->trigger();
    EXPECT_EQ(rig.window->TrafficWindow(), traffic) << "one window, brought forward";

    const std::uint64_t startUs = rig.vt.NowUs();
    rig.Item("mnuGet")->trigger();
    ASSERT_EQ(rig.program.SetupReceived, 1);
    const TrafficHistory& h = traffic->History();
    const std::vector<std::string> expected{
        "tx:*************0A1\r\n",
        "tx:*0XU1DZ\r\n", "rx:" + Image(0, 120) + "\r", "end:0",
        "tx:*0G130\r\n", "rx:" + Image(48, 2) + "\r", "end:0",
        "tx:*0X26DZ\r\n", "rx:" + Image(120, 8) + "\r", "end:0",
        "tx:*0X236Z\r\n", "rx:" + Image(128, 8) + "\r", "end:0",
    };
    const std::vector<std::string> shown = Describe(h);
    ASSERT_GE(shown.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(shown.begin(), shown.begin() + static_cast<long>(expected.size())), expected);
    // Times on the program's tick clock, in order; the first request after
    // the meter's 300 ms pause.
    EXPECT_GE(h.Lines()[0].timeUs, (startUs / 1000 + 300) * 1000);
    for (std::size_t i = 1; i < h.Size(); ++i) EXPECT_GE(h.Lines()[i].timeUs, h.Lines()[i - 1].timeUs) << i;
    EXPECT_GT(h.Lines()[2].timeUs, h.Lines()[1].timeUs) << "the reply takes time on the wire";
    // The table shows the same: time, direction, hex, text; an end line its status.
    EXPECT_EQ(traffic->Cell(1, TrafficModel::Time).toStdString(), TrafficTime(h.Lines()[1]));
    EXPECT_EQ(traffic->Cell(1, TrafficModel::Direction), "tx");
    EXPECT_EQ(traffic->Cell(1, TrafficModel::Hex), "2A30585531445A0D0A");
    EXPECT_EQ(traffic->Cell(1, TrafficModel::Text), "*0XU1DZ\\r\\n");
    EXPECT_EQ(traffic->Cell(3, TrafficModel::Direction), "end");
    EXPECT_EQ(traffic->Cell(3, TrafficModel::Hex), "status 0");
    EXPECT_EQ(traffic->Cell(3, TrafficModel::Text), "no fault found");
    EXPECT_EQ(traffic->findChild<QTableView*>("grdTraffic")->model()->rowCount(), static_cast<int>(h.Size()));
    EXPECT_TRUE(rig.dialogs.boxes.empty()) << "the window only watches";
}

TEST(TrafficWindow, aFailedExchangeShowsItsStatusAndPauseClearSaveDoWhatTheySay) {
    MenuRig rig(Line1(0));
    frmTraffic* traffic = OpenTraffic(rig);
    ASSERT_NE(traffic, nullptr);
    MeterLink& meter = rig.program;
    EXPECT_EQ(meter.AskAscii("B3").status, status::NoReply); // nobody answers
    EXPECT_EQ(Describe(traffic->History()), (std::vector<std::string>{"tx:*0B3\r\n", "end:21"}));
    EXPECT_EQ(traffic->Cell(1, TrafficModel::Text), "no reply from the meter within 3000 ms");
    // The operator was told as always (the status line), nothing more.
    EXPECT_TRUE(rig.dialogs.boxes.empty());

    auto* pause = traffic->findChild<QPushButton*>("cmdPause");
    pause->click();
    EXPECT_EQ(pause->text(), "Continue");
    (void)meter.AskAscii("B3");
    EXPECT_EQ(traffic->History().Size(), 2u) << "nothing added while paused";
    EXPECT_EQ(traffic->History().Skipped(), 2u);
    pause->click();
    EXPECT_EQ(pause->text(), "Pause");
    (void)meter.AskAscii("B3");
    EXPECT_EQ(traffic->History().Size(), 4u);

    const std::filesystem::path file = rig.folder.path() / "wire";
    rig.dialogs.files.push_back(file.string());
    traffic->findChild<QPushButton*>("cmdSave")->click();
    ASSERT_EQ(rig.dialogs.dialogs.size(), 1u);
    EXPECT_EQ(rig.dialogs.dialogs[0].title, "Save Traffic As");
    const std::vector<TrafficLine> saved = ReadTrafficFile(rig.folder.path() / "wire.txt");
    EXPECT_EQ(std::vector<TrafficLine>(traffic->History().Lines().begin(), traffic->History().Lines().end()), saved);

    traffic->findChild<QPushButton*>("cmdClear")->click();
    EXPECT_EQ(traffic->History().Size(), 0u);
    EXPECT_EQ(traffic->findChild<QTableView*>("grdTraffic")->model()->rowCount(), 0);

    // Closed, the window stops listening: exchanges cost nothing more.
    traffic->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(rig.window->TrafficWindow(), nullptr);
    EXPECT_FALSE(rig.program.traffic.Listening());
}

TEST(TrafficWindow, keepsTheNewestLinesWithinItsBound) {
    MenuRig rig(Line1(0));
    frmTraffic traffic(rig.program, nullptr, 3);
    for (std::uint32_t t = 1; t <= 5; ++t) rig.program.traffic.Publish(TraceLine("tx", "A", t));
    EXPECT_EQ(traffic.History().Size(), 3u);
    EXPECT_EQ(traffic.History().Dropped(), 2u);
    EXPECT_EQ(traffic.Cell(0, TrafficModel::Time), "3");
    EXPECT_EQ(traffic.Cell(2, TrafficModel::Time), "5");
    EXPECT_EQ(traffic.findChild<QTableView*>("grdTraffic")->model()->rowCount(), 3);
}

} // namespace
} // namespace wm::test
