#include "gui/help/frmAppHelp.h"

#include <QFont>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "help/HelpFiles.h"

namespace wm {

namespace {

QFont TextFont() {
    QFont f("Arial");
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(10);
    return f;
}

QFont FixedWidthFont() {
    QFont f("Courier New");
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPointSize(10);
    return f;
}

// Help texts are stored with CR LF line ends, one byte per character.
QString HelpString(const std::string& text) {
    QString s = QString::fromLatin1(text);
    s.replace("\r\n", "\n");
    s.replace('\r', '\n');
    return s;
}

} // namespace

frmAppHelp::frmAppHelp(std::filesystem::path helpFolder, QWidget* parent)
    : QDialog(parent), helpFolder_(std::move(helpFolder)), files_(std::make_unique<HelpSession>()) {
    setObjectName("frmAppHelp");
    setWindowTitle("APPLICATION  HELP");
    setModal(true);

    lblText = new QTextEdit(this);
    lblText->setObjectName("lblText");
    lblText->setReadOnly(true);
    lblText->setFont(TextFont());
    QPalette p = lblText->palette();
    p.setColor(QPalette::Base, Qt::white);
    lblText->setPalette(p);

    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAppHelp::cmdOK_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblText, 1);
    layout->addWidget(cmdOK, 0, Qt::AlignHCenter);
    resize(640, 420);
}

frmAppHelp::~frmAppHelp() = default;

void frmAppHelp::ShowTopic(int topic) {
    LoadTopic(topic);
    open();
    raise();
    activateWindow();
}

void frmAppHelp::LoadTopic(int topic) {
    topic_ = topic;
    lblText->clear();
    // A missing topic comes back as a short notice in the same form.
    const HelpTopicText help = files_->Load(helpFolder_, topic);
    if (help.Found() && IsFixedWidthTopic(topic))
        PrintFixedWidth(help.Text);
    else
        PrintPieces(help.Text);
    lblText->moveCursor(QTextCursor::Start);
}

// A "$" switches bold on and off; the text before the first one (a title)
// is bold, and whatever follows the last one is in normal weight.
void frmAppHelp::PrintPieces(const std::string& text) {
    QTextCursor cursor(lblText->document());
    QTextCharFormat format;
    format.setFont(TextFont());
    for (const HelpPiece& piece : SplitHelpText(text)) {
        format.setFontWeight(piece.Bold ? QFont::Bold : QFont::Normal);
        cursor.insertText(HelpString(piece.Text), format);
    }
}

void frmAppHelp::PrintFixedWidth(const std::string& text) {
    QTextCursor cursor(lblText->document());
    QTextCharFormat format;
    format.setFont(FixedWidthFont());
    cursor.insertText(HelpString(text), format);
}

QString frmAppHelp::ShownText() const { return lblText->toPlainText(); }

bool frmAppHelp::FilesOpen() const { return files_->IsOpen(); }

void frmAppHelp::cmdOK_Click() {
    files_->Close();
    hide();
}

} // namespace wm
