#pragma once
// The main window on a program wired to an in-memory serial line under
// virtual time, with a Settings.SSS of its own in a fresh folder. Questions
// and file dialogs are answered by a scripted operator; the status line and
// the progress bar are the window's own controls.
#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <memory>
#include <string>

#include <QApplication>

#include "comm/Tables.h"
#include "support/TransferRig.h"
#include "gui/main/QtOperator.h"
#include "gui/main/frmMMenu.h"
#include "setup/Defaults.h"

namespace wm::test {

// Line 1 with another port type (character 16) and board code (17 on).
inline std::string WithPort(std::string line1, char portType, const std::string& board = "0") {
    line1[15] = portType;
    return line1.substr(0, 16) + board;
}

// The default setup's image cut the way a Custom ASCII meter sends it.
inline std::string Image(std::size_t from, std::size_t count) {
    return std::string(DefaultSetupText.substr(from, count));
}

// A Custom ASCII meter at address 0 that answers a Get, on the serial line
// or through the node.
inline std::optional<std::string> GetReplies(const std::string& request) {
    if (request == "*0XU1DZ") return Image(0, 120);
    if (request == "*0XF1DZ") return Image(0, 60);
    if (request == "*0XF0EZ") return Image(60, 60);
    if (request == "*0G130") return Image(48, 2);
    if (request == "*0X26DZ") return Image(120, 8);
    if (request == "*0X236Z") return Image(128, 8);
    return std::nullopt;
}

struct MenuRig {
    explicit MenuRig(const std::string& line1, const std::string& line2 = kSerialLine2)
        : port(vt), op(&dialogs),
          program(Platform{port, vt, vt, op},
                  ProgramPaths{folder.path() / "Settings.SSS", folder.path(), "memory"}),
          peer(vt, port, program.link), node(vt, program.x) {
        WriteWhole(SettingsFile(), line1 + "\r\n" + line2 + "\r\n");
        program.txn.SetNodeLink(&node);
        program.StartUp();
        window = std::make_unique<frmMMenu>(program, op);
        window->show();
    }

    [[nodiscard]] std::filesystem::path SettingsFile() const { return folder.path() / "Settings.SSS"; }
    [[nodiscard]] QAction* Item(const char* name) const { return window->Item(name); }
    template <class T>
    [[nodiscard]] T* Control(const char* name) const {
        return window->findChild<T*>(name);
    }
    [[nodiscard]] QLabel* Status() const { return Control<QLabel>("lblPGText"); }
    [[nodiscard]] Rgb StatusColour() const {
        const QColor c = Status()->palette().color(QPalette::Window);
        return Rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                   static_cast<std::uint8_t>(c.blue())};
    }
    void ServeGet() {
        peer.respond = GetReplies;
        node.respond = GetReplies;
    }

    TempFolder folder;
    VirtualTime vt;
    MemorySerialPort port;
    ScriptedOperator dialogs;
    QtOperator op;
    Program program;
    ScriptedPeer peer;
    FakeNode node;
    std::unique_ptr<frmMMenu> window;
};

} // namespace wm::test
