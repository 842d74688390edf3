#pragma once
// The built-in default setup: a DC meter (type "01", mode DC V, range 0),
// revision 6, family 2, Modbus address 1, with relay, RS232 and analog
// boards, for use when neither a meter nor a setup file is at hand.
#include <string_view>

namespace wm {

inline constexpr std::string_view DefaultSetupText =
    "0000000001000000000000000000000000010201000021D0653600600000004E2000"
    "0000004E20004E200000000000000000001000010007D00003E806020D2A00030001";
static_assert(DefaultSetupText.size() == 136);

// MeterRevision that goes with the default setup (its characters 121-122).
inline constexpr int DefaultMeterRevision = 6;
// The second line of a setup file after a Get or the default setup.
inline constexpr std::string_view DefaultSetupFileLine2 = "0";

} // namespace wm
