#pragma once
// wmctl: the core of the setup tool from the command line, for scripting
// and for setting up many meters.
#include <string>
#include <vector>

namespace wm {

// Exit status: 0 done; 1 the meter exchange failed; 2 bad arguments or
// unreadable input.
int RunWmctl(const std::vector<std::string>& args, const std::string& programDir);

} // namespace wm
