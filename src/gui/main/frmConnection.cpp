#include "gui/main/frmConnection.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ConnectionSettings.h"
#include "app/Program.h"
#include "comm/Tables.h"
#include "platform/SerialDevices.h"
#include "platform/SerialPortControl.h"

namespace wm {

namespace {

constexpr char kParities[] = {'n', 'o', 'e'};

QLineEdit* Text(QWidget* parent, const char* name, int maxLength) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    return edit;
}

// A field that must hold a whole number; the first that does not is named.
int NumberIn(const QLineEdit* edit, const char* what, std::string& problem) {
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    if (!ok && problem.empty()) problem = std::string(what) + " \"" + edit->text().toStdString() + "\" is not a number";
    return ok ? value : 0;
}

} // namespace

frmConnection::frmConnection(Program& program, QWidget* parent)
    : QDialog(parent), program_(program), settings_(CurrentLinkSettings(program)) {
    setObjectName("frmConnection");
    setWindowTitle("Connection");
    setModal(true);

    cboPort = new QComboBox(this);
    cboPort->setObjectName("cboPort");
    cboPort->setEditable(true); // a pseudo-terminal or any other path can be typed
    for (const std::string& device : ListSerialDevices()) cboPort->addItem(QString::fromStdString(device));
    cboPort->setMinimumContentsLength(32);

    cboProtocol = new QComboBox(this);
    cboProtocol->setObjectName("cboProtocol");
    for (const SerialProtocol p : {SerialProtocol::CustomAscii, SerialProtocol::ModbusRtu, SerialProtocol::ModbusAscii})
        cboProtocol->addItem(QString::fromStdString(ProtocolName(p)));

    cboBaudRate = new QComboBox(this);
    cboBaudRate->setObjectName("cboBaudRate");
    for (const std::string_view baud : BaudRates) cboBaudRate->addItem(QString::fromLatin1(baud.data(), static_cast<qsizetype>(baud.size())));

    cboParity = new QComboBox(this);
    cboParity->setObjectName("cboParity");
    cboParity->addItems({"None", "Odd", "Even"});

    chkEcho = new QCheckBox("The line echoes what is sent", this);
    chkEcho->setObjectName("chkEcho");
    txtAddress = Text(this, "txtAddress", 1);
    txtModbusAddress = Text(this, "txtModbusAddress", 3);
    txtFamily = Text(this, "txtFamily", 1);
    txtRevision = Text(this, "txtRevision", 3);

    chkNode = new QCheckBox("Through an Ethernet node", this);
    chkNode->setObjectName("chkNode");
    txtNodeIP = Text(this, "txtNodeIP", 15);
    txtNodeMAC = Text(this, "txtNodeMAC", 17);
    txtListenPort = Text(this, "txtListenPort", 5);

    lblFile = new QLabel(QString::fromStdString("Settings file " + program_.paths.settingsFile.string()), this);
    lblFile->setObjectName("lblFile");
    lblFile->setWordWrap(true);

    cmdFind = new QPushButton("&Find", this);
    cmdFind->setObjectName("cmdFind");
    connect(cmdFind, &QPushButton::clicked, this, &frmConnection::cmdFind_Click);
    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmConnection::cmdOK_Click);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    connect(cmdCancel, &QPushButton::clicked, this, &frmConnection::cmdCancel_Click);

    auto* form = new QFormLayout;
    form->addRow("Serial port", cboPort);
    form->addRow("Protocol", cboProtocol);
    form->addRow("Baud rate", cboBaudRate);
    form->addRow("Parity", cboParity);
    form->addRow("", chkEcho);
    form->addRow("Meter address (0-9, A-V)", txtAddress);
    form->addRow("Modbus address (1-247)", txtModbusAddress);
    form->addRow("Meter family", txtFamily);
    form->addRow("Meter revision", txtRevision);
    form->addRow("", chkNode);
    form->addRow("Node IPv4 address", txtNodeIP);
    form->addRow("Node hardware address", txtNodeMAC);
    form->addRow("Listen port", txtListenPort);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdFind);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(lblFile);
    column->addLayout(form);
    column->addLayout(buttons);

    ShowSettings(settings_);
    UpdateFindButton();
    connect(cboProtocol, &QComboBox::currentIndexChanged, this, &frmConnection::cboProtocol_Click);
    connect(chkNode, &QCheckBox::toggled, this, &frmConnection::chkNode_Click);
}

void frmConnection::ShowSettings(const LinkSettings& s) {
    cboPort->setCurrentText(QString::fromStdString(s.device.empty() ? DeviceForPortNumber(s.commPort) : s.device));
    cboProtocol->setCurrentIndex(static_cast<int>(s.protocol));
    cboBaudRate->setCurrentText(QString::number(s.baud));
    for (int i = 0; i < 3; ++i)
        if (kParities[i] == s.parity) cboParity->setCurrentIndex(i);
    chkEcho->setChecked(s.portType == 2);
    txtAddress->setText(QString(QChar::fromLatin1(s.address)));
    txtModbusAddress->setText(QString::number(s.modbusAddress));
    txtFamily->setText(QString::number(s.family));
    txtRevision->setText(QString::number(s.revision));
    chkNode->setChecked(s.node);
    txtNodeIP->setText(QString::fromStdString(s.nodeIP == "0.0.0.0" ? std::string() : s.nodeIP));
    txtNodeMAC->setText(QString::fromStdString(s.node ? s.nodeMac : std::string()));
    txtListenPort->setText(s.listenPort == 0 ? QString() : QString::number(s.listenPort));
    cboProtocol_Click();
    chkNode_Click();
}

void frmConnection::UpdateFindButton() { cmdFind->setEnabled(static_cast<bool>(findMeter)); }

void frmConnection::showEvent(QShowEvent* event) {
    UpdateFindButton();
    QDialog::showEvent(event);
}

void frmConnection::SetFoundLink(const LinkSettings& found) {
    cboProtocol->setCurrentIndex(static_cast<int>(found.protocol));
    cboBaudRate->setCurrentText(QString::number(found.baud));
    for (int i = 0; i < 3; ++i)
        if (kParities[i] == found.parity) cboParity->setCurrentIndex(i);
    txtAddress->setText(QString(QChar::fromLatin1(found.address)));
    txtModbusAddress->setText(QString::number(found.modbusAddress));
    if (!found.device.empty()) cboPort->setCurrentText(QString::fromStdString(found.device));
    cboProtocol_Click();
}

void frmConnection::cboProtocol_Click() {
    // Custom ASCII runs without parity.
    const bool modbus = cboProtocol->currentIndex() != 0;
    if (!modbus) cboParity->setCurrentIndex(0);
    cboParity->setEnabled(modbus);
}

void frmConnection::chkNode_Click() {
    const bool node = chkNode->isChecked();
    cboPort->setEnabled(!node);
    chkEcho->setEnabled(!node);
    txtNodeIP->setEnabled(node);
    txtNodeMAC->setEnabled(node);
    txtListenPort->setEnabled(node);
}

LinkSettings frmConnection::FieldSettings(std::string& problem) const {
    problem.clear();
    LinkSettings s = settings_;
    s.protocol = static_cast<SerialProtocol>(cboProtocol->currentIndex());
    s.baud = cboBaudRate->currentText().toInt();
    s.parity = kParities[std::max(0, cboParity->currentIndex())];
    const QString address = txtAddress->text().trimmed();
    s.address = address.size() == 1 ? address[0].toLatin1() : '?';
    s.modbusAddress = NumberIn(txtModbusAddress, "Modbus address", problem);
    s.family = NumberIn(txtFamily, "Meter family", problem);
    s.revision = NumberIn(txtRevision, "Meter revision", problem);
    s.node = chkNode->isChecked();
    if (s.node) {
        s.device.clear();
        s.nodeIP = txtNodeIP->text().trimmed().toStdString();
        s.nodeMac = txtNodeMAC->text().trimmed().toStdString();
        s.listenPort = NumberIn(txtListenPort, "Listen port", problem);
        if (s.portType == 0) s.portType = 1; // port type 0 means no meter link at all
    } else {
        const std::string device = cboPort->currentText().trimmed().toStdString();
        if (device.empty() && problem.empty()) problem = "No serial port is chosen";
        SetSerialDevice(s, device);
        s.portType = chkEcho->isChecked() ? 2 : 1;
    }
    return s;
}

void frmConnection::cmdOK_Click() {
    std::string problem;
    const LinkSettings s = FieldSettings(problem);
    Operator& op = program_.platform.op;
    if (problem.empty()) {
        const ConnectionSaved saved = SaveConnectionSettings(program_, s);
        problem = saved.problem;
        if (problem.empty()) {
            op.Ask({saved.message, "Connection", Buttons::Ok, Answer::Ok, Icon::Information, MessageId::None});
            accept();
            return;
        }
    }
    op.Ask({problem + ".\rNothing was written.", "Connection", Buttons::Ok, Answer::Ok, Icon::Exclamation,
            MessageId::None});
}

void frmConnection::cmdCancel_Click() { reject(); }

void frmConnection::cmdFind_Click() {
    if (findMeter) findMeter(*this);
}

} // namespace wm
