#pragma once
// A meter on an open in-memory line at 9600 baud. Requests are written by
// hand in each test (check fields included), so the meter is checked
// against the bytes themselves and not against any framing code.
#include <gtest/gtest.h>

#include <string>

#include "sim/SimPort.h"

namespace wm::sim {

using namespace std::string_literals;

struct MeterOnLine : ::testing::Test {
    SimRig rig;
    Meter& meter = rig.meter;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(rig.port.Open(error)) << error;
    }

    // Writes the request, lets waitMs of virtual time pass, returns what came back.
    std::string Ask(const std::string& request, std::uint32_t waitMs = 200) {
        (void)rig.port.Input();
        rig.port.Output(request);
        rig.time.AdvanceUs(std::uint64_t{waitMs} * 1000);
        return rig.port.Input();
    }

    // The transfers the meter sent, in order (the port's log, peer side).
    std::vector<MemorySerialPort::Transfer> FromMeter() const {
        std::vector<MemorySerialPort::Transfer> out;
        for (const auto& t : rig.port.Log()) {
            if (!t.fromProgram) out.push_back(t);
        }
        return out;
    }
};

} // namespace wm::sim
