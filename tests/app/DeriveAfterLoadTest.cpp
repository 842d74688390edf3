#include <gtest/gtest.h>

#include <tuple>

#include "support/TransferRig.h"
#include "setup/Defaults.h"
#include "setup/Fields.h"
#include "app/SetupFileCommands.h"

namespace wm::test {
namespace {

auto Tie(const DerivedSetup& d) {
    return std::tie(d.ScType, d.ScTypeText, d.InputMode, d.InputRange, d.InputDP, d.DisplayDP, d.RlyOpt, d.AnaOpt,
                    d.ComOpt);
}

// A load-cell setup in the strain mode, range 1, display point code 4, with
// the RS485, analog and relay boards: nothing derived from it matches the
// default setup.
std::string LoadCellText() {
    SetupImage im;
    im.text = std::string(DefaultSetupText);
    im.Put(35, "03");
    im.Put(55, "C1");
    im.Put(39, "04");
    im.Put(49, "68");
    return im.text;
}

// The pages and the menu view show program.derived: whatever replaced the
// setup must have refreshed it, not left the last Get's values.
TEST(DerivedSetup, followsTheSetupAfterOpenAndDefaultSetup) {
    struct Row {
        const char* how;
        std::string fileText;    // empty: Default Setup
        std::string imageBefore; // the setup the derived values describe beforehand
        int scType, comOpt;
    };
    const std::string loadCell = LoadCellText();
    const std::string defaults(DefaultSetupText);
    for (const Row& r : {Row{"default setup after a load-cell setup", "", loadCell, 1, 1},
                         Row{"open of a load-cell file", loadCell, defaults, 3, 2},
                         Row{"open of a main-block-only file", loadCell.substr(0, 120), defaults, 3, 2}}) {
        TransferRig rig(Line1(0));
        SetupImage before;
        before.text = r.imageBefore;
        rig.program.setup = before;
        rig.program.derived = DeriveSetup(before);
        if (r.fileText.empty()) {
            DefaultSetup(rig.program);
        } else {
            const auto file = rig.folder.path() / "A.WT";
            WriteWhole(file, r.fileText + "\r\n0\r\n");
            ASSERT_TRUE(LoadSetupFile(rig.program, file)) << r.how;
        }
        EXPECT_EQ(Tie(rig.program.derived), Tie(DeriveSetup(rig.program.setup))) << r.how;
        EXPECT_EQ(rig.program.derived.ScType, r.scType) << r.how;
        EXPECT_EQ(rig.program.derived.ComOpt, r.comOpt) << r.how;
    }
}

TEST(DerivedSetup, staysWithTheSetupKeptWhenAFileCannotBeOpened) {
    TransferRig rig(Line1(0));
    rig.program.setup.text = LoadCellText();
    rig.program.derived = DeriveSetup(rig.program.setup);
    const auto file = rig.folder.path() / "Bad.WT";
    WriteWhole(file, "not a setup\r\n");
    EXPECT_FALSE(LoadSetupFile(rig.program, file));
    EXPECT_EQ(rig.program.setup.text, LoadCellText());
    EXPECT_EQ(rig.program.derived.ScType, 3);
}

} // namespace
} // namespace wm::test
