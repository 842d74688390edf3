#include <gtest/gtest.h>

#include <QPushButton>

#include "MenuRig.h"
#include "gui/main/AppStart.h"

namespace wm::test {
namespace {

TEST(QtOperatorDialogs, fileFiltersBecomeQtFilters) {
    const std::pair<const char*, const char*> rows[] = {
        {"Setup files (*.WT)|*.WT", "Setup files (*.WT)"},
        {"Pictures|*.BMP", "Pictures (*.BMP)"},
        {"Setup files (*.WT)|*.WT|All files|*.*", "Setup files (*.WT);;All files (*.*)"},
        {"Text|*.txt;*.log", "Text (*.txt *.log)"},
    };
    for (const auto& [pairs, filter] : rows) EXPECT_EQ(DialogFilter(pairs).toStdString(), filter) << pairs;
}

TEST(QtOperatorDialogs, messageBoxesCarryTextTitleButtonsDefaultAndIcon) {
    const std::string text = std::string("The Meter Signal Conditioner Type is 'DC'\r") + "Continue?";
    const auto yesNo = BuildMessageBox({text, "Error", Buttons::YesNo, Answer::No, Icon::None}, nullptr);
    EXPECT_EQ(yesNo->text().toStdString(), "The Meter Signal Conditioner Type is 'DC'\nContinue?");
    EXPECT_EQ(yesNo->windowTitle(), "Error");
    EXPECT_EQ(yesNo->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(yesNo->defaultButton(), yesNo->button(QMessageBox::No));
    EXPECT_EQ(yesNo->icon(), QMessageBox::NoIcon);

    const auto okCancel = BuildMessageBox(
        {"Current data will be replaced.", "", Buttons::OkCancel, Answer::Ok, Icon::Exclamation}, nullptr);
    EXPECT_EQ(okCancel->windowTitle(), DefaultMessageTitle);
    EXPECT_EQ(okCancel->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(okCancel->defaultButton(), okCancel->button(QMessageBox::Ok));
    EXPECT_EQ(okCancel->icon(), QMessageBox::Warning);
}

TEST(QtOperatorDialogs, aBoxClosedWithoutAButtonAnswersItsSafeChoice) {
    EXPECT_EQ(AnswerFor(QMessageBox::Yes, Buttons::YesNo), Answer::Yes);
    EXPECT_EQ(AnswerFor(QMessageBox::NoButton, Buttons::YesNo), Answer::No);
    EXPECT_EQ(AnswerFor(QMessageBox::NoButton, Buttons::OkCancel), Answer::Cancel);
    EXPECT_EQ(AnswerFor(QMessageBox::NoButton, Buttons::Ok), Answer::Ok);
}

TEST(QtOperatorWindow, theCoresStatusAndProgressReachTheWindowsControls) {
    MenuRig rig(Line1(0));
    Operator& op = rig.program.platform.op;
    op.SetStatus("Putting data to the Device.", ColourGreen);
    op.SetProgress(40);
    op.SetProgressVisible(true);
    EXPECT_EQ(rig.Status()->text().toStdString(), "Putting data to the Device.");
    EXPECT_TRUE(rig.Status()->isVisible());
    EXPECT_EQ(rig.StatusColour(), ColourGreen);
    EXPECT_EQ(rig.Control<QProgressBar>("pbBar")->value(), 40);
    EXPECT_TRUE(rig.Control<QProgressBar>("pbBar")->isVisible());
    op.HideStatus();
    op.SetProgressVisible(false);
    EXPECT_FALSE(rig.Status()->isVisible());
    EXPECT_FALSE(rig.Control<QProgressBar>("pbBar")->isVisible());
    // ... and the scripted operator heard all of it.
    EXPECT_EQ(rig.dialogs.captions.back(), "Putting data to the Device.");
}

TEST(WmsetupOptions, settingsPortAndScreenshotsAreTakenAndMistakesNamed) {
    std::string problem;
    const auto o = ParseWmsetupOptions({"--settings", "/tmp/S.SSS", "--port", "/dev/pts/4"}, problem);
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->settings, "/tmp/S.SSS");
    EXPECT_EQ(o->port, "/dev/pts/4");
    EXPECT_TRUE(o->screenshots.isEmpty());

    const std::pair<std::vector<std::string>, const char*> bad[] = {
        {{"--port"}, "--port needs a value"},
        {{"--speed", "9600"}, "unknown argument --speed"},
    };
    for (const auto& [args, text] : bad) {
        EXPECT_FALSE(ParseWmsetupOptions(args, problem).has_value());
        EXPECT_EQ(problem, text);
    }
}

} // namespace
} // namespace wm::test
