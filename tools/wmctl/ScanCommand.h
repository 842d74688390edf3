#pragma once
// wmctl scan: find the meter when Settings.SSS does not say how to reach it.
#include <string>
#include <vector>

namespace wm {

struct Program;
class QtEventPump;

// rest: "scan" and its arguments. Returns the exit status.
int RunScan(Program& program, QtEventPump& pump, const std::vector<std::string>& rest);

} // namespace wm
