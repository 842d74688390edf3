#include <gtest/gtest.h>

#include "Processes.h"
#include "setup/Defaults.h"

namespace wm::e2e {
namespace {

// Settings.SSS for the simulated meter: 9600 baud, port type 1 (2: a line
// that echoes), revision 7.
void WriteSettings(const std::filesystem::path& file, char protocol, char portType = '1') {
    std::string line1 = "0501000100100071";
    line1[4] = protocol;
    line1[15] = portType;
    std::ofstream(file, std::ios::binary) << line1 << "0\r\n" << std::string(28, '0') << "1\r\n";
}

struct Wmctl : ::testing::Test {
    std::filesystem::path dir;
    void SetUp() override { dir = MakeTestFolder(); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    RunResult Wm(const SimProcess& sim, std::vector<std::string> args) {
        std::vector<std::string> all{Bin("wmctl"), "--settings", (dir / "Settings.SSS").string(), "--port",
                                     sim.Device()};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(all, dir);
    }
};

TEST_F(Wmctl, readsGrossNetAndPeakInEverySerialProtocol) {
    SimProcess sim({"--baud", "9600"});
    ASSERT_FALSE(sim.Device().empty());
    for (char protocol : {'0', '1', '2'}) {
        WriteSettings(dir / "Settings.SSS", protocol);
        for (const char* reading : {"gross", "net", "peak"}) {
            const RunResult r = Wm(sim, {"read", reading});
            EXPECT_EQ(r.exitCode, 0) << protocol << " " << reading << ": " << r.err;
            EXPECT_FALSE(r.out.empty()) << protocol << " " << reading;
        }
    }
}

TEST_F(Wmctl, silentMeterFailsWithTheStatusCode) {
    SimProcess sim({"--baud", "9600", "--silent", "B3"});
    WriteSettings(dir / "Settings.SSS", '0');
    const RunResult r = Wm(sim, {"read", "gross"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Communications failure.  Try again."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("status 21"), std::string::npos) << r.err;
}

TEST_F(Wmctl, commandIsSentAndBadArgumentsAreRefused) {
    SimProcess sim({"--baud", "9600"});
    WriteSettings(dir / "Settings.SSS", '1');
    const RunResult reset = Wm(sim, {"command", "peak-reset"});
    EXPECT_EQ(reset.exitCode, 0) << reset.err;
    EXPECT_EQ(reset.out, "Peak Reset Command sent.\n");
    EXPECT_EQ(Wm(sim, {"command", "gross"}).exitCode, 2);
    EXPECT_EQ(Wm(sim, {"read"}).exitCode, 2);
    EXPECT_EQ(Wm(sim, {"frobnicate"}).exitCode, 2);
}

TEST_F(Wmctl, missingSettingsFileIsNamedAndRefused) {
    SimProcess sim({"--baud", "9600"});
    const RunResult r = Wm(sim, {"read", "gross"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find((dir / "Settings.SSS").string()), std::string::npos) << r.err;
}

std::string FirstLine(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

TEST_F(Wmctl, getSavesTheSetupAndPutWritesAnEditedOneBack) {
    SimProcess sim({"--baud", "9600", "--delay", "0"});
    WriteSettings(dir / "Settings.SSS", '0');
    const RunResult got = Wm(sim, {"get", "-o", (dir / "meter.WT").string()});
    ASSERT_EQ(got.exitCode, 0) << got.err;
    EXPECT_EQ(got.out, "Getting data from the Device.  Data received OK.\n");
    std::string image = FirstLine(dir / "meter.WT");
    ASSERT_EQ(image.size(), 136u);

    image.replace(0, 6, "000123"); // the tare
    std::ofstream(dir / "edited.WT", std::ios::binary) << image << "\r\n0\r\n";
    const RunResult put = Wm(sim, {"put", (dir / "edited.WT").string()});
    ASSERT_EQ(put.exitCode, 0) << put.err;
    EXPECT_EQ(put.out, "Putting data to the Device.   Data appeared to transfer OK.\n");

    ASSERT_EQ(Wm(sim, {"get", "-o", (dir / "again.WT").string()}).exitCode, 0);
    EXPECT_EQ(FirstLine(dir / "again.WT"), image);
}

TEST_F(Wmctl, getThatFailsNamesItsStatusAndSavesNothing) {
    SimProcess sim({"--baud", "9600", "--delay", "0", "--truncate", "X236Z:6"});
    WriteSettings(dir / "Settings.SSS", '0');
    const RunResult r = Wm(sim, {"get", "-o", (dir / "meter.WT").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Failed to Get data, check connections, then try again.         ( 3)\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "meter.WT"));
}

TEST_F(Wmctl, defaultShowAndSigCondTypeWork) {
    SimProcess sim({"--baud", "9600", "--delay", "0"});
    WriteSettings(dir / "Settings.SSS", '1');
    ASSERT_EQ(Wm(sim, {"default", "-o", (dir / "default.WT").string()}).exitCode, 0);
    EXPECT_EQ(FirstLine(dir / "default.WT").substr(0, 68),
              "0000000001000000000000000000000000010201000021D0653600600000004E2000");
    const RunResult shown = Wm(sim, {"show", (dir / "default.WT").string()});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_NE(shown.out.find("Tare"), std::string::npos);
    const RunResult json = Wm(sim, {"show", (dir / "default.WT").string(), "--json"});
    EXPECT_EQ(json.out.substr(0, 1), "{");

    std::ofstream(dir / "junk.WT", std::ios::binary) << "not a setup\r\n";
    const RunResult junk = Wm(sim, {"show", (dir / "junk.WT").string()});
    EXPECT_EQ(junk.exitCode, 2);
    EXPECT_NE(junk.err.find("junk.WT"), std::string::npos);

    const RunResult sc = Wm(sim, {"sctype"});
    EXPECT_EQ(sc.exitCode, 0) << sc.err;
    EXPECT_NE(sc.out.find("Signal Conditioner type is DC and range is valid."), std::string::npos) << sc.out;
}

TEST_F(Wmctl, modbusGetAndPutRoundTripAcrossRtuAndAscii) {
    SimProcess sim({"--baud", "9600", "--delay", "0"});
    WriteSettings(dir / "Settings.SSS", '1');
    ASSERT_EQ(Wm(sim, {"get", "-o", (dir / "meter.WT").string()}).exitCode, 0);
    std::string image = FirstLine(dir / "meter.WT");
    ASSERT_GE(image.size(), 136u);

    image.replace(114, 6, "0003E8"); // set point 1
    std::ofstream(dir / "edited.WT", std::ios::binary) << image << "\r\n0\r\n";
    WriteSettings(dir / "Settings.SSS", '2');
    const RunResult put = Wm(sim, {"put", (dir / "edited.WT").string()});
    ASSERT_EQ(put.exitCode, 0) << put.err;

    WriteSettings(dir / "Settings.SSS", '1');
    ASSERT_EQ(Wm(sim, {"get", "-o", (dir / "again.WT").string()}).exitCode, 0);
    EXPECT_EQ(FirstLine(dir / "again.WT").substr(114, 6), "0003E8");
}

TEST_F(Wmctl, putOnALineThatShouldEchoAndDoesNotFailsAndTellsWhatMayBeWritten) {
    SimProcess sim({"--baud", "9600", "--delay", "0"});
    WriteSettings(dir / "Settings.SSS", '1');
    ASSERT_EQ(Wm(sim, {"default", "-o", (dir / "default.WT").string()}).exitCode, 0);
    for (char protocol : {'1', '2'}) {
        SCOPED_TRACE(protocol);
        WriteSettings(dir / "Settings.SSS", protocol, '2');
        const RunResult r = Wm(sim, {"put", (dir / "default.WT").string()});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(r.out, "Data transfer unsuccessful. Check connections and try again.     (11)\n");
        EXPECT_NE(r.err.find("Put failed: the reply to request 1 of 6 (registers 0001-000C) was empty"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("port type 2"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("may now be partly written"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("terminate"), std::string::npos) << r.err;
    }
}

TEST_F(Wmctl, readingsAndCommandsWithoutAProperReplyFail) {
    SimProcess sim({"--baud", "9600", "--delay", "0", "--truncate", "B2:3"});
    const struct {
        char protocol, portType;
        std::vector<std::string> args;
        const char* caption;
    } rows[] = {
        {'0', '1', {"read", "net"}, "Communications failure.  Try again. (the reply was empty: no carriage return"},
        {'0', '2', {"read", "gross"}, "Communications failure.  Try again. (the reply was empty: the settings say"},
        {'1', '2', {"read", "peak"}, "Communications failure.  Program may have to be re-started."},
        {'1', '2', {"command", "peak-reset"}, "Communications error.  Try again."},
        {'2', '2', {"command", "tare-reset"}, "Communications error.  Try again. (the reply was empty"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[1] + " " + row.protocol + row.portType);
        WriteSettings(dir / "Settings.SSS", row.protocol, row.portType);
        const RunResult r = Wm(sim, row.args);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(row.caption), std::string::npos) << r.err;
    }
}

TEST_F(Wmctl, putReadsTheFileBeforeItOpensThePortAndAnEmptyPortIsRefused) {
    WriteSettings(dir / "Settings.SSS", '1');
    std::ofstream(dir / "junk.WT", std::ios::binary) << "not a setup\r\n";
    const std::string missing = (dir / "no-such-device").string();
    const RunResult put = RunProgram(
        {Bin("wmctl"), "--settings", (dir / "Settings.SSS").string(), "--port", missing, "put", (dir / "junk.WT").string()},
        dir);
    EXPECT_EQ(put.exitCode, 2);
    EXPECT_NE(put.err.find("junk.WT"), std::string::npos) << put.err;
    EXPECT_EQ(put.err.find("no-such-device"), std::string::npos) << put.err;

    const RunResult empty =
        RunProgram({Bin("wmctl"), "--settings", (dir / "Settings.SSS").string(), "--port", "", "read", "gross"}, dir);
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_NE(empty.err.find("--port needs a device path"), std::string::npos) << empty.err;
}

std::string FileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(Wmctl, setChangesExactlyTheNamedFieldsAndDiffListsThem) {
    const auto original = dir / "original.WT", edited = dir / "edited.WT";
    std::ofstream(original, std::ios::binary) << DefaultSetupText << "\r\n0\r\n";
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), Bin("wmctl"));
        return RunProgram(args, dir);
    };
    const RunResult set = run({"set", original.string(), "DecPt=3", "Tare=-12.5", "BaudRate= 2400",
                               "Lockout4=on", "TimConst=No Filter", "-o", edited.string()});
    ASSERT_EQ(set.exitCode, 0) << set.err;

    const RunResult json = run({"diff", original.string(), edited.string(), "--json"});
    EXPECT_EQ(json.exitCode, 1);
    std::vector<std::string> names;
    for (std::size_t at = json.out.find("\"name\":\""); at != std::string::npos;
         at = json.out.find("\"name\":\"", at + 1)) {
        const std::size_t from = at + 8;
        names.push_back(json.out.substr(from, json.out.find('"', from) - from));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Tare", "DecPt", "Lockout4", "BaudRate", "TimConst"})) << json.out;
    const RunResult plain = run({"diff", original.string(), edited.string()});
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_NE(plain.out.find("BaudRate     \" 9600\"  \" 2400\"\n"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("\" - 012.50\""), std::string::npos) << plain.out;
    const RunResult same = run({"diff", original.string(), original.string()});
    EXPECT_EQ(same.exitCode, 0);
    EXPECT_EQ(same.out, "");

    // A bad name or value anywhere in the list writes nothing, not even the
    // edits before it; the message names both.
    const std::string before = FileBytes(original);
    const struct {
        const char* arg;
        const char* named;
    } bad[] = {{"Nonesuch=1", "Nonesuch"}, {"Tare=123456", "123456"}, {"BaudRate=9600", "BaudRate"},
               {"StartChar=256", "StartChar"}, {"Lockout4", "Lockout4"}};
    for (const auto& b : bad) {
        SCOPED_TRACE(b.arg);
        const RunResult r = run({"set", original.string(), "Tare=7", b.arg});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find(b.named), std::string::npos) << r.err;
    }
    EXPECT_EQ(FileBytes(original), before);

    std::ofstream(dir / "junk.WT", std::ios::binary) << "not a setup\r\n";
    const RunResult junk = run({"diff", original.string(), (dir / "junk.WT").string()});
    EXPECT_EQ(junk.exitCode, 2);
    EXPECT_NE(junk.err.find("junk.WT"), std::string::npos) << junk.err;

    // Without -o the file itself is rewritten.
    ASSERT_EQ(run({"set", edited.string(), "Tare=0."}).exitCode, 0);
    const RunResult back = run({"diff", original.string(), edited.string(), "--json"});
    EXPECT_EQ(back.out.find("Tare"), std::string::npos) << back.out;
}

} // namespace
} // namespace wm::e2e
