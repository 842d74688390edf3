#pragma once
// The program-wide state, gathered per subsystem and owned by one object
// that each program creates at start-up and hands to whoever needs it. Tests
// create as many independent ones as they like.
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "app/Baseline.h"
#include "comm/Connection.h"
#include "comm/LinkState.h"
#include "comm/Exchange.h"
#include "comm/NodeConnection.h"
#include "comm/Transaction.h"
#include "comm/TrafficTap.h"
#include "platform/Clock.h"
#include "platform/NodeSockets.h"
#include "platform/Operator.h"
#include "platform/SerialPortControl.h"
#include "setup/SetupImage.h"
#include "transfer/Session.h"

namespace wm {

struct Platform {
    SerialPortControl& port;
    Clock& clock;
    EventPump& pump;
    Operator& op;
};

// Set up by MakeProgramPaths (app/ProgramFolders.h) in the programs.
struct ProgramPaths {
    ProgramPaths() = default;
    ProgramPaths(std::filesystem::path settings, std::filesystem::path program, std::string port,
                 std::filesystem::path help = {})
        : settingsFile(std::move(settings)), programDir(std::move(program)), portOverride(std::move(port)),
          helpDir(std::move(help)) {}

    std::filesystem::path settingsFile; // Settings.SSS to read and rewrite
    std::filesystem::path programDir;   // setup files by bare name; where the file dialogs start
    std::string portOverride;           // serial device instead of the port number's
    std::filesystem::path helpDir;      // the help files; empty: programDir

    [[nodiscard]] const std::filesystem::path& HelpFolder() const { return helpDir.empty() ? programDir : helpDir; }
};

struct Program {
    Program(Platform platform, ProgramPaths paths);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    Platform platform;
    ProgramPaths paths;

    LinkState link;
    Exchange x;
    Transaction txn;
    // Every frame on the wire and each exchange's end status, for whoever
    // listens (the Traffic window, wmctl --trace). It feeds on the traces
    // of txn and of the node link.
    TrafficTap traffic;
    Connection conn;

    // The setup and what is derived from it.
    SetupImage setup;
    DerivedSetup derived;
    std::string SetupFileLine2; // "0" after a Get or the default setup
    std::string SetupFileName;  // current setup file, empty at start
    int SetupReceived = 0;      // 1 after a successful Get
    Baseline baseline;          // the setup the program's own is compared with

    // Where the readings windows last saved their readings; empty: the
    // program's own folder.
    std::filesystem::path ReadingsFolder;

    // The parts of the program the transfers and commands work on.
    MeterLink meter{link, x, txn, conn};
    Session session{meter, platform.op, platform.port, setup, derived, SetupFileLine2, SetupReceived};
    operator MeterLink&() { return meter; }
    operator Session&() { return session; }

    // The link to the Ethernet node, once the front end has given the
    // program its node sockets. The transaction layer reaches the meter
    // through it when the settings name a node.
    std::unique_ptr<NodeConnection> node;
    void AttachNode(NodeSockets& sockets);

    // Start-up after the window toolkit is ready: open the link, clear the
    // setup; when the settings name a node, its link is to be built next
    // (node->BuildLink, by the Ethernet window or wmctl).
    void StartUp();
};

} // namespace wm
