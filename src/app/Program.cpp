#include "app/Program.h"

namespace wm {

Program::Program(Platform platformIn, ProgramPaths pathsIn)
    : platform(platformIn), paths(std::move(pathsIn)),
      txn(link, x, platform.port, platform.clock, platform.pump),
      conn(link, platform.port, txn, platform.op, paths.settingsFile, paths.portOverride) {}

void Program::StartUp() {
    link.MeterRevision = 0;
    conn.OpenConnection();
    setup.text = std::string(176, '0');
}

} // namespace wm
