// The window that finds the meter, headless, against the simulated meter
// fixed to its own link on the in-memory line under virtual time: the
// progress it shows, the link it returns, and Cancel (the button, and the
// close box) while the scan runs.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "gui/main/frmFind.h"
#include "support/SimProgram.h"

namespace wm::test {
namespace {

struct FindRig {
    // The program starts from Custom ASCII at 9600 baud, address 0; the
    // meter is elsewhere.
    FindRig(sim::Protocol protocol, int baud, char parity, char address, int slave) : sim(Line1(0)) {
        sim.meter.behaviour.protocol = protocol;
        EXPECT_TRUE(sim.meter.SetMeterAddress(address));
        EXPECT_TRUE(sim.meter.SetModbusAddress(slave));
        sim.sim->SetLine(sim::MeterLine{baud, parity});
    }
    template <typename T> T* Control(const char* name) const { return window->findChild<T*>(name); }
    void Open(ScanMode mode) {
        window = std::make_unique<frmFind>(sim.program, sim.program.link.SettingsLine1, mode);
    }
    // An action at a virtual time after now.
    void After(std::uint64_t ms, std::function<void()> action) { sim.vt.AfterUs(ms * 1000, std::move(action)); }

    SimProgram sim;
    std::unique_ptr<frmFind> window;
};

TEST(FindWindow, ShowsEachTryAndReturnsTheLinkFound) {
    FindRig rig(sim::Protocol::ModbusRtu, 19200, 'e', '0', 2);
    rig.Open(ScanMode::Quick);
    EXPECT_EQ(rig.window->objectName(), "frmFind");
    EXPECT_EQ(rig.Control<QProgressBar>("prgScan")->maximum(), 84);
    std::vector<QString> trying;
    std::vector<int> bar;
    bool visibleWhileRunning = true;
    QObject::connect(rig.window.get(), &frmFind::tryStarted, [&](int done, int total) {
        EXPECT_EQ(total, 84);
        trying.push_back(rig.Control<QLabel>("lblTrying")->text());
        bar.push_back(rig.Control<QProgressBar>("prgScan")->value());
        EXPECT_EQ(bar.back(), done);
        visibleWhileRunning = visibleWhileRunning && rig.window->isVisible() && rig.window->Running();
    });

    const std::optional<ScanLink> found = rig.window->Run();
    ASSERT_TRUE(found) << rig.window->Outcome().toStdString();
    EXPECT_EQ(DescribeScanLink(*found), "Modbus RTU, 19200 baud, parity even, slave 2");
    EXPECT_EQ(rig.window->Result().tries, 38U);
    ASSERT_EQ(trying.size(), 38U);
    EXPECT_EQ(trying.front(), "Trying Custom ASCII, 9600 baud, parity none, address 0");
    EXPECT_EQ(trying[4], "Trying Modbus RTU, 9600 baud, parity none, slave 1");
    EXPECT_EQ(trying.back(), "Trying Modbus RTU, 19200 baud, parity even, slave 2");
    EXPECT_EQ(bar.back(), 37);
    EXPECT_TRUE(visibleWhileRunning);
    EXPECT_TRUE(rig.window->isModal());
    // Afterwards: hidden, the outcome shown, the program's link as it was.
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_EQ(rig.Control<QProgressBar>("prgScan")->value(), 38);
    EXPECT_EQ(rig.Control<QLabel>("lblTrying")->text(), "Found: Modbus RTU, 19200 baud, parity even, slave 2.");
    EXPECT_EQ(rig.sim.port.Settings(), "9600,n,8,1");
    EXPECT_EQ(rig.sim.program.link.SerialMode, 0);
}

TEST(FindWindow, CancelAndTheCloseBoxStopTheScanBeforeItsNextTry) {
    // A Custom ASCII meter at 300 baud: far into a full scan.
    FindRig rig(sim::Protocol::CustomAscii, 300, 'n', 'V', 1);
    rig.Open(ScanMode::Full);
    int triesAfterCancel = 0;
    bool cancelled = false;
    QObject::connect(rig.window.get(), &frmFind::tryStarted, [&](int, int) { triesAfterCancel += cancelled ? 1 : 0; });
    rig.After(1000, [&] {
        rig.Control<QPushButton>("cmdCancel")->click();
        cancelled = true;
        EXPECT_FALSE(rig.Control<QPushButton>("cmdCancel")->isEnabled());
    });
    EXPECT_FALSE(rig.window->Run());
    EXPECT_TRUE(rig.window->Result().cancelled);
    EXPECT_EQ(triesAfterCancel, 0);
    EXPECT_GT(rig.window->Result().tries, 3U); // a second of tries at 9600 baud
    EXPECT_LT(rig.window->Result().tries, 12U);
    EXPECT_EQ(rig.window->Outcome(), QString("Cancelled after %1 tries.").arg(rig.window->Result().tries));
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_TRUE(rig.sim.port.IsOpen());
    EXPECT_EQ(rig.sim.port.Settings(), "9600,n,8,1");

    // The close box: the window stays up until the scan has stopped.
    bool visibleAfterClose = false;
    rig.After(500, [&] {
        rig.window->close();
        visibleAfterClose = rig.window->isVisible();
    });
    EXPECT_FALSE(rig.window->Run());
    EXPECT_TRUE(rig.window->Result().cancelled);
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_FALSE(rig.window->isVisible());

    // A port that cannot be opened ends the scan at once, and says so.
    rig.sim.port.failOpen = "no such device";
    EXPECT_FALSE(rig.window->Run());
    EXPECT_EQ(rig.window->Result().tries, 0U);
    EXPECT_EQ(rig.window->Outcome(), "The scan stopped: serial port memory: no such device.");
}

} // namespace
} // namespace wm::test
