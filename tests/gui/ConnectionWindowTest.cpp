#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include "MenuRig.h"
#include "app/ConnectionSettings.h"
#include "gui/main/frmConnection.h"

namespace wm::test {
namespace {

struct ConnectionWindow : ::testing::Test {
    MenuRig rig{Line1(0)};
    frmConnection* Open() {
        rig.Item("mnuConnection")->trigger();
        return rig.window->ConnectionWindow();
    }
    template <class T>
    static T* Control(frmConnection* window, const char* name) {
        T* control = window->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
};

TEST_F(ConnectionWindow, okWritesTheFieldsToTheSettingsFileAndTheLinkFollows) {
    QPointer<frmConnection> window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    // The file's values are shown.
    EXPECT_EQ(Control<QComboBox>(window, "cboPort")->currentText(), "/dev/ttyS0");
    EXPECT_EQ(Control<QLineEdit>(window, "txtRevision")->text(), "7");
    EXPECT_FALSE(Control<QComboBox>(window, "cboParity")->isEnabled()); // Custom ASCII

    Control<QComboBox>(window, "cboPort")->setCurrentText("/dev/pts/77");
    Control<QComboBox>(window, "cboProtocol")->setCurrentIndex(1);
    Control<QComboBox>(window, "cboBaudRate")->setCurrentText("19200");
    Control<QComboBox>(window, "cboParity")->setCurrentIndex(2);
    Control<QCheckBox>(window, "chkEcho")->setChecked(true);
    Control<QLineEdit>(window, "txtAddress")->setText("B");
    Control<QLineEdit>(window, "txtModbusAddress")->setText("17");
    QTest::mouseClick(Control<QPushButton>(window, "cmdOK"), Qt::LeftButton);

    const LinkSettingsFile file = ReadLinkSettingsFile(rig.SettingsFile());
    ASSERT_TRUE(file.settings) << file.problem;
    const LinkSettings& s = *file.settings;
    EXPECT_EQ(s.device, "/dev/pts/77");
    EXPECT_EQ(s.commPort, 1);
    EXPECT_EQ(s.protocol, SerialProtocol::ModbusRtu);
    EXPECT_EQ(s.baud, 19200);
    EXPECT_EQ(s.parity, 'e');
    EXPECT_EQ(s.portType, 2);
    EXPECT_EQ(s.address, 'B');
    EXPECT_EQ(s.modbusAddress, 17);
    EXPECT_EQ(s.revision, 7); // what no field changed is kept
    EXPECT_EQ(ReadWhole(rig.folder.path() / "Settings.SSS.device"), "/dev/pts/77\n");

    // The serial link is opened again from the file (on the test's own line).
    EXPECT_EQ(rig.program.link.SerialMode, 1);
    EXPECT_EQ(rig.port.Settings(), "19200,e,8,1");
    ASSERT_FALSE(rig.dialogs.boxes.empty());
    EXPECT_NE(rig.dialogs.boxes.back().text.find("in use"), std::string::npos) << rig.dialogs.boxes.back().text;
    EXPECT_TRUE(!window || !window->isVisible()); // closed, and deleted when events are next processed
}

TEST_F(ConnectionWindow, aCombinationTheFileCannotHoldIsToldAndNothingIsWritten) {
    const std::string before = ReadWhole(rig.SettingsFile());
    frmConnection* window = Open();
    ASSERT_NE(window, nullptr);
    Control<QLineEdit>(window, "txtModbusAddress")->setText("300");
    Control<QLineEdit>(window, "txtAddress")->setText("w");
    QTest::mouseClick(Control<QPushButton>(window, "cmdOK"), Qt::LeftButton);
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_NE(rig.dialogs.boxes[0].text.find("Modbus address 300"), std::string::npos) << rig.dialogs.boxes[0].text;
    EXPECT_NE(rig.dialogs.boxes[0].text.find("meter address \"w\""), std::string::npos);
    EXPECT_EQ(ReadWhole(rig.SettingsFile()), before);
    EXPECT_TRUE(window->isVisible()); // to be put right

    // A node without its hardware address, and a field that is no number.
    Control<QLineEdit>(window, "txtModbusAddress")->setText("1");
    Control<QLineEdit>(window, "txtAddress")->setText("1");
    Control<QCheckBox>(window, "chkNode")->setChecked(true);
    EXPECT_FALSE(Control<QComboBox>(window, "cboPort")->isEnabled());
    Control<QLineEdit>(window, "txtNodeIP")->setText("10.0.0.2");
    Control<QLineEdit>(window, "txtListenPort")->setText("8080");
    QTest::mouseClick(Control<QPushButton>(window, "cmdOK"), Qt::LeftButton);
    EXPECT_NE(rig.dialogs.boxes.back().text.find("node hardware address"), std::string::npos);
    Control<QLineEdit>(window, "txtListenPort")->setText("port");
    QTest::mouseClick(Control<QPushButton>(window, "cmdOK"), Qt::LeftButton);
    EXPECT_NE(rig.dialogs.boxes.back().text.find("Listen port \"port\" is not a number"), std::string::npos);
    EXPECT_EQ(ReadWhole(rig.SettingsFile()), before);

    QTest::mouseClick(Control<QPushButton>(window, "cmdCancel"), Qt::LeftButton);
    EXPECT_EQ(ReadWhole(rig.SettingsFile()), before);
}

TEST_F(ConnectionWindow, findIsOffUntilASearchIsGivenAndFillsTheFoundLink) {
    frmConnection* window = Open();
    ASSERT_NE(window, nullptr);
    auto* find = Control<QPushButton>(window, "cmdFind");
    EXPECT_TRUE(find->isEnabled()) << "the main window gives the window its scan";
    window->findMeter = nullptr;
    window->UpdateFindButton();
    EXPECT_FALSE(find->isEnabled());
    window->findMeter = [](frmConnection& w) {
        LinkSettings found;
        found.protocol = SerialProtocol::ModbusAscii;
        found.baud = 38400;
        found.parity = 'o';
        found.address = 'V';
        found.modbusAddress = 247;
        w.SetFoundLink(found);
    };
    window->UpdateFindButton();
    ASSERT_TRUE(find->isEnabled());
    QTest::mouseClick(find, Qt::LeftButton);
    std::string problem;
    const LinkSettings s = window->FieldSettings(problem);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(s.protocol, SerialProtocol::ModbusAscii);
    EXPECT_EQ(s.baud, 38400);
    EXPECT_EQ(s.parity, 'o');
    EXPECT_EQ(s.address, 'V');
    EXPECT_EQ(s.modbusAddress, 247);
    EXPECT_EQ(s.device, ""); // /dev/ttyS0 is port number 1
    EXPECT_EQ(s.commPort, 1);
}

} // namespace
} // namespace wm::test
