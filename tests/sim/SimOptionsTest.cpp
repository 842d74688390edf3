#include <gtest/gtest.h>

#include "support/TrafficLines.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "setup/Defaults.h"
#include "sim/SimOptions.h"

namespace wm::sim {
namespace {

TEST(SimOptions, everyOptionIsUnderstood) {
    const ParsedSimOptions p = ParseSimOptions(
        {"--baud",      "19200",    "--protocol=rtu", "--address", "B",          "--modbus-address",
         "17",          "--echo",   "--delay",        "0",         "--log",      "/tmp/x.log",
         "--setup",     "a.WT",     "--silent",       "B3",        "--truncate", "XU1DZ:60",
         "--corrupt",   "03",       "--late",         "G130:4000", "--split",    "X26DZ:4:200",
         "--exception", "030045:2", "--record-ms",    "250",       "--readings", "ramp",
         "--ramp",      "-5:20:5",  "--seed",         "99"});
    ASSERT_EQ(p.error, "");
    const SimOptions& o = p.options;
    EXPECT_EQ(o.baud, 19200);
    EXPECT_EQ(o.protocol, Protocol::ModbusRtu);
    EXPECT_EQ(o.address, 'B');
    EXPECT_EQ(o.modbusAddress, 17);
    EXPECT_TRUE(o.echo);
    EXPECT_EQ(o.delayMs, 0U);
    EXPECT_EQ(o.recordMs, 250U);
    EXPECT_EQ(o.logFile, "/tmp/x.log");
    EXPECT_EQ(o.setupFile, "a.WT");
    ASSERT_EQ(o.faults.size(), 6U);
    EXPECT_EQ(o.faults[1].kind, FaultKind::Truncate);
    EXPECT_EQ(o.faults[1].match, "XU1DZ");
    EXPECT_EQ(o.faults[1].chars, 60U);
    EXPECT_EQ(o.faults[4].chars, 4U);
    EXPECT_EQ(o.faults[4].ms, 200U);
    EXPECT_EQ(o.faults[5].code, 2);
    EXPECT_EQ(o.readings, Motion::Ramp);
    ASSERT_TRUE(o.ramp);
    EXPECT_EQ(o.ramp->low, -5);
    EXPECT_EQ(o.ramp->high, 20);
    EXPECT_EQ(o.ramp->step, 5);
    SimOptions withoutFile = o;
    withoutFile.setupFile.clear();
    Meter meter;
    std::string problem;
    ASSERT_TRUE(ApplySimOptions(withoutFile, meter, problem)) << problem;
    EXPECT_EQ(meter.motion.kind, Motion::Ramp);
    EXPECT_EQ(meter.motion.step, 5);
    EXPECT_EQ(meter.calib.noiseState, 99U);
}

TEST(SimOptions, theNodesOptionsAreUnderstood) {
    const ParsedSimOptions p = ParseSimOptions(
        {"--node", "127.0.0.2", "--node-mac", "0a1b2c3d4e5f", "--node-no-call", "--node-call-delay", "1500",
         "--node-notify", "--node-notify-replies", "--node-wrong-id", "--node-drop-after", "3", "--node-stranger",
         "127.0.0.3"});
    ASSERT_EQ(p.error, "");
    const SimOptions& o = p.options;
    EXPECT_EQ(o.nodeAddress, "127.0.0.2");
    EXPECT_EQ(o.strangerAddress, "127.0.0.3");
    EXPECT_EQ(o.node.hardware, "0A1B2C3D4E5F");
    EXPECT_FALSE(o.node.callBack);
    EXPECT_EQ(o.node.callDelayMs, 1500U);
    EXPECT_TRUE(o.node.notifyOnCall && o.node.notifyBeforeReplies && o.node.wrongTransaction);
    EXPECT_EQ(o.node.dropAfter, 3);
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--node", "127.0.0"}, {"--node", "127.0.0.256"}, {"--node", "localhost"}, {"--node-mac", "0A1B2C"},
             {"--node-drop-after", "0"}, {"--node-stranger", "::1"}, {"--node-frobnicate"}})
        EXPECT_NE(ParseSimOptions(bad).error, "") << bad[0];
}

TEST(SimOptions, badCommandLinesAreRefusedWithAReason) {
    const std::vector<std::vector<std::string>> rows = {
        {"--baud", "9601"},    {"--baud"},
        {"--protocol", "tcp"}, {"--address", "w"},
        {"--address", "12"},   {"--modbus-address", "0"},
        {"--truncate", "B3"},  {"--truncate", "B3:x"},
        {"--split", "B3:4"},   {"--delay", "-1"},
        {"--readings", "saw"}, {"--ramp", "10:10:1"},
        {"--ramp", "0:10:0"},  {"--ramp", "0:10"},
        {"--seed", "-1"},      {"--frobnicate"},
    };
    for (const auto& args : rows)
        EXPECT_NE(ParseSimOptions(args).error, "") << args[0];
    EXPECT_TRUE(ParseSimOptions({"--help"}).options.help);
}

TEST(SimOptions, setupFileLineIsLaidOverTheDefault) {
    const auto file =
        std::filesystem::temp_directory_path() / ("wmsim-setup-" + std::to_string(getpid()) + ".WT");
    const std::string line = std::string(120, 'A');
    std::ofstream(file, std::ios::binary) << line << "\r\n0\r\n";
    SimOptions o;
    o.setupFile = file.string();
    o.modbusAddress = 9;
    Meter meter;
    std::string problem;
    ASSERT_TRUE(ApplySimOptions(o, meter, problem)) << problem;
    EXPECT_EQ(meter.Mid(1, 120), line);
    EXPECT_EQ(meter.Mid(121, 14), std::string(DefaultSetupText.substr(120, 14)));
    EXPECT_EQ(meter.ModbusAddress(), 9);

    std::ofstream(file, std::ios::binary) << "not a setup\r\n";
    EXPECT_FALSE(ApplySimOptions(o, meter, problem));
    EXPECT_NE(problem.find(file.string()), std::string::npos);
    std::filesystem::remove(file);
    EXPECT_FALSE(ApplySimOptions(o, meter, problem));
}

TEST(SimOptions, logLinesShowTimeKeyAndBothDirectionsInTheTrafficFormat) {
    LogEntry e;
    e.endUs = 123456;
    e.framing = Framing::CustomAscii;
    e.bytes = "*1B3\r\n";
    e.key = "B3";
    e.addressed = true;
    e.reply = "+01234\r";
    const std::string lines = FormatLogEntry(e);
    EXPECT_EQ(lines, "123.456 rx 2A3142330D0A \"*1B3\\r\\n\" # ascii B3 heard\n"
                     "123.456 tx 2B30313233340D \"+01234\\r\"");
    const std::vector<TrafficLine> read = test::TrafficLinesIn(lines);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].kind, TrafficLine::Kind::Rx);
    EXPECT_EQ(read[0].bytes, e.bytes);
    EXPECT_EQ(read[0].timeUs, 123456u);
    EXPECT_EQ(read[1].kind, TrafficLine::Kind::Tx);
    EXPECT_EQ(read[1].bytes, e.reply);

    // A request for another meter: heard, not answered, and why.
    e.addressed = false;
    e.key.clear();
    e.note = "for address 2";
    e.reply.clear();
    EXPECT_EQ(FormatLogEntry(e), "123.456 rx 2A3142330D0A \"*1B3\\r\\n\" # ascii - ignored (for address 2)");
}

} // namespace
} // namespace wm::sim
