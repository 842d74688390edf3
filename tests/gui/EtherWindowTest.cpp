// The Ethernet window: building the node link at start-up against the
// simulated node in virtual time, its failure path, and one run against
// wmsim as the node on loopback in real time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTimer>
#include <memory>

#include "gui/cmds/frmCmds.h"
#include "gui/main/QtOperator.h"
#include "gui/main/frmEther.h"
#include "gui/main/frmMMenu.h"
#include "platform/qt/QtNodeSockets.h"
#include "platform/qt/QtPlatform.h"
#include "support/SimNodeProgram.h"
#include "transfer/GetSetup.h"
#include "transfer/PutSetup.h"

namespace wm::test {
namespace {

// The program of SimNodeProgram with its two windows as the desktop program
// makes them at start-up.
struct EtherRig {
    explicit EtherRig(const std::string& line1, sim::NodeOptions options = {})
        : sim(line1, std::move(options)), op(&sim.op) {}
    void Open() {
        menu = std::make_unique<frmMMenu>(sim.program, op);
        ether = std::make_unique<frmEther>(sim.program, *menu);
    }
    SimNodeProgram sim;
    QtOperator op;
    std::unique_ptr<frmMMenu> menu;
    std::unique_ptr<frmEther> ether;
};

TEST(EtherWindow, TheMainWindowComesOnlyAfterTheNodeHasCalled) {
    sim::NodeOptions options;
    options.callDelayMs = 6000; // the node answers the second control packet's wait
    EtherRig rig(Line1(0, "007", '5', '1'), options);
    rig.Open();
    std::vector<bool> menuShownAtAttempt;
    QObject::connect(rig.ether.get(), &frmEther::attemptStarted,
                     [&](int) { menuShownAtAttempt.push_back(rig.menu->isVisible()); });
    EXPECT_EQ(rig.ether->windowTitle(), "Weight Main Menu                    Disconnected");

    rig.ether->Form_Activate();
    EXPECT_EQ(menuShownAtAttempt, (std::vector<bool>{false, false}));
    EXPECT_TRUE(rig.menu->isVisible());
    EXPECT_FALSE(rig.ether->isVisible());
    EXPECT_EQ(rig.menu->windowTitle(), "Weight Main Menu                    Connected");
    EXPECT_EQ(rig.sim.sockets.datagrams.size(), 2U);
    EXPECT_EQ(rig.ether->findChild<QLabel*>("lblNode")->text(),
              "Asking the Ethernet node at 192.168.1.100 (hardware address 020000123456) to connect to TCP port "
              "10000: attempt 2 of 10.");

    // The main menu works through the node; Readings stays off.
    rig.menu->Item("mnuGet")->trigger();
    EXPECT_EQ(rig.sim.program.SetupReceived, 1) << rig.sim.op.status;
    EXPECT_FALSE(rig.menu->Item("mnuMRdgs")->isEnabled());
    EXPECT_TRUE(rig.menu->Item("mnuCmds")->isEnabled());
    {
        frmCmds cmds(rig.sim.program);
        cmds.Command_Click("cmdGross");
        EXPECT_EQ(cmds.Reading("picGross"), "+01234");
    }

    // The timer follows the connection: lost, the caption says so.
    rig.sim.sockets.PeerClose(rig.sim.node->Connection());
    rig.ether->Timer1_Timer();
    EXPECT_EQ(rig.menu->windowTitle(), "Weight Main Menu                      Disconnected");
    rig.menu->mnuExit_Click();
    EXPECT_EQ(rig.sim.sockets.ListeningPort(), 0) << "both sockets closed at the end";
}

TEST(EtherWindow, ModbusTcpGetAndPutFromTheMainMenu) {
    EtherRig rig(Line1(1));
    rig.Open();
    rig.ether->Form_Activate();
    ASSERT_TRUE(rig.menu->isVisible());
    rig.menu->Item("mnuGet")->trigger();
    EXPECT_EQ(rig.sim.op.status, kGetOkCaption);
    rig.sim.program.setup.Put(115, "0003E8"); // set point 1
    rig.menu->Item("mnuPut")->trigger();
    EXPECT_EQ(rig.sim.op.status, kPutOkCaption);
    EXPECT_EQ(rig.sim.meter.Mid(115, 6), "0003E8");
    // One transaction identifier after the other, from 1.
    const std::vector<std::string> sent = rig.sim.SentHex();
    ASSERT_EQ(sent.size(), 15U); // a Get of seven requests, a Put of two reads and six writes
    for (std::size_t i = 0; i < sent.size(); ++i)
        EXPECT_EQ(sent[i].substr(0, 8), Hex(static_cast<std::uint32_t>(i + 1), 4) + "0000") << i;
}

TEST(EtherWindow, ANodeThatNeverCallsEndsTheProgramWithoutTheMainWindow) {
    sim::NodeOptions options;
    options.callBack = false;
    EtherRig rig(Line1(0, "007", '5', '1'), options);
    rig.sim.sockets.sendUdpFails = true;
    rig.Open();
    QSignalSpy ended(rig.ether.get(), &frmEther::programEnded);
    rig.ether->Form_Activate();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(rig.menu->isVisible());
    EXPECT_EQ(rig.sim.op.Ids(), (std::vector<MessageId>{MessageId::NodeNotConnected}));
    // Every packet that could not go out printed "Error" on the window.
    EXPECT_EQ(rig.ether->Printed(), QStringList(10, "Error"));
    EXPECT_EQ(rig.ether->findChild<QPlainTextEdit*>("picText")->toPlainText().count("Error"), 10);
}

// wmsim as the node at `address`, ended when the test ends.
class NodeProcess {
public:
    explicit NodeProcess(const std::string& address) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            const std::string bin = std::string(WM_BIN_DIR) + "/wmsim";
            execl(bin.c_str(), bin.c_str(), "--baud", "9600", "--delay", "0", "--node", address.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        fd_ = out[0];
        char first[256] = {};
        started_ = read(fd_, first, sizeof first - 1) > 0; // the device line comes once the node is bound
    }
    ~NodeProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        if (fd_ >= 0) close(fd_);
    }
    NodeProcess(const NodeProcess&) = delete;
    NodeProcess& operator=(const NodeProcess&) = delete;
    [[nodiscard]] bool Started() const { return started_; }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    bool started_ = false;
};

// Against wmsim as the node on loopback, in real time: the windows of the
// desktop program on Qt's sockets, a Get and a Put through the node (the
// meter's line set to 300 baud, which through the node asks for no pause
// between the Put's requests).
TEST(EtherWindow, RealNodeOnLoopbackServesAGetAndAPut) {
    const unsigned net = 1 + static_cast<unsigned>(getpid() + 101) % 250;
    NodeProcess wmsim("127.0." + std::to_string(net) + ".2");
    ASSERT_TRUE(wmsim.Started());

    TempFolder folder;
    const std::uint16_t port = 20000 + static_cast<std::uint16_t>(getpid() % 20000);
    char line2[40];
    std::snprintf(line2, sizeof line2, "%04X020000123456000" "07F00%02X020", port, net);
    WriteWhole(folder.path() / "Settings.SSS", Line1(0, "007", '0', '1') + "\r\n" + line2 + "\r\n");
    QtClock clock;
    QtEventPump pump;
    QtSerialPort serial{pump};
    QtNodeSockets sockets{pump};
    ScriptedOperator scripted;
    QtOperator op(&scripted);
    Program program(Platform{serial, clock, pump, op}, ProgramPaths{folder.path() / "Settings.SSS", folder.path(), ""});
    program.AttachNode(sockets);
    program.StartUp();
    {
        frmMMenu menu(program, op);
        frmEther ether(program, menu);
        ether.show();
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.start(8000);
        while (!menu.isVisible() && deadline.isActive()) pump.WaitFor(100);
        ASSERT_TRUE(menu.isVisible()) << "the node did not call";
        menu.Item("mnuGet")->trigger();
        EXPECT_EQ(program.SetupReceived, 1) << scripted.status;
        EXPECT_EQ(scripted.status, kGetOkCaption);
        menu.Item("mnuPut")->trigger();
        EXPECT_EQ(scripted.status, kPutOkCaption);
        EXPECT_TRUE(scripted.boxes.empty());
        menu.mnuExit_Click();
    }
}

} // namespace
} // namespace wm::test
