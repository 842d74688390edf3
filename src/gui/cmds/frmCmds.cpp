#include "gui/cmds/frmCmds.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>

#include "app/Program.h"
#include "comm/MeterCommands.h"
#include "comm/Tables.h"

namespace wm {

// ---------------------------------------------------------------- ReadingBox

ReadingBox::ReadingBox(const char* name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void ReadingBox::Cls() {
    text_.clear();
    update();
}

void ReadingBox::Print(const QString& text) {
    text_ = text;
    update();
}

void ReadingBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (text_.isEmpty()) return;
    // The print position is the top left of the text, as on the meter's
    // own display boxes: the baseline lies one ascent below it.
    const QFontMetrics metrics(font());
    painter.drawText(kCurrentX / kTwipsPerPixel, kCurrentY / kTwipsPerPixel + metrics.ascent(), text_);
}

// ---------------------------------------------------------------- frmCmds

namespace {

// A panel meter: a case with its red display.
QPixmap MeterArt(QSize size) {
    QPixmap art(size);
    art.fill(Qt::transparent);
    QPainter p(&art);
    p.setPen(Qt::black);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(1, 4, size.width() - 3, size.height() - 9);
    p.setBrush(Qt::black);
    p.drawRect(6, 9, size.width() - 13, size.height() - 19);
    p.setPen(Qt::red);
    QFont f = p.font();
    f.setPixelSize(size.height() - 22);
    p.setFont(f);
    p.drawText(QRect(6, 9, size.width() - 13, size.height() - 19), Qt::AlignCenter, "8888");
    return art;
}

// A computer: a screen on its stand.
QPixmap ComputerArt(QSize size) {
    QPixmap art(size);
    art.fill(Qt::transparent);
    QPainter p(&art);
    p.setPen(Qt::black);
    p.setBrush(QColor(200, 200, 200));
    const int w = size.width(), h = size.height();
    p.drawRect(8, 1, w - 17, h - 10);
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(12, 4, w - 25, h - 16);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(w / 2 - 3, h - 9, 6, 4);
    p.drawRect(w / 2 - 12, h - 5, 24, 4);
    return art;
}

} // namespace


frmCmds::frmCmds(Program& program, QWidget* parent) : QWidget(parent, Qt::Window), program_(program) {
    setObjectName("frmCmds");
    setWindowTitle("COMMANDS");
    setAttribute(Qt::WA_DeleteOnClose);
    BuildControls();
}

QPushButton* frmCmds::Button(const char* name, const char* caption, int x, int y) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setGeometry(x, y, 110, 28);
    b->setAutoDefault(false);
    return b;
}

void frmCmds::BuildControls() {
    setFixedSize(420, 330);

    auto* Label1 = new QLabel("Weight Meter", this);
    Label1->setObjectName("Label1");
    Label1->setAlignment(Qt::AlignCenter);
    QFont title = Label1->font();
    title.setBold(true);
    title.setPointSize(title.pointSize() + 4);
    Label1->setFont(title);
    Label1->setGeometry(70, 8, 280, 30);

    // The artwork beside the title: the meter on the left, the computer
    // that talks to it on the right; two rules divide the window.
    auto* picCurrent = new QLabel(this);
    picCurrent->setObjectName("picCurrent");
    picCurrent->setGeometry(16, 6, 48, 34);
    picCurrent->setPixmap(MeterArt(picCurrent->size()));
    auto* picCmptrCtr = new QLabel(this);
    picCmptrCtr->setObjectName("picCmptrCtr");
    picCmptrCtr->setGeometry(356, 6, 48, 34);
    picCmptrCtr->setPixmap(ComputerArt(picCmptrCtr->size()));
    auto* Picture2 = new QFrame(this);
    Picture2->setObjectName("Picture2");
    Picture2->setFrameShape(QFrame::HLine);
    Picture2->setGeometry(16, 44, 388, 4);
    auto* Picture3 = new QFrame(this);
    Picture3->setObjectName("Picture3");
    Picture3->setFrameShape(QFrame::VLine);
    Picture3->setGeometry(188, 56, 4, 210);

    auto* lblResets = new QLabel("RESETS", this);
    lblResets->setObjectName("lblResets");
    lblResets->setGeometry(40, 56, 120, 22);
    lblResets->setAlignment(Qt::AlignCenter);
    auto* lblRdgs = new QLabel("READINGS", this);
    lblRdgs->setObjectName("lblRdgs");
    lblRdgs->setGeometry(210, 56, 200, 22);
    lblRdgs->setAlignment(Qt::AlignCenter);

    const char* resets[][2] = {{"cmdMRst", "Meter"},
                               {"cmdFRst", "Function"},
                               {"cmdLARst", "Latched Alarm"},
                               {"cmdPeakRst", "Peak"},
                               {"cmdTare", "Tare"}};
    int y = 84;
    for (const auto& [name, caption] : resets) {
        const char* button = name;
        connect(Button(name, caption, 45, y), &QPushButton::clicked, this, [this, button] { Command_Click(button); });
        y += 36;
    }
    // The tare reset sits a little apart from the four resets.
    findChild<QPushButton*>("cmdTare")->move(45, y - 36 + 12);

    const char* readings[][2] = {{"cmdGross", "Gross"}, {"cmdNet", "Net"}, {"cmdPeakRd", "Peak"}};
    y = 84;
    for (const auto& [name, caption] : readings) {
        const char* button = name;
        auto* b = Button(name, caption, 205, y);
        b->setFixedWidth(70);
        connect(b, &QPushButton::clicked, this, [this, button] { Command_Click(button); });
        y += 44;
    }
    picGross = new ReadingBox("picGross", this);
    picNet = new ReadingBox("picNet", this);
    picPeakRd = new ReadingBox("picPeakRd", this);
    y = 84;
    for (ReadingBox* box : {picGross, picNet, picPeakRd}) {
        box->setGeometry(282, y, 128, 28);
        y += 44;
    }

    lblErrText = new QLabel(this);
    lblErrText->setObjectName("lblErrText");
    lblErrText->setGeometry(10, 274, 400, 22);
    lblErrText->setAlignment(Qt::AlignCenter);
    lblErrText->setAutoFillBackground(true);
    lblErrText->hide();

    auto* cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setGeometry(170, 300, 80, 26);
    connect(cmdOK, &QPushButton::clicked, this, &frmCmds::cmdOK_Click);
}

QString frmCmds::Reading(const char* box) const {
    const auto* b = findChild<ReadingBox*>(box);
    return b != nullptr ? b->Text() : QString();
}

void frmCmds::ShowStatus(const QString& caption, bool failed) {
    const Rgb c = failed ? ColourRed : ColourGreen;
    QPalette p = lblErrText->palette();
    p.setColor(QPalette::Window, QColor(c.r, c.g, c.b));
    p.setColor(QPalette::WindowText, Qt::black);
    lblErrText->setPalette(p);
    lblErrText->setText(caption);
    lblErrText->show();
}

void frmCmds::Command_Click(const char* button) {
    const MeterCommand* command = FindMeterCommand(button);
    if (command == nullptr || left_) return;
    // The buttons stay live during an exchange; a click while one waits
    // would interleave two requests on the line, so it only beeps.
    if (running_ || program_.txn.Waiting()) {
        QApplication::beep();
        return;
    }
    if (command->isReading) {
        picNet->Cls();
        picGross->Cls();
        picPeakRd->Cls();
    }
    ShowStatus(QString::fromUtf8(command->sentText.data(), static_cast<qsizetype>(command->sentText.size())), false);
    QApplication::processEvents();

    QPointer<frmCmds> self(this);
    running_ = true;
    const CommandOutcome out = RunMeterCommand(program_, *command);
    if (!self) return;
    running_ = false;
    if (!out.refused) {
        ShowStatus(QString::fromStdString(out.caption), out.failed);
        if (out.clearPeak) picPeakRd->Cls();
        if (out.succeeded && out.reading) {
            ReadingBox* target = command->button == "cmdGross" ? picGross
                                 : command->button == "cmdNet" ? picNet
                                                               : picPeakRd;
            target->Print(QString::fromStdString(*out.reading));
        }
    }
    if (closePending_) close();
}

void frmCmds::cmdOK_Click() {
    setCursor(Qt::WaitCursor);
    Leave();
    unsetCursor();
}

void frmCmds::Leave() {
    if (left_) return;
    if (running_) {
        // The exchange on the stack still uses this window: it closes when
        // the exchange has returned.
        closePending_ = true;
        return;
    }
    left_ = true;
    Q_EMIT finished();
    close();
}

void frmCmds::closeEvent(QCloseEvent* event) {
    if (left_) {
        event->accept();
        return;
    }
    if (running_) {
        closePending_ = true;
        event->ignore();
        return;
    }
    left_ = true;
    Q_EMIT finished();
    event->accept();
}

} // namespace wm
