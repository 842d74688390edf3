#include <gtest/gtest.h>

#include <QImage>
#include <QPrinterInfo>
#include <QDir>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>

#include "support/ScriptedOperator.h"
#include "gui/common/PrintWindow.h"

namespace wm::test {
namespace {

std::string Slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

QImage Drawing() {
    QImage picture(200, 100, QImage::Format_RGB32);
    picture.fill(Qt::white);
    return picture;
}

// The test machines have no printer: Print must then offer a PDF.
TEST(Print, withoutAPrinterThePictureIsSavedAsPdfWithItsSuffixAdded) {
    if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "a printer is installed";
    QTemporaryDir dir;
    ScriptedOperator op;
    op.answerFor[MessageId::NoPrinter] = Answer::Yes;
    op.files.push_back((std::filesystem::path(dir.path().toStdString()) / "record").string());
    const PrintOutcome out = PrintPicture(Drawing(), "Record", nullptr, op, dir.path().toStdString(), "calib");
    ASSERT_EQ(out.kind, PrintOutcome::Kind::SavedPdf) << out.problem;
    ASSERT_EQ(op.dialogs.size(), 1u);
    EXPECT_EQ(op.dialogs[0].name, "calib.pdf");
    EXPECT_EQ(std::filesystem::path(out.file).filename(), "record.pdf");
    const std::string bytes = Slurp(out.file);
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    EXPECT_NE(bytes.find("%%EOF"), std::string::npos);
}

TEST(Print, declinedOrCancelledWritesNothingAndAFailureIsShown) {
    if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "a printer is installed";
    QTemporaryDir dir;
    ScriptedOperator op;
    op.answers.push_back(Answer::No);
    EXPECT_EQ(PrintPicture(Drawing(), "t", nullptr, op, dir.path().toStdString(), "x").kind,
              PrintOutcome::Kind::Cancelled);
    EXPECT_TRUE(op.dialogs.empty());

    op.answerFor[MessageId::NoPrinter] = Answer::Yes; // then the file dialog is cancelled
    EXPECT_EQ(PrintPicture(Drawing(), "t", nullptr, op, dir.path().toStdString(), "x").kind,
              PrintOutcome::Kind::Cancelled);

    op.files.push_back((std::filesystem::path(dir.path().toStdString()) / "missing" / "x.pdf").string());
    const PrintOutcome failed = PrintPicture(Drawing(), "t", nullptr, op, dir.path().toStdString(), "x");
    EXPECT_EQ(failed.kind, PrintOutcome::Kind::Failed);
    EXPECT_EQ(op.boxes.back().id, MessageId::FileNotWritten);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

} // namespace
} // namespace wm::test
