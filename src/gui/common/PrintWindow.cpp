#include "gui/common/PrintWindow.h"

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QWidget>

#include "platform/Files.h"
#include "platform/Operator.h"

namespace wm {

namespace {

// Draws picture as large as fits the painter's page, keeping its shape,
// centred across and from the top.
void PaintFitted(QPainter& painter, const QImage& picture, const QRect& page) {
    if (picture.isNull() || page.isEmpty()) return;
    const QSize fitted = picture.size().scaled(page.size(), Qt::KeepAspectRatio);
    const QRect target(page.left() + (page.width() - fitted.width()) / 2, page.top(), fitted.width(),
                       fitted.height());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture);
}

std::string WithPdfSuffix(std::string name) {
    const auto dot = name.rfind('.');
    const bool hasSuffix = dot != std::string::npos && name.size() - dot == 4 &&
                           QString::fromStdString(name.substr(dot)).compare(".pdf", Qt::CaseInsensitive) == 0;
    if (!hasSuffix) name += ".pdf";
    return name;
}

} // namespace

std::string SavePdf(const QImage& picture, const QString& title, const std::filesystem::path& file) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&buffer);
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("wmsetup"));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        pdf.setResolution(300);
        QPainter painter;
        if (!painter.begin(&pdf)) return "the PDF could not be drawn";
        PaintFitted(painter, picture, QRect(QPoint(0, 0), QSize(pdf.width(), pdf.height())));
        painter.end();
    }
    return WriteFileReplacing(file, bytes.toStdString());
}

PrintOutcome PrintPicture(const QImage& picture, const QString& title, QWidget* parent, Operator& op,
                          const std::filesystem::path& folder, const std::string& baseName) {
    PrintOutcome outcome;
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        const Answer answer = op.Ask({"No printer is installed. Save the picture as a PDF file instead?", "Print",
                                      Buttons::YesNo, Answer::Yes, Icon::Question, MessageId::NoPrinter});
        if (answer != Answer::Yes) return outcome;
        const auto chosen = op.ChooseFile(FileDialog::SaveAs, "Save as PDF", "PDF files (*.pdf)|*.pdf", folder,
                                          WithPdfSuffix(baseName));
        if (!chosen) return outcome;
        const std::filesystem::path file = WithPdfSuffix(*chosen);
        outcome.problem = SavePdf(picture, title, file);
        if (!outcome.problem.empty()) {
            outcome.kind = PrintOutcome::Kind::Failed;
            op.Ask({outcome.problem, "Print", Buttons::Ok, Answer::Ok, Icon::Exclamation, MessageId::FileNotWritten});
            return outcome;
        }
        outcome.kind = PrintOutcome::Kind::SavedPdf;
        outcome.file = file.string();
        return outcome;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted) return outcome;
    QPainter painter;
    if (!painter.begin(&printer)) {
        outcome.kind = PrintOutcome::Kind::Failed;
        outcome.problem = "the printer could not be started";
        op.Ask({"The printer could not be started.", "Print", Buttons::Ok, Answer::Ok, Icon::Exclamation,
                MessageId::FileNotWritten});
        return outcome;
    }
    PaintFitted(painter, picture, painter.viewport());
    painter.end();
    outcome.kind = PrintOutcome::Kind::Printed;
    return outcome;
}

PrintOutcome PrintWidget(QWidget& widget, Operator& op, const std::filesystem::path& folder,
                         const std::string& baseName) {
    return PrintPicture(widget.grab().toImage(), widget.windowTitle(), &widget, op, folder, baseName);
}

} // namespace wm
