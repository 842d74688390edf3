#pragma once
// A program talking to the simulated meter on the in-memory line, with its
// own folder and Settings.SSS and a scripted operator.
#include <memory>
#include <string>

#include "support/ScriptedOperator.h"
#include "support/TransferRig.h"
#include "app/Program.h"
#include "sim/Meter.h"
#include "sim/SimPort.h"

namespace wm::test {

struct SimProgram {
    explicit SimProgram(const std::string& line1, const std::string& line2 = kSerialLine2)
        : port(vt), program(Platform{port, vt, vt, op},
                            ProgramPaths{folder.path() / "Settings.SSS", folder.path(), "memory"}) {
        WriteWhole(SettingsFile(), line1 + "\r\n" + line2 + "\r\n");
        sim = std::make_unique<sim::SimPort>(meter, port, vt);
        program.StartUp();
    }
    ~SimProgram() { sim.reset(); }
    SimProgram(const SimProgram&) = delete;
    SimProgram& operator=(const SimProgram&) = delete;

    [[nodiscard]] std::filesystem::path SettingsFile() const { return folder.path() / "Settings.SSS"; }
    [[nodiscard]] std::string SettingsLine1OnDisk() const {
        const std::string text = ReadWhole(SettingsFile());
        return text.substr(0, text.find("\r\n"));
    }

    TempFolder folder;
    VirtualTime vt;
    MemorySerialPort port;
    sim::Meter meter;
    ScriptedOperator op;
    Program program;
    std::unique_ptr<sim::SimPort> sim;
};

} // namespace wm::test
