// Exit with a real serial port open: the simulated meter on a
// pseudo-terminal, the Qt port, clock and event loop the program uses.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "MenuRig.h"
#include "e2e/Processes.h"
#include "platform/qt/QtPlatform.h"

namespace wm::test {
namespace {

// Notes when the window is hidden and whether the port was still open then.
class HideWatch final : public QObject {
public:
    HideWatch(const QElapsedTimer& clock, const SerialPortControl& port) : clock_(clock), port_(port) {}
    qint64 hiddenAt = -1;
    bool portOpenWhenHidden = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide && hiddenAt < 0) {
            hiddenAt = clock_.elapsed();
            portOpenWhenHidden = port_.IsOpen();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer& clock_;
    const SerialPortControl& port_;
};

TEST(MainMenuExitTime, theWindowGoesAtOnceAndThePortIsClosedWithinHalfASecond) {
    const e2e::SimProcess sim({});
    ASSERT_FALSE(sim.Device().empty());
    TempFolder folder;
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
    ASSERT_TRUE(port.IsOpen()) << dialogs.events.size();

    QElapsedTimer elapsed;
    HideWatch watch(elapsed, port);
    window.installEventFilter(&watch);
    qint64 endedAt = -1;
    QObject::connect(&window, &frmMMenu::programEnded, [&] { endedAt = elapsed.elapsed(); });
    elapsed.start();
    window.Item("mnuExit")->trigger();

    EXPECT_TRUE(watch.portOpenWhenHidden); // the operator does not wait for the port
    EXPECT_GE(watch.hiddenAt, 0);
    EXPECT_LT(watch.hiddenAt, 100);
    EXPECT_GE(endedAt, 0);
    EXPECT_LT(endedAt, 500);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(dialogs.boxes.empty());
}

} // namespace
} // namespace wm::test
