#pragma once
// The serial devices of this machine, as the connection dialog offers them.
#include <filesystem>
#include <string>
#include <vector>

namespace wm {

// The full paths, in this order: the names under <devRoot>/serial/by-id
// (they stay the same whichever USB socket an adapter is in), then
// <devRoot>/ttyS*, ttyUSB* and ttyACM*, each group by its number (ttyS2
// before ttyS10). A folder that cannot be read gives nothing.
[[nodiscard]] std::vector<std::string> ListSerialDevices(const std::filesystem::path& devRoot = "/dev");

} // namespace wm
