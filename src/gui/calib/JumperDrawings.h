#pragma once
// Drawings of the signal-conditioner boards with the jumpers placed for one
// input range. The calibration window shows them before each range, and the
// jumper windows show the same boards. Each picture has the number the range
// list gives it: 11-19 for the ranges of the DC board, 31-35 for those of the
// load-cell board. They are drawn, not stored, so they stay sharp at any size
// and print cleanly.
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

class QPainter;

namespace wm {

// True for the numbers that have a drawing.
[[nodiscard]] bool HasJumperPicture(int pictureNumber);

// The range a picture sets the board up for ("200 mV DC"); empty when the
// number has no drawing.
[[nodiscard]] QString JumperPictureRange(int pictureNumber);

// Draws the picture into `area`, keeping its proportions and centring it on a
// white ground. A number without a drawing gives a plain frame that says so.
void PaintJumperPicture(QPainter& painter, const QRect& area, int pictureNumber);

// The picture as an image of the given size.
[[nodiscard]] QImage JumperPicture(int pictureNumber, const QSize& size = QSize(480, 300));

// A control that shows one picture, scaled to its size.
class JumperView final : public QWidget {
    Q_OBJECT

public:
    explicit JumperView(QWidget* parent = nullptr);
    void SetPicture(int pictureNumber);
    [[nodiscard]] int Picture() const { return picture_; }
    [[nodiscard]] QSize sizeHint() const override { return QSize(360, 225); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int picture_ = 0;
};

} // namespace wm
