// The board drawings of the jumper windows: each is drawn at any size with
// the same texts, and carries the connector's pin labels and its jumpers.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <map>

#include "gui/jumpers/BoardDrawings.h"

namespace wm::test {
namespace {

const std::map<JumperBoard, QStringList>& ExpectedLabels() {
    static const QStringList rs232 = {"RJ11", "6 N/C", "5 ISO GND", "4 RX", "3 TX", "2 RTS", "1 N/C"};
    static const QStringList rs485 = {"6 ISO GND", "5 BRX", "4 ARX", "3 ATX", "2 BTX", "1 ISO GND"};
    static const std::map<JumperBoard, QStringList> labels = {
        {JumperBoard::DC, {"DC Signal Conditioner", "200mV", "660V", "mA", "5A", "+V", "COM"}},
        {JumperBoard::DCRevM, {"1 - Excitation", "2 + Excitation", "3 - Signal In", "4 + Signal In", "RATIO"}},
        {JumperBoard::LoadCell,
         {"1 -10V Excitation", "2 - Sense", "3 - Signal In", "4 + Signal In", "5 +10V Excitation", "6 + Sense",
          "20mV", "500mV"}},
        {JumperBoard::PowerSupply, {"Power Supply", "115V", "230V"}},
        {JumperBoard::RS232G, rs232 + QStringList{"NORM", "SLAVE", "PULL-UP"}},
        {JumperBoard::RS232H, rs232 + QStringList{"e", "f", "g", "jumper installed"}},
        {JumperBoard::RS485G, rs485 + QStringList{"FULL", "HALF", "TERM"}},
        {JumperBoard::RS485H, rs485 + QStringList{"a", "b", "c", "d"}},
    };
    return labels;
}

int InkedPixels(const QImage& image) {
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) ++inked;
    return inked;
}

// Each drawing goes to PNG at its own size and at twice that, headless; the
// texts drawn are the same at both scales and include every pin label.
TEST(BoardDrawings, eachBoardRendersToPngAtTwoScalesWithItsLabels) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QSize base = BoardCanvasSize();
    std::vector<QImage> small;
    for (const JumperBoard board : AllJumperBoards) {
        const QStringList labels = BoardLabels(board);
        for (const QString& label : ExpectedLabels().at(board))
            EXPECT_TRUE(labels.contains(label)) << static_cast<int>(board) << ": " << label.toStdString();
        for (const int scale : {1, 2}) {
            const QSize size = base * scale;
            QImage image(size, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            EXPECT_EQ(PaintBoard(painter, image.rect(), board), labels) << "scale " << scale;
            painter.end();
            const QString file = dir.filePath(QString("board%1-x%2.png").arg(static_cast<int>(board)).arg(scale));
            ASSERT_TRUE(image.save(file, "PNG"));
            const QImage back(file);
            ASSERT_EQ(back.size(), size);
            EXPECT_GT(InkedPixels(back), size.width() * size.height() / 4) << static_cast<int>(board);
            if (scale == 1) small.push_back(back);
        }
    }
    for (std::size_t i = 0; i < small.size(); ++i)
        for (std::size_t j = i + 1; j < small.size(); ++j) EXPECT_NE(small[i], small[j]) << i << " and " << j;
}

} // namespace
} // namespace wm::test
