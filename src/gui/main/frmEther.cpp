#include "gui/main/frmEther.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Program.h"
#include "comm/Hex.h"
#include "comm/NodeConnection.h"
#include "gui/main/frmMMenu.h"

namespace wm {

frmEther::frmEther(Program& program, frmMMenu& menu, QWidget* parent)
    : QWidget(parent), program_(program), menu_(menu) {
    setObjectName("frmEther");
    SetCaption(QString::fromLatin1(kNodeCaptionConnecting.data(), static_cast<int>(kNodeCaptionConnecting.size())));

    lblNode = new QLabel(this);
    lblNode->setObjectName("lblNode");
    lblNode->setWordWrap(true);
    picText = new QPlainTextEdit(this);
    picText->setObjectName("picText");
    picText->setReadOnly(true);
    picText->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblNode);
    layout->addWidget(picText, 1);
    resize(520, 180);

    NodeConnection& node = *program_.node;
    node.onCaption = [this](const std::string& caption) { SetCaption(QString::fromStdString(caption)); };
    node.onUdpError = [this] {
        Print(QString::fromLatin1(kNodeUdpErrorText.data(), static_cast<int>(kNodeUdpErrorText.size())));
    };
    node.onAttempt = [this](int attempt) {
        const NodeConnection& n = *program_.node;
        lblNode->setText(QString("Asking the Ethernet node at %1 (hardware address %2) to connect to TCP port "
                                 "%3: attempt %4 of %5.")
                             .arg(QString::fromStdString(n.NodeAddress()))
                             .arg(QString::fromStdString(UpperCase(program_.link.SettingsLine2.substr(4, 12))))
                             .arg(n.ListenPort())
                             .arg(attempt)
                             .arg(n.attempts));
        Q_EMIT attemptStarted(attempt);
    };

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &frmEther::Timer1_Timer);
    Timer1->start();
}

frmEther::~frmEther() {
    if (!program_.node) return;
    program_.node->onCaption = nullptr;
    program_.node->onUdpError = nullptr;
    program_.node->onAttempt = nullptr;
}

void frmEther::SetCaption(const QString& caption) {
    setWindowTitle(caption);
    menu_.setWindowTitle(caption);
}

void frmEther::Print(const QString& line) {
    printed_ << line;
    picText->setPlainText(printed_.join('\n'));
}

void frmEther::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The build waits for the node in nested event loops: it starts once
    // the window is up, not inside the show.
    QTimer::singleShot(0, this, &frmEther::Form_Activate);
}

void frmEther::Form_Activate() {
    if (building_) return;
    building_ = true;
    QPointer<frmEther> self(this);
    const NodeConnection::Outcome outcome = program_.node->BuildLink();
    if (!self) return;
    building_ = false;
    if (outcome == NodeConnection::Outcome::Failed) {
        Timer1->stop();
        hide();
        Q_EMIT programEnded();
        return;
    }
    if (outcome != NodeConnection::Outcome::Connected) return;
    // The keep-alive counts from the call: the timer starts afresh.
    Timer1->start();
    hide();
    menu_.show();
}

void frmEther::Timer1_Timer() { program_.node->TimerTick(); }

} // namespace wm
