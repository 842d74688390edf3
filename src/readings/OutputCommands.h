#pragma once
// Switching the meter's continuous output on and off. The meter answers
// neither command: both are sent without reading a reply.
#include <cstdint>

#include "comm/MeterLink.h"

namespace wm {

// "*" + MeterAddress + "A0": the meter starts sending a record per reading.
// Returns the send's status: status::Ok, status::DeviceGone when the serial
// device went away, status::Refused when another exchange was waiting.
std::int16_t StartContinuousOutput(MeterLink& meter);

// Sixteen asterisks + MeterAddress + "A1": the meter stops sending. A meter
// that is busy sending may miss the first characters of a request; every
// asterisk starts the request afresh, so the command still reaches it.
// Returns the send's status as above.
std::int16_t StopContinuousOutput(MeterLink& meter);

} // namespace wm
