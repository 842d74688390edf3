#include "gui/help/frmMHELP.h"

#include <QCloseEvent>
#include <QFont>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace wm {

const QStringList& SetupHelpLines() {
    static const QStringList lines = {
        "   Setup Help is provided when 'View' is selected. ",
        "   There are two viewing modes.",
        "      1. Setup.  ",
        "         When Setup is selected, Help is provided by selecting a function",
        "         while Viewing the Setup (Pages 1,2 or 3) and pressing the F1 key.",
        "",
        "      2. Menu (Corresponds to the Meter front panel menu display). ",
        "         When Menu is selected, Help is provided automatically when one of",
        "         the Menu items is selected.",
    };
    return lines;
}

frmMHELP::frmMHELP(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmMHELP");
    setWindowTitle("SETUP  HELP");

    Picture2 = new QPlainTextEdit(this);
    Picture2->setObjectName("Picture2");
    Picture2->setReadOnly(true);
    Picture2->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font("Arial");
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(10);
    Picture2->setFont(font);
    QPalette p = Picture2->palette();
    p.setColor(QPalette::Base, Qt::white);
    Picture2->setPalette(p);
    // Room for the longest line and every line, without scrolling.
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& line : SetupHelpLines()) widest = std::max(widest, metrics.horizontalAdvance(line));
    Picture2->setMinimumSize(widest + 40, metrics.lineSpacing() * (static_cast<int>(SetupHelpLines().size()) + 2) + 16);

    cmdMHelp = new QPushButton("Main Menu", this);
    cmdMHelp->setObjectName("cmdMHelp");
    cmdMHelp->setDefault(true);
    connect(cmdMHelp, &QPushButton::clicked, this, &frmMHELP::cmdMHelp_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picture2, 1);
    layout->addWidget(cmdMHelp, 0, Qt::AlignHCenter);
}

void frmMHELP::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Form_Activate();
}

void frmMHELP::Form_Activate() {
    lines_ = SetupHelpLines();
    Picture2->setPlainText(lines_.join('\n'));
    Q_EMIT helpTopicChosen(SetupHelpTopic);
}

void frmMHELP::cmdMHelp_Click() {
    hide();
    Q_EMIT returned();
}

// The close box leads back as the button does: the main window is hidden
// meanwhile and would otherwise stay out of reach.
void frmMHELP::closeEvent(QCloseEvent* event) {
    event->ignore();
    cmdMHelp_Click();
}

} // namespace wm
