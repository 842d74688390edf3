#pragma once
// The drawing surface of the plot and the graph (Picture1): a persistent
// image in the picture's own units, on which the drawings of the core
// (readings/ChartDrawing.h) are replayed as they come. The image is what
// Save writes; on screen it is stretched to the picture's size, so the
// window may be resized while a run draws.
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QWidget>

#include "readings/ChartDrawing.h"

namespace wm {

class ReadingsPicture final : public QWidget {
    Q_OBJECT

public:
    explicit ReadingsPicture(QWidget* parent = nullptr);

    // A new white image, the size the picture has on screen now, drawn in
    // `scale`; the font follows the image's height.
    void Begin(const UserScale& scale);
    void Apply(const Drawing& drawing);
    // White, and nothing kept.
    void Cls();

    [[nodiscard]] const QImage& Image() const { return image_; }
    // Texts as they come out on the image, in the picture's units.
    [[nodiscard]] TextMeasure Measure() const;
    // Where a point of the picture's units lies on the image.
    [[nodiscard]] QPointF ToPixel(double x, double y) const;

    static constexpr int MinWidth = 320;
    static constexpr int MinHeight = 200;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    UserScale scale_;
    QFont font_;
};

} // namespace wm
