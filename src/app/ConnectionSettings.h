#pragma once
// File > Connection: the link settings the program's settings file holds,
// and saving new ones from the connection window.
#include <string>

#include "comm/LinkSettings.h"

namespace wm {

struct Program;

// The settings as the file holds them now (with the device file's device),
// or a new file's defaults when there is no file or it cannot be used.
[[nodiscard]] LinkSettings CurrentLinkSettings(const Program& program);

struct ConnectionSaved {
    std::string problem; // nothing was written when the file cannot hold the settings
    bool reopened = false;
    std::string message; // what the operator is told after a save
};

// Writes the settings file and its device file (WriteLinkSettings). When
// the program is on a serial line, or on none, and the new settings name a
// serial line too, the link is opened again from the file at once, as after
// a Put of new serial settings; the meter may now be another one, so its
// setup is no longer taken as known (Get again). A node link is only built
// at start-up: a change to or from a node takes effect at the next start.
[[nodiscard]] ConnectionSaved SaveConnectionSettings(Program& program, const LinkSettings& settings);

} // namespace wm
