#include "gui/readings/ReadingsPicture.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace wm {

ReadingsPicture::ReadingsPicture(QWidget* parent) : QWidget(parent) {
    setObjectName("Picture1");
    setMinimumSize(MinWidth, MinHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::StrongFocus);
}

void ReadingsPicture::Begin(const UserScale& scale) {
    scale_ = scale;
    const QSize size = this->size().expandedTo(QSize(MinWidth, MinHeight));
    image_ = QImage(size, QImage::Format_RGB32);
    image_.fill(Qt::white);
    font_ = font();
    font_.setPixelSize(std::clamp(size.height() / 32, 10, 16));
    update();
}

void ReadingsPicture::Cls() {
    image_ = QImage();
    update();
}

QPointF ReadingsPicture::ToPixel(double x, double y) const {
    const double w = image_.width(), h = image_.height();
    return {(x - scale_.left) / (scale_.right - scale_.left) * w, (scale_.top - y) / (scale_.top - scale_.bottom) * h};
}

TextMeasure ReadingsPicture::Measure() const {
    const QFontMetricsF metrics(font_);
    const double w = std::max(1, image_.width()), h = std::max(1, image_.height());
    const double unitsX = std::fabs(scale_.right - scale_.left) / w;
    const double unitsY = std::fabs(scale_.top - scale_.bottom) / h;
    return {[metrics, unitsX](std::string_view text) {
                return metrics.horizontalAdvance(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()))) *
                       unitsX;
            },
            [metrics, unitsY](std::string_view) { return metrics.height() * unitsY; }};
}

void ReadingsPicture::Apply(const Drawing& drawing) {
    if (image_.isNull()) return;
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(font_);
    const QFontMetricsF metrics(font_);
    for (const DrawOp& op : drawing) {
        if (std::holds_alternative<DrawClear>(op)) {
            image_.fill(Qt::white);
        } else if (const auto* line = std::get_if<DrawLine>(&op)) {
            QPen pen(Qt::black, line->width, line->dotted ? Qt::DotLine : Qt::SolidLine, Qt::SquareCap);
            painter.setPen(pen);
            const QPointF a = ToPixel(line->x1, line->y1), b = ToPixel(line->x2, line->y2);
            if (a == b) painter.drawPoint(a);
            else painter.drawLine(a, b);
        } else if (const auto* box = std::get_if<DrawBox>(&op)) {
            const QRectF area = QRectF(ToPixel(box->x1, box->y1), ToPixel(box->x2, box->y2)).normalized();
            painter.fillRect(area, box->black ? Qt::black : Qt::white);
        } else if (const auto* text = std::get_if<DrawText>(&op)) {
            painter.setPen(Qt::black);
            const QPointF top = ToPixel(text->x, text->y);
            painter.drawText(QPointF(top.x(), top.y() + metrics.ascent()),
                             QString::fromLatin1(text->text.data(), static_cast<qsizetype>(text->text.size())));
        }
    }
    painter.end();
    update();
}

void ReadingsPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (image_.isNull()) {
        painter.fillRect(rect(), Qt::white);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, image_.size() != size());
        painter.drawImage(rect(), image_);
    }
    painter.setPen(Qt::gray);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace wm
