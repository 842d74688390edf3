#include "gui/jumpers/frmJumper.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>
#include <utility>

#include "app/Program.h"
#include "app/SetupFileCommands.h"
#include "gui/common/PrintWindow.h"
#include "help/HelpFiles.h"

namespace wm {

namespace {

// The Rev H serial boards came after the help files had their topics, so
// their windows carry the text themselves.
constexpr const char* kRS232HText = "RS232 Board\r"
                                    "   e - Normal operation\r"
                                    "   f - Slave display to RS232 from another meter\r"
                                    "   g - Pull-up resistor on the RTS line.\r"
                                    "\r"
                                    "   Note: Board is shipped with jumpers e + g installed.";
constexpr const char* kRS485HText = "Full Duplex Operation\r"
                                    "   No jumpers for short cable runs.\r"
                                    "   Add b + d for long cable runs.\r"
                                    "\r"
                                    "Half Duplex Operation\r"
                                    "   Install jumpers a + c\r"
                                    "   Add d for long cable runs.";

constexpr JumperWindowDef kWindows[] = {
    {"frmJDCSC", "DC Signal Conditioner Jumpers", JumperBoard::DC, 1371, nullptr},
    {"frmJDCSCM", "DC Signal Conditioner Rev M Jumpers", JumperBoard::DCRevM, 1394, nullptr},
    {"frmJLCSC", "Load Cell Signal Conditioner Jumpers", JumperBoard::LoadCell, 1374, nullptr},
    {"frmJPS", "Power Supply Jumpers", JumperBoard::PowerSupply, 1375, nullptr},
    {"frmJRS232G", "RS232 Digital Interface Board Revision G", JumperBoard::RS232G, 1383, nullptr},
    {"frmJRS232H", "RS232 Digital Interface Board Revision H", JumperBoard::RS232H, 0, kRS232HText},
    {"frmJRS485G", "RS485 Digital Interface Board Revision G", JumperBoard::RS485G, 1384, nullptr},
    {"frmJRS485H", "RS485 Digital Interface Board Revision H", JumperBoard::RS485H, 0, kRS485HText},
};

// Help texts end their lines with CR LF, the fixed texts with CR alone.
QString LabelText(const std::string& text) {
    QString s = QString::fromLatin1(text);
    s.replace("\r\n", "\n");
    s.replace('\r', '\n');
    return s;
}

} // namespace

const JumperWindowDef* FindJumperWindow(const QString& name) {
    const auto it = std::find_if(std::begin(kWindows), std::end(kWindows),
                                 [&name](const JumperWindowDef& w) { return name == QLatin1String(w.name); });
    return it != std::end(kWindows) ? &*it : nullptr;
}

QStringList JumperWindowNames() {
    QStringList names;
    for (const JumperWindowDef& w : kWindows) names << w.name;
    return names;
}

frmJumper::frmJumper(Program& program, const char* name, QWidget* parent)
    : QWidget(parent, Qt::Window), program_(program), def_(*FindJumperWindow(QLatin1String(name))),
      files_(std::make_unique<HelpSession>()) {
    setObjectName(def_.name);
    setWindowTitle(def_.caption);
    setAttribute(Qt::WA_DeleteOnClose);

    picBoard = new BoardView(def_.board, this);
    picBoard->setObjectName("picBoard");

    lblText = new QLabel(this);
    lblText->setObjectName("lblText");
    lblText->setWordWrap(true);
    lblText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblText->setTextFormat(Qt::PlainText);
    lblText->setMinimumWidth(300);

    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdPrinter = new QPushButton("Print", this);
    cmdPrinter->setObjectName("cmdPrinter");
    connect(cmdOK, &QPushButton::clicked, this, &frmJumper::cmdOK_Click);
    connect(cmdPrinter, &QPushButton::clicked, this, &frmJumper::cmdPrinter_Click);
    // A window with a topic offers OK once the topic is in.
    cmdOK->setEnabled(def_.topic == 0);
    if (def_.topic == 0) lblText->setText(LabelText(def_.fixedText));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdPrinter);
    buttons->addStretch(1);
    auto* body = new QHBoxLayout;
    body->addWidget(picBoard, 3);
    body->addWidget(lblText, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
}

frmJumper::~frmJumper() = default;

void frmJumper::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Form_Activate();
}

void frmJumper::Form_Activate() {
    if (def_.topic == 0 || loaded_) return;
    loaded_ = true;
    // A missing or damaged help file gives a short notice in place of the text.
    const HelpTopicText help = files_->Load(program_.paths.HelpFolder(), def_.topic);
    lblText->setText(LabelText(JumperHelpText(help.Text)));
    cmdOK->setEnabled(true);
}

QString frmJumper::ShownText() const { return lblText->text(); }

bool frmJumper::FilesOpen() const { return files_->IsOpen(); }

void frmJumper::cmdOK_Click() {
    files_->Close();
    close();
}

void frmJumper::cmdPrinter_Click() {
    (void)PrintWidget(*this, program_.platform.op, SetupFileFolder(program_), def_.name); // failures have been told
}

namespace {

template <class Window>
frmJumper* Make(Program& program, QWidget* parent) {
    return new Window(program, parent);
}

using Maker = frmJumper* (*)(Program&, QWidget*);
const std::pair<const char*, Maker> kMakers[] = {
    {"frmJDCSC", &Make<frmJDCSC>},     {"frmJDCSCM", &Make<frmJDCSCM>},   {"frmJLCSC", &Make<frmJLCSC>},
    {"frmJPS", &Make<frmJPS>},         {"frmJRS232G", &Make<frmJRS232G>}, {"frmJRS232H", &Make<frmJRS232H>},
    {"frmJRS485G", &Make<frmJRS485G>}, {"frmJRS485H", &Make<frmJRS485H>},
};

} // namespace

frmJumper* MakeJumperWindow(const QString& name, Program& program, QWidget* parent) {
    for (const auto& [windowName, make] : kMakers)
        if (name == QLatin1String(windowName)) return make(program, parent);
    return nullptr;
}

} // namespace wm
