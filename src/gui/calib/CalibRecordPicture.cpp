#include "gui/calib/CalibRecordPicture.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/CalibRecordFile.h"

namespace wm {

namespace {

// An A4 page at 150 dots per inch.
constexpr int kPageW = 1240;
constexpr int kPageH = 1754;
constexpr int kMargin = 90;
constexpr int kRow = 28;

QString Text(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

QString Number(float value) { return QString::number(static_cast<long long>(std::llround(value))); }

struct Column {
    const char* title;
    int width;
};

constexpr Column kColumns[] = {{"Attempt", 100}, {"Column", 90},    {"Before +", 130}, {"Before -", 130},
                               {"Old word", 120}, {"New word", 120}, {"After +", 130},  {"After -", 130},
                               {"Kept", 110}};

class Page {
public:
    explicit Page(QPainter* painter) : p_(painter) {}

    void Line(const QString& text, int pixelSize, bool bold, int gapAfter = 6) {
        if (p_ != nullptr) {
            SetFont(pixelSize, bold);
            p_->drawText(QRect(kMargin, y_, kPageW - 2 * kMargin, pixelSize + 8), Qt::AlignLeft | Qt::AlignVCenter,
                         text);
        }
        y_ += pixelSize + 8 + gapAfter;
    }

    void Cells(const std::vector<QString>& cells, bool bold) {
        if (p_ != nullptr) {
            SetFont(17, bold);
            int x = kMargin;
            for (std::size_t i = 0; i < cells.size() && i < std::size(kColumns); ++i) {
                p_->drawText(QRect(x, y_, kColumns[i].width, kRow), Qt::AlignLeft | Qt::AlignVCenter, cells[i]);
                x += kColumns[i].width;
            }
            if (bold) p_->drawLine(kMargin, y_ + kRow, x, y_ + kRow);
        }
        y_ += kRow;
    }

    void Gap(int pixels) { y_ += pixels; }
    [[nodiscard]] int Height() const { return y_ + kMargin; }

private:
    void SetFont(int pixelSize, bool bold) {
        QFont f = p_->font();
        f.setPixelSize(pixelSize);
        f.setBold(bold);
        p_->setFont(f);
    }

    QPainter* p_;
    int y_ = kMargin;
};

// Lays the record out on `page`: measures when the page has no painter.
void Lay(Page& page, const CalibRecord& record) {
    page.Line("Signal Conditioner Calibration Record", 34, true, 18);
    page.Line("Meter address:  " + Text(record.meterAddress), 20, false);
    page.Line("Board:  " + Text(record.boardName) + " signal conditioner (type " + QString::number(record.boardType) +
                  ")",
              20, false);
    page.Line("Date and time:  " + Text(record.dateTime), 20, false, 20);
    if (record.ranges.empty()) page.Line("No range has been calibrated.", 20, false);
    for (const CalibRangeRecord& range : record.ranges) {
        page.Line("Range:  " + Text(range.range) + "      word address " + Text(range.address), 22, true, 2);
        page.Line("Input applied:  " + Text(range.inputApplied) + "      desired reading:  " +
                      Number(range.desiredReading) + "      word before calibrating:  " +
                      (range.originalWord.empty() ? QString("-") : Text(range.originalWord)),
                  18, false, 4);
        std::vector<QString> titles;
        for (const Column& c : kColumns) titles.emplace_back(c.title);
        page.Cells(titles, true);
        const CalibAttempt* kept = KeptAttempt(range);
        int number = 0;
        for (const CalibAttempt& a : range.attempts) {
            page.Cells({QString::number(++number), QString::number(a.column), Text(a.plusBefore),
                        range.zero ? QString() : Text(a.minusBefore), Text(a.wordBefore),
                        Text(a.wordWritten) + (a.outOfRange ? " *" : ""), Text(a.plusAfter),
                        range.zero ? QString() : Text(a.minusAfter), &a == kept ? QString("kept") : QString()},
                       false);
        }
        const std::string left = WordLeftInMeter(range);
        page.Gap(4);
        page.Line("Word left in the meter:  " + Text(left) +
                      (kept != nullptr ? "  (kept, column " + QString::number(kept->column) + ")"
                                       : QString("  (the last attempt's; none was kept)")),
                  18, false, 22);
    }
    const bool clamped = std::any_of(record.ranges.begin(), record.ranges.end(), [](const CalibRangeRecord& r) {
        return std::any_of(r.attempts.begin(), r.attempts.end(), [](const CalibAttempt& a) { return a.outOfRange; });
    });
    if (clamped) page.Line("*  the correction exceeded the word's range and was limited to it", 16, false);
}

} // namespace

QImage CalibRecordPicture(const CalibRecord& record) {
    Page measure(nullptr);
    Lay(measure, record);
    QImage image(kPageW, std::max(kPageH, measure.Height()), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::black);
    Page page(&painter);
    Lay(page, record);
    return image;
}

} // namespace wm
