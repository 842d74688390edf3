#include <gtest/gtest.h>

#include <QImage>
#include <set>
#include <vector>

#include "gui/calib/JumperDrawings.h"
#include "sc/CalibMath.h"

namespace wm::test {
namespace {

// Pixels that differ from the white ground.
int InkedPixels(const QImage& image) {
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) ++inked;
    return inked;
}

// Every picture the range lists ask for is drawn, carries the range it sets
// up (the one shown above the grid), and no two pictures look the same, so a
// wrong number in a table shows as a wrong picture rather than a repeat.
TEST(CalibJumper, everyPictureOfTheRangeListsIsDrawnDistinctAndNamesItsRange) {
    std::set<int> numbers;
    for (const int type : {kScTypeDC, kScTypeLoadCell}) {
        for (const CalibRange& range : CalibRanges(type)) {
            numbers.insert(range.jIndx);
            EXPECT_TRUE(HasJumperPicture(range.jIndx)) << range.listText;
            EXPECT_EQ(JumperPictureRange(range.jIndx).toStdString(), range.p) << range.listText;
        }
    }
    EXPECT_EQ(numbers.size(), 14u);

    const QSize size(240, 150);
    const QImage unknown = JumperPicture(20, size);
    std::vector<QImage> drawn;
    for (const int n : numbers) {
        const QImage image = JumperPicture(n, size);
        EXPECT_GT(InkedPixels(image), size.width() * size.height() / 5) << n;
        EXPECT_NE(image, unknown) << n;
        for (const QImage& other : drawn) EXPECT_NE(image, other) << n;
        drawn.push_back(image);
    }
}

TEST(CalibJumper, aNumberWithoutADrawingGivesAFrameAndNoRange) {
    for (const int n : {0, 10, 20, 30, 36, -1}) {
        EXPECT_FALSE(HasJumperPicture(n));
        EXPECT_TRUE(JumperPictureRange(n).isEmpty());
        const QImage image = JumperPicture(n, QSize(240, 150));
        EXPECT_GT(InkedPixels(image), 0) << n;
        // A frame and a line of text: far less ink than a board.
        EXPECT_LT(InkedPixels(image), 240 * 150 / 10) << n;
    }
}

} // namespace
} // namespace wm::test
