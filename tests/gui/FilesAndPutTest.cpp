// The File menu and Put Setup driven through the main window's own menu
// items, against the simulated meter on the in-memory line. File choices and
// answers to message boxes come from the scripted operator.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "MenuRig.h"
#include "support/SimProgram.h"
#include "transfer/PutSetup.h"

namespace wm::test {
namespace {

// The main window on a program whose line ends at a simulated meter.
struct SimWindow {
    explicit SimWindow(const std::string& line1)
        : port(vt), op(&dialogs),
          program(Platform{port, vt, vt, op}, ProgramPaths{File("Settings.SSS"), folder.path(), "memory"}) {
        WriteWhole(File("Settings.SSS"), line1 + "\r\n" + kSerialLine2 + "\r\n");
        sim = std::make_unique<sim::SimPort>(meter, port, vt);
        program.StartUp();
        window = std::make_unique<frmMMenu>(program, op);
        window->show();
    }

    void Click(const char* name) {
        QAction* item = window->findChild<QAction*>(name);
        ASSERT_NE(item, nullptr) << name;
        item->trigger();
    }
    [[nodiscard]] bool On(const char* name) const { return window->findChild<QAction*>(name)->isEnabled(); }
    [[nodiscard]] QLabel* Status() const { return window->findChild<QLabel*>("lblPGText"); }
    [[nodiscard]] std::string Image() const { return program.setup.text; }
    [[nodiscard]] std::filesystem::path File(const char* name) const { return folder.path() / name; }
    [[nodiscard]] std::vector<std::string> FolderFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder folder;
    VirtualTime vt;
    MemorySerialPort port;
    sim::Meter meter;
    ScriptedOperator dialogs;
    QtOperator op;
    Program program;
    std::unique_ptr<sim::SimPort> sim;
    std::unique_ptr<frmMMenu> window;
};

// The meter of the default setup answers at address 1 and slave 1.
std::string MeterLine1(int protocol) { return Line1(protocol, "007", '5', '1', "001"); }

// What the meter heard, by command (Custom ASCII code, or Modbus function
// and start register), split into reads and writes.
std::vector<std::string> Heard(const sim::Meter& meter, bool writes) {
    std::vector<std::string> out;
    for (const sim::LogEntry& e : meter.Log()) {
        const bool ascii = e.framing == sim::Framing::CustomAscii;
        const bool write = ascii ? e.key.starts_with("W") : e.key.starts_with("10");
        if (write == writes) out.push_back(ascii && write ? e.key.substr(0, 4) : e.key);
    }
    return out;
}

const std::vector<std::string> kAsciiReads = {"A1", "X115", "G12C"};
const std::vector<std::string> kModbusReads = {"030068", "030045"};

TEST(WindowPut, aMeterOrSetupOfUndeterminedKindAbandonsThePutAndWritesNothing) {
    struct Row {
        const char* name;
        int protocol;
        const char* meterType;
        const char* meterRange;
        const char* imageType;
        const char* text;
    };
    const Row rows[] = {
        {"meter DC board in mode 8", 0, "01", "80", "01",
         "Meter type could not be determined, DPM PUT will be aborted."},
        {"setup with board type 02", 1, "01", "60", "02",
         "Data to be PUT contains incompatible Signal Conditioner Type and Range, DPM PUT will be aborted."},
    };
    for (const Row& row : rows) {
        SimWindow rig(MeterLine1(row.protocol));
        ASSERT_TRUE(rig.meter.SetScType(row.meterType));
        ASSERT_TRUE(rig.meter.SetRangeByte(row.meterRange));
        rig.Click("mnuDefaultSet");
        rig.program.setup.Put(35, row.imageType);
        const std::string image = rig.Image(), meterImage = rig.meter.Image();
        rig.Click("mnuPut");

        ASSERT_EQ(rig.dialogs.boxes.size(), 1u) << row.name;
        EXPECT_EQ(rig.dialogs.boxes[0].text, row.text) << row.name;
        EXPECT_EQ(rig.dialogs.boxes[0].buttons, Buttons::Ok) << row.name;
        EXPECT_EQ(rig.dialogs.boxes[0].title, "") << row.name;
        EXPECT_FALSE(rig.Status()->isVisible()) << row.name;
        EXPECT_EQ(Heard(rig.meter, false), row.protocol == 0 ? kAsciiReads : kModbusReads) << row.name;
        EXPECT_TRUE(Heard(rig.meter, true).empty()) << row.name;
        EXPECT_EQ(rig.Image(), image) << row.name;
        EXPECT_EQ(rig.meter.Image(), meterImage) << row.name;
        EXPECT_EQ(rig.program.x.TransferStatus, 0) << row.name;
    }
}

TEST(WindowPut, aLoadCellMeterGivenADcSetupWritesOnlyWhenToldToAndThenKeepsItsOwnBoard) {
    const std::string cr(1, CarriageReturn);
    const std::vector<std::string> writes[] = {
        {"WP18", "W31D", "W26D", "W236"},
        {"100001", "100011", "100021", "10004D", "10005D", "100041"},
    };
    for (const int protocol : {0, 1}) {
        SimWindow rig(MeterLine1(protocol));
        ASSERT_TRUE(rig.meter.SetScType("03"));
        ASSERT_TRUE(rig.meter.SetRangeByte("C2"));
        rig.Click("mnuDefaultSet");
        const std::string image = rig.Image();
        rig.dialogs.answers = {Answer::No};
        rig.Click("mnuPut");

        ASSERT_EQ(rig.dialogs.boxes.size(), 1u) << protocol;
        const MessageBox& box = rig.dialogs.boxes[0];
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.buttons, Buttons::YesNo);
        EXPECT_EQ(box.defaultAnswer, Answer::No);
        EXPECT_TRUE(box.text.starts_with("The Meter Signal Conditioner Type is 'Load Cell'" + cr +
                                         "The Signal Conditioner Type data to be PUT is 'DC'" + cr))
            << box.text;
        EXPECT_TRUE(box.text.ends_with(cr + "Continue?"));
        EXPECT_FALSE(rig.Status()->isVisible()) << protocol;
        EXPECT_TRUE(Heard(rig.meter, true).empty()) << protocol;
        EXPECT_EQ(rig.Image(), image) << protocol;

        rig.meter.ClearLog();
        rig.dialogs.answers = {Answer::Yes};
        rig.Click("mnuPut");
        ASSERT_EQ(rig.dialogs.boxes.size(), 2u) << protocol;
        std::string expected = image;
        expected.replace(34, 2, "03").replace(54, 2, "C2");
        EXPECT_EQ(rig.Image(), expected) << protocol;
        EXPECT_EQ(Heard(rig.meter, true), writes[protocol]) << protocol;
        // The meter holds what was written, its own board included; through
        // Modbus the scale field (103-108) is the same value in its own notation.
        EXPECT_EQ(rig.meter.Mid(21, 82), rig.program.setup.Mid(21, 82)) << protocol;
        EXPECT_EQ(rig.meter.Mid(109, 12), rig.program.setup.Mid(109, 12)) << protocol;
        EXPECT_TRUE(rig.Status()->isVisible()) << protocol;
        EXPECT_EQ(rig.Status()->text().toStdString(), kPutOkCaption) << protocol;
    }
}

TEST(WindowSetupFiles, saveNeedsANameSaveAsWritesTheImageAndSaveAsksBeforeReplacing) {
    SimWindow rig(MeterLine1(0));
    rig.Click("mnuGet");
    ASSERT_EQ(rig.program.SetupReceived, 1);
    ASSERT_EQ(rig.Image().size(), 136u);

    rig.Click("mnuSave");
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].text, "No file name active, use Save Setup As");
    EXPECT_EQ(rig.dialogs.boxes[0].title, "Continue");
    EXPECT_EQ(rig.dialogs.boxes[0].buttons, Buttons::Ok);
    EXPECT_EQ(rig.dialogs.boxes[0].icon, Icon::Exclamation);
    EXPECT_EQ(rig.dialogs.beeps, 1);
    EXPECT_EQ(rig.FolderFiles(), std::vector<std::string>{"Settings.SSS"});

    rig.dialogs.files = {std::string("GET.WT")}; // a bare name lies in the program's folder
    rig.Click("mnuSaveAs");
    ASSERT_EQ(rig.dialogs.dialogs.size(), 1u);
    EXPECT_EQ(rig.dialogs.dialogs[0].kind, FileDialog::SaveAs);
    EXPECT_EQ(rig.dialogs.dialogs[0].title, "Save Setup File As");
    EXPECT_EQ(ReadWhole(rig.File("GET.WT")), rig.Image() + "\r\n0\r\n");
    EXPECT_EQ(rig.program.SetupFileName, rig.File("GET.WT").string());

    const std::string got = rig.Image();
    rig.program.setup.Put(1, "000123"); // the operator edits the tare
    rig.dialogs.answers = {Answer::Cancel};
    rig.Click("mnuSave");
    ASSERT_EQ(rig.dialogs.boxes.size(), 2u);
    EXPECT_EQ(rig.dialogs.boxes[1].text, "Current data will be replaced.");
    EXPECT_EQ(rig.dialogs.boxes[1].buttons, Buttons::OkCancel);
    EXPECT_EQ(ReadWhole(rig.File("GET.WT")), got + "\r\n0\r\n");

    rig.dialogs.answers = {Answer::Ok};
    rig.Click("mnuSave");
    EXPECT_EQ(rig.dialogs.boxes.size(), 3u);
    EXPECT_EQ(ReadWhole(rig.File("GET.WT")), rig.Image() + "\r\n0\r\n");
    EXPECT_EQ(rig.Image().substr(0, 6), "000123");

    // An image cut short (as a failed Get leaves it) is saved completed.
    rig.program.setup.text = got.substr(0, 120);
    rig.dialogs.files = {rig.File("SHORT.WT").string()};
    rig.Click("mnuSaveAs");
    EXPECT_EQ(rig.Image(), got.substr(0, 120) + "00000000");
    EXPECT_EQ(ReadWhole(rig.File("SHORT.WT")), got.substr(0, 120) + "00000000\r\n0\r\n");
    // Written under a temporary name and renamed: nothing else is left behind.
    EXPECT_EQ(rig.FolderFiles(), (std::vector<std::string>{"GET.WT", "SHORT.WT", "Settings.SSS"}));
}

TEST(WindowSetupFiles, openCompletesShortImagesAndRevisionZero) {
    SimWindow rig(MeterLine1(0));
    EXPECT_FALSE(rig.On("mnuSetup"));
    EXPECT_FALSE(rig.On("mnuPut"));
    const std::string def(DefaultSetupText);
    WriteWhole(rig.File("A120.WT"), def.substr(0, 120) + "\r\n0\r\n");
    rig.dialogs.files = {rig.File("A120.WT").string()};
    rig.Click("mnuOpen");
    EXPECT_EQ(rig.Image(), def.substr(0, 120) + "00020D00");
    EXPECT_TRUE(rig.On("mnuSetup"));
    EXPECT_TRUE(rig.On("mnuPut"));
    EXPECT_EQ(rig.program.SetupFileName, rig.File("A120.WT").string());

    std::string rev00 = def;
    rev00.replace(120, 2, "00");
    WriteWhole(rig.File("REV00.WT"), rev00 + "\r\n0\r\n");
    rig.dialogs.files = {rig.File("REV00.WT").string()};
    rig.Click("mnuOpen");
    EXPECT_EQ(rig.Image(), def.substr(0, 120) + "01" + def.substr(122));
    EXPECT_EQ(rig.program.link.MeterRevision, 0);
    EXPECT_TRUE(rig.dialogs.boxes.empty());
}

TEST(WindowSetupFiles, aFileThatIsNoSetupIsRefusedByNameAndChangesNothing) {
    const std::string def(DefaultSetupText);
    const std::pair<const char*, std::string> rows[] = {
        {"XYZ.WT", def.substr(0, 40) + "XYZ" + def.substr(43) + "\r\n0\r\n"},
        {"SHORT.WT", def.substr(0, 100) + "\r\n0\r\n"},
    };
    for (const auto& [name, content] : rows) {
        SimWindow rig(MeterLine1(0));
        WriteWhole(rig.File(name), content);
        WriteWhole(rig.File("GOOD.WT"), def + "\r\n0\r\n");
        const std::string startImage = rig.Image();
        for (const bool loaded : {false, true}) {
            const std::string image = rig.Image(), fileName = rig.program.SetupFileName;
            const bool viewOn = rig.On("mnuSetup"), putOn = rig.On("mnuPut");
            rig.dialogs.boxes.clear();
            rig.dialogs.files = {rig.File(name).string()};
            rig.Click("mnuOpen");

            ASSERT_EQ(rig.dialogs.boxes.size(), 1u) << name << loaded;
            EXPECT_NE(rig.dialogs.boxes[0].text.find(rig.File(name).string()), std::string::npos)
                << rig.dialogs.boxes[0].text;
            EXPECT_EQ(rig.Image(), image) << name << loaded;
            EXPECT_EQ(rig.program.SetupFileName, fileName) << name << loaded;
            EXPECT_EQ(rig.On("mnuSetup"), viewOn) << name << loaded;
            EXPECT_EQ(rig.On("mnuPut"), putOn) << name << loaded;

            rig.dialogs.files = {rig.File("GOOD.WT").string()};
            rig.Click("mnuOpen");
        }
        EXPECT_EQ(startImage, std::string(176, '0'));
        EXPECT_EQ(rig.Image(), def) << name;
    }
}

} // namespace
} // namespace wm::test
