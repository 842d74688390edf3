#pragma once
// Start-up of the desktop program: options, the Qt platform objects, the
// program state, the first window.
#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace wm {

struct WmsetupOptions {
    std::string settings; // --settings FILE (default: Settings.SSS in the program's folder)
    std::string port;     // --port DEVICE
    std::string setupFile; // SETUPFILE: open it at start
    QString screenshots;  // --screenshots DIR: render the windows to PNG files and end
    int benchListSeconds = 0; // --bench-list S: list readings for S seconds, say how many, end
    bool help = false;
};

// nullopt with `problem` set when the arguments cannot be used.
[[nodiscard]] std::optional<WmsetupOptions> ParseWmsetupOptions(const std::vector<std::string>& args,
                                                                std::string& problem);

// The whole program; returns the exit status.
int RunWmsetup(int argc, char** argv);

} // namespace wm
