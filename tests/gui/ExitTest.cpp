#include <gtest/gtest.h>

#include <QSignalSpy>

#include "MenuRig.h"

namespace wm::test {
namespace {

TEST(MainMenuExit, exitAndTheCloseBoxRewriteSettingsAlikeAndEndOnce) {
    const std::string line1 = Line1(0);
    const std::string line2 = kSerialLine2.substr(0, 28); // an older file without the end flag
    std::string written[2];
    for (int via = 0; via < 2; ++via) {
        MenuRig rig(line1, line2);
        QSignalSpy ended(rig.window.get(), &frmMMenu::programEnded);
        if (via == 0)
            rig.Item("mnuExit")->trigger();
        else
            rig.window->close();
        EXPECT_EQ(ended.count(), 1) << via;
        EXPECT_FALSE(rig.window->isVisible()) << via;
        EXPECT_FALSE(rig.port.IsOpen()) << via;
        written[via] = ReadWhole(rig.SettingsFile());
        rig.window->close(); // a second close changes nothing
        EXPECT_EQ(ended.count(), 1) << via;
    }
    EXPECT_EQ(written[0], line1 + "\r\n" + line2 + "1\r\n");
    EXPECT_EQ(written[1], written[0]);
}

TEST(MainMenuExit, theEndFlagIsSetInAFullLengthSecondLine) {
    std::string line2 = kSerialLine2;
    line2[28] = '0';
    MenuRig rig(Line1(0), line2);
    rig.Item("mnuExit")->trigger();
    EXPECT_EQ(ReadWhole(rig.SettingsFile()), Line1(0) + "\r\n" + line2.substr(0, 28) + "1\r\n");
}

TEST(MainMenuExit, anUnreadableSettingsFileIsNotReplacedAtExit) {
    MenuRig rig("garbage");
    rig.Item("mnuExit")->trigger();
    EXPECT_EQ(ReadWhole(rig.SettingsFile()), "garbage\r\n" + kSerialLine2 + "\r\n");
}

} // namespace
} // namespace wm::test
