#include <gtest/gtest.h>

#include <fstream>

#include "FileFolder.h"
#include "platform/SerialDevices.h"

namespace wm {
namespace {

TEST(SerialDevices, stableNamesFirstThenEachGroupInNumberOrder) {
    test::FileFolder dev;
    const std::filesystem::path root = dev.Path();
    std::filesystem::create_directories(root / "serial" / "by-id");
    for (const char* name : {"ttyS10", "ttyS2", "ttyS0", "ttyACM0", "ttyUSB1", "ttyUSB0", "ttySX", "tty1", "null",
                             "serial/by-id/usb-Maker_Adapter_B-if00-port0", "serial/by-id/usb-Maker_Adapter_A-if00-port0"})
        std::ofstream(root / name) << "";
    const auto r = [&root](const std::string& name) { return (root / name).string(); };
    EXPECT_EQ(ListSerialDevices(root),
              (std::vector<std::string>{r("serial/by-id/usb-Maker_Adapter_A-if00-port0"),
                                        r("serial/by-id/usb-Maker_Adapter_B-if00-port0"), r("ttyS0"), r("ttyS2"),
                                        r("ttyS10"), r("ttyUSB0"), r("ttyUSB1"), r("ttyACM0")}));
    EXPECT_TRUE(ListSerialDevices(root / "missing").empty());
}

} // namespace
} // namespace wm
