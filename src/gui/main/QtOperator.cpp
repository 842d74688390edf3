#include "gui/main/QtOperator.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "gui/main/frmMMenu.h"
#include "gui/main/frmPutPreview.h"

namespace wm {

QString DialogFilter(const std::string& pairs) {
    const QStringList parts = QString::fromLatin1(pairs).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString patterns = QString(parts[i + 1]).replace(';', ' ').trimmed();
        filters << (description.contains('(' + patterns + ')') ? description
                                                               : description + " (" + patterns + ')');
    }
    if (parts.size() % 2 == 1 && !parts.back().isEmpty()) filters << parts.back();
    return filters.join(";;");
}

QString MessageText(const std::string& text) {
    QString s = QString::fromLatin1(text);
    s.replace("\r\n", "\n");
    s.replace('\r', '\n');
    return s;
}

namespace {

QMessageBox::StandardButton ButtonFor(Answer a) {
    switch (a) {
    case Answer::Ok: return QMessageBox::Ok;
    case Answer::Cancel: return QMessageBox::Cancel;
    case Answer::Yes: return QMessageBox::Yes;
    case Answer::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons ButtonsFor(Buttons b) {
    switch (b) {
    case Buttons::Ok: return QMessageBox::Ok;
    case Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconFor(Icon i) {
    switch (i) {
    case Icon::None: return QMessageBox::NoIcon;
    case Icon::Exclamation: return QMessageBox::Warning;
    case Icon::Question: return QMessageBox::Question;
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

} // namespace

Answer AnswerFor(int button, Buttons buttons) {
    switch (button) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: break;
    }
    if (buttons == Buttons::YesNo) return Answer::No;
    if (buttons == Buttons::OkCancel) return Answer::Cancel;
    return Answer::Ok;
}

std::unique_ptr<QMessageBox> BuildMessageBox(const MessageBox& box, QWidget* parent) {
    auto message = std::make_unique<QMessageBox>(
        IconFor(box.icon), box.title.empty() ? QString(DefaultMessageTitle) : QString::fromLatin1(box.title),
        MessageText(box.text), ButtonsFor(box.buttons), parent);
    message->setDefaultButton(ButtonFor(box.defaultAnswer));
    return message;
}

QtOperator::~QtOperator() {
    if (busy_) QApplication::restoreOverrideCursor();
}

void QtOperator::AttachWindow(frmMMenu* window) { window_ = window; }

QWidget* QtOperator::DialogParent() const {
    if (window_ && window_->isVisible()) return window_;
    return QApplication::activeWindow();
}

Answer QtOperator::Ask(const MessageBox& box) {
    if (scripted_ != nullptr) return scripted_->Ask(box);
    const std::unique_ptr<QMessageBox> message = BuildMessageBox(box, DialogParent());
    // The hourglass of a running transfer must not hide the pointer over the box.
    const bool wasBusy = busy_;
    if (wasBusy) SetBusy(false);
    const int button = message->exec();
    if (wasBusy) SetBusy(true);
    return AnswerFor(button, box.buttons);
}

void QtOperator::SetStatus(const std::string& caption, Rgb background) {
    if (scripted_ != nullptr) scripted_->SetStatus(caption, background);
    if (window_) window_->ShowStatus(QString::fromLatin1(caption), background);
}

void QtOperator::HideStatus() {
    if (scripted_ != nullptr) scripted_->HideStatus();
    if (window_) window_->HideStatus();
}

void QtOperator::SetProgress(int value) {
    if (scripted_ != nullptr) scripted_->SetProgress(value);
    if (window_) window_->ShowProgress(value);
}

void QtOperator::SetProgressVisible(bool visible) {
    if (scripted_ != nullptr) scripted_->SetProgressVisible(visible);
    if (window_) window_->SetProgressVisible(visible);
}

void QtOperator::SetBusy(bool hourglass) {
    if (scripted_ != nullptr) scripted_->SetBusy(hourglass);
    if (hourglass == busy_) return;
    busy_ = hourglass;
    if (hourglass)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtOperator::Beep() {
    if (scripted_ != nullptr) {
        scripted_->Beep();
        return;
    }
    QApplication::beep();
}

QString DialogStart(const std::filesystem::path& folder, const std::string& name) {
    // A path that does not end in a separator would have its last part taken
    // for a file name to fill in.
    QString start = QString::fromStdString(folder.string());
    if (!start.isEmpty() && !start.endsWith('/')) start += '/';
    return start + QString::fromStdString(name);
}

std::optional<std::string> QtOperator::ChooseFile(FileDialog kind, const std::string& title, const std::string& filter,
                                                  const std::filesystem::path& folder, const std::string& name) {
    if (scripted_ != nullptr) return scripted_->ChooseFile(kind, title, filter, folder, name);
    const bool wasBusy = busy_;
    if (wasBusy) SetBusy(false);
    const QString caption = QString::fromLatin1(title);
    const QString start = DialogStart(folder, name);
    const QString chosen =
        kind == FileDialog::Open
            ? QFileDialog::getOpenFileName(DialogParent(), caption, start, DialogFilter(filter))
            : QFileDialog::getSaveFileName(DialogParent(), caption, start, DialogFilter(filter));
    if (wasBusy) SetBusy(true);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

void QtOperator::EndProgram() {
    endRequested_ = true;
    if (scripted_ != nullptr) scripted_->EndProgram();
}

Answer QtOperator::ReviewPut(PutPreview& preview) {
    if (scripted_ != nullptr) return scripted_->ReviewPut(preview);
    const bool wasBusy = busy_;
    if (wasBusy) SetBusy(false);
    const Answer answer = RunPutPreview(preview, DialogParent());
    if (wasBusy) SetBusy(true);
    return answer;
}

} // namespace wm
