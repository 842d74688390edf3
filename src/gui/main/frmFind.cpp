#include "gui/main/frmFind.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace wm {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

QString Seconds(std::uint64_t ms) { return QString::number((ms + 999) / 1000); }

} // namespace

frmFind::frmFind(MeterLink& meter, std::string baseLine1, ScanMode mode, QWidget* parent)
    : QDialog(parent), meter_(meter), baseLine1_(std::move(baseLine1)), mode_(mode) {
    setObjectName("frmFind");
    setWindowTitle("Find the Meter");
    setWindowModality(Qt::ApplicationModal);

    const ScanDuration time = ScanTime(mode);
    auto* lblAbout = new QLabel(this);
    lblAbout->setObjectName("lblAbout");
    lblAbout->setWordWrap(true);
    lblAbout->setText(QString("Asking for the gross reading at each baud rate, protocol, parity and address in turn "
                              "(%1 tries, at most %2 s).")
                          .arg(time.tries)
                          .arg(Seconds(time.longestMs)));

    prgScan = new QProgressBar(this);
    prgScan->setObjectName("prgScan");
    prgScan->setRange(0, static_cast<int>(time.tries));
    prgScan->setValue(0);
    prgScan->setMinimumWidth(360);

    lblTrying = new QLabel(this);
    lblTrying->setObjectName("lblTrying");

    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    connect(cmdCancel, &QPushButton::clicked, this, &frmFind::cmdCancel_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdCancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(lblAbout);
    column->addWidget(prgScan);
    column->addWidget(lblTrying);
    column->addLayout(buttons);
}

std::optional<ScanLink> frmFind::Run() {
    if (running_) return std::nullopt;
    running_ = true;
    cancel_ = false;
    result_ = {};
    prgScan->setValue(0);
    cmdCancel->setEnabled(true);
    show();
    ScanOptions options;
    options.mode = mode_;
    options.baseLine1 = baseLine1_;
    options.progress = [this](const ScanProgress& p) { Progress(p); };
    options.cancelled = [this] { return cancel_; };
    result_ = ScanForMeter(meter_, options);
    running_ = false;
    prgScan->setValue(static_cast<int>(result_.tries));
    lblTrying->setText(Outcome());
    hide();
    return result_.found;
}

void frmFind::Progress(const ScanProgress& p) {
    prgScan->setValue(static_cast<int>(p.done));
    lblTrying->setText("Trying " + Text(DescribeScanLink(p.trying)));
    Q_EMIT tryStarted(static_cast<int>(p.done), static_cast<int>(p.total));
}

QString frmFind::Outcome() const {
    if (result_.found) return "Found: " + Text(DescribeScanLink(*result_.found)) + ".";
    if (!result_.problem.empty()) return "The scan stopped: " + Text(result_.problem) + ".";
    if (result_.cancelled) return QString("Cancelled after %1 tries.").arg(result_.tries);
    return QString("No meter answered in %1 tries.").arg(result_.tries);
}

void frmFind::cmdCancel_Click() {
    cancel_ = true;
    cmdCancel->setEnabled(false);
    lblTrying->setText("Cancelling...");
}

void frmFind::closeEvent(QCloseEvent* event) {
    if (running_) {
        cmdCancel_Click(); // the window goes when the scan has stopped
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmFind::reject() {
    if (running_) {
        cmdCancel_Click();
        return;
    }
    QDialog::reject();
}

} // namespace wm
