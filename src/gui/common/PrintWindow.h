#pragma once
// Printing what a window shows. Every Print button of the program comes
// here: the picture is fitted to one page of the printer chosen in the
// system's print dialog. A machine without a printer gets the offer to save
// the picture as a PDF file instead, so Print never fails silently.
#include <QString>
#include <filesystem>
#include <string>

class QImage;
class QWidget;

namespace wm {

class Operator;

struct PrintOutcome {
    enum class Kind { Printed, SavedPdf, Cancelled, Failed };
    Kind kind = Kind::Cancelled;
    std::string file;    // the PDF written (SavedPdf)
    std::string problem; // what went wrong (Failed), already shown to the operator
};

// Prints picture, or saves it as PDF when no printer is installed. folder and
// baseName suggest the PDF's place and name (".pdf" is added when the chosen
// name lacks it). A failure is shown to the operator and returned.
PrintOutcome PrintPicture(const QImage& picture, const QString& title, QWidget* parent, Operator& op,
                          const std::filesystem::path& folder, const std::string& baseName);

// The window as it is shown now, printed the same way.
PrintOutcome PrintWidget(QWidget& widget, Operator& op, const std::filesystem::path& folder,
                         const std::string& baseName);

// Writes picture as a one-page PDF, fitted to an A4 page with a margin; the
// file is written whole or not at all. Returns "" or the problem in words.
[[nodiscard]] std::string SavePdf(const QImage& picture, const QString& title, const std::filesystem::path& file);

} // namespace wm
