#include "gui/calib/JumperDrawings.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>
#include <span>

namespace wm {

namespace {

// Every drawing is made on a canvas of this size and scaled to its place.
constexpr int kCanvasW = 480;
constexpr int kCanvasH = 300;

// The board's outline on the canvas.
constexpr QRect kBoard(28, 34, 432, 196);

enum class Board { DC, LoadCell };

// A row of jumper positions. Each position is a pair of pins, one above the
// other; a jumper cap across the pair selects that position.
struct Header {
    const char* name;
    std::span<const char* const> positions;
    QPoint origin; // top-left of the first pin
};

// The DC board: the divider selects the voltage range; for a current input
// the divider stays at 200 mV, the input switch selects the current path and
// the shunt the current range.
constexpr const char* kDCDivider[] = {"200mV", "2V", "20V", "200V", "660V"};
constexpr const char* kDCInput[] = {"V", "mA", "A"};
constexpr const char* kDCShunt[] = {"2mA", "20mA", "200mA", "5A"};
constexpr Header kDCHeaders[] = {
    {"JP1  RANGE", kDCDivider, QPoint(150, 78)},
    {"JP2  INPUT", kDCInput, QPoint(360, 78)},
    {"JP3  SHUNT", kDCShunt, QPoint(150, 162)},
};
constexpr const char* kDCTerminals[] = {"+V", "+mA", "+A", "COM"};

// The load-cell board: one gain header; the excitation terminals are not used
// while calibrating, the input goes across the signal terminals.
constexpr const char* kLCGain[] = {"20mV", "50mV", "100mV", "250mV", "500mV"};
constexpr Header kLCHeaders[] = {
    {"JP1  GAIN", kLCGain, QPoint(170, 96)},
};
constexpr const char* kLCTerminals[] = {"1 -EXC", "2 -SEN", "3 -SIG", "4 +SIG", "5 +EXC", "6 +SEN"};

constexpr int kNone = -1;

// One picture: which position of each header carries a jumper (kNone: that
// header has no jumper for the range), and the terminals the calibration
// input goes to.
struct Picture {
    int number;
    Board board;
    const char* range;
    std::array<int, 3> jumpers;
    int plusTerminal;
    int minusTerminal;
};

constexpr Picture kPictures[] = {
    {11, Board::DC, "200 mV DC", {0, 0, kNone}, 0, 3},
    {12, Board::DC, "2 V DC", {1, 0, kNone}, 0, 3},
    {13, Board::DC, "20 V DC", {2, 0, kNone}, 0, 3},
    {14, Board::DC, "200 V DC", {3, 0, kNone}, 0, 3},
    {15, Board::DC, "660 V DC", {4, 0, kNone}, 0, 3},
    {16, Board::DC, "2 mA DC", {0, 1, 0}, 1, 3},
    {17, Board::DC, "20 mA DC", {0, 1, 1}, 1, 3},
    {18, Board::DC, "200 mA DC", {0, 1, 2}, 1, 3},
    {19, Board::DC, "5 A  DC", {0, 2, 3}, 2, 3},
    {31, Board::LoadCell, "20 mV DC", {0, kNone, kNone}, 3, 2},
    {32, Board::LoadCell, "50 mV DC", {1, kNone, kNone}, 3, 2},
    {33, Board::LoadCell, "100 mV DC", {2, kNone, kNone}, 3, 2},
    {34, Board::LoadCell, "250 mV DC", {3, kNone, kNone}, 3, 2},
    {35, Board::LoadCell, "500 mV DC", {4, kNone, kNone}, 3, 2},
};

const Picture* FindPicture(int number) {
    for (const Picture& p : kPictures)
        if (p.number == number) return &p;
    return nullptr;
}

const QColor kBoardGreen(26, 104, 58);
const QColor kBoardEdge(12, 60, 30);
const QColor kSilk(240, 240, 230);
const QColor kPinGold(214, 176, 72);
const QColor kCap(25, 25, 25);
const QColor kHighlight(220, 30, 30);
const QColor kLeadPlus(200, 20, 20);
const QColor kLeadMinus(20, 20, 20);

constexpr int kPin = 8;      // a pin's square
constexpr int kPinStep = 13; // pin to pin within a pair
constexpr int kPosStep = 40; // position to position along a header

QFont Font(const QPainter& painter, int pixelSize, bool bold) {
    QFont f = painter.font();
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

void DrawText(QPainter& painter, const QRect& box, int flags, const QString& text, int size, bool bold,
              const QColor& colour) {
    painter.setFont(Font(painter, size, bold));
    painter.setPen(colour);
    painter.drawText(box, flags, text);
}

void DrawBoard(QPainter& painter) {
    painter.setPen(QPen(kBoardEdge, 2));
    painter.setBrush(kBoardGreen);
    painter.drawRoundedRect(kBoard, 10, 10);
    // Mounting holes in the corners.
    painter.setPen(QPen(kSilk, 1.5));
    painter.setBrush(Qt::white);
    for (const QPoint c : {QPoint(kBoard.left() + 14, kBoard.top() + 14), QPoint(kBoard.right() - 14, kBoard.top() + 14),
                           QPoint(kBoard.left() + 14, kBoard.bottom() - 14),
                           QPoint(kBoard.right() - 14, kBoard.bottom() - 14)})
        painter.drawEllipse(c, 6, 6);
}

// A chip with its legs, so that the board reads as a board.
void DrawChip(QPainter& painter, const QRect& body, int legs) {
    painter.setPen(QPen(QColor(180, 180, 180), 1.5));
    const int step = body.width() / (legs + 1);
    for (int i = 1; i <= legs; ++i) {
        const int x = body.left() + i * step;
        painter.drawLine(x, body.top() - 4, x, body.top());
        painter.drawLine(x, body.bottom(), x, body.bottom() + 4);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(35, 35, 40));
    painter.drawRect(body);
    painter.setBrush(QColor(90, 90, 95));
    painter.drawEllipse(QPoint(body.left() + 6, body.top() + 6), 2, 2);
}

void DrawHeader(QPainter& painter, const Header& header, int chosen) {
    const QPoint o = header.origin;
    const int count = static_cast<int>(header.positions.size());
    DrawText(painter, QRect(o.x() - 8, o.y() - 22, count * kPosStep, 14), Qt::AlignLeft | Qt::AlignVCenter,
             header.name, 11, true, kSilk);
    for (int i = 0; i < count; ++i) {
        const int x = o.x() + i * kPosStep;
        painter.setPen(QPen(QColor(120, 95, 30), 1));
        painter.setBrush(kPinGold);
        painter.drawRect(x, o.y(), kPin, kPin);
        painter.drawRect(x, o.y() + kPinStep, kPin, kPin);
        const bool on = i == chosen;
        if (on) {
            const QRect cap(x - 4, o.y() - 4, kPin + 8, kPinStep + kPin + 8);
            painter.setPen(QPen(kHighlight, 2.5));
            painter.setBrush(kCap);
            painter.drawRoundedRect(cap, 2, 2);
        }
        DrawText(painter, QRect(x - 16, o.y() + kPinStep + kPin + 6, kPin + 32, 14), Qt::AlignHCenter | Qt::AlignTop,
                 header.positions[static_cast<std::size_t>(i)], 10, on, on ? QColor(255, 230, 90) : kSilk);
    }
}

// The input terminal block on the board's left edge, with the leads of the
// calibration source on the two terminals it goes to.
void DrawTerminals(QPainter& painter, std::span<const char* const> names, int plus, int minus) {
    const int count = static_cast<int>(names.size());
    const int pitch = count > 4 ? 24 : 30;
    const int top = kBoard.center().y() - count * pitch / 2;
    const QRect block(kBoard.left() + 4, top, 26, count * pitch);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(QColor(70, 130, 70));
    painter.drawRect(block);
    for (int i = 0; i < count; ++i) {
        const int y = top + i * pitch + pitch / 2;
        painter.setPen(QPen(QColor(60, 60, 60), 1));
        painter.setBrush(QColor(200, 200, 200));
        painter.drawEllipse(QPoint(block.center().x(), y), 7, 7);
        painter.drawLine(block.center().x() - 5, y, block.center().x() + 5, y);
        const bool used = i == plus || i == minus;
        DrawText(painter, QRect(block.right() + 6, y - 8, 70, 16), Qt::AlignLeft | Qt::AlignVCenter,
                 names[static_cast<std::size_t>(i)], 11, used, used ? QColor(255, 230, 90) : kSilk);
        if (!used) continue;
        // The lead comes in from outside the board, red for + and black for -.
        const QColor lead = i == plus ? kLeadPlus : kLeadMinus;
        painter.setPen(QPen(lead, 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(4, y, block.center().x() - 8, y);
        DrawText(painter, QRect(0, y - 18, 20, 14), Qt::AlignCenter, i == plus ? "+" : "-", 14, true, lead);
    }
}

void DrawLegend(QPainter& painter, const Picture& picture) {
    const int y = kBoard.bottom() + 10;
    DrawText(painter, QRect(0, y, kCanvasW, 24), Qt::AlignHCenter | Qt::AlignTop,
             QStringLiteral("Range:  ") + QString::fromLatin1(picture.range), 18, true, Qt::black);
    // A key to the cap symbol.
    const QRect cap(kBoard.left() + 4, y + 32, kPin + 6, kPinStep + kPin + 2);
    painter.setPen(QPen(kHighlight, 2));
    painter.setBrush(kCap);
    painter.drawRoundedRect(cap, 2, 2);
    DrawText(painter, QRect(cap.right() + 8, cap.top(), 160, cap.height()), Qt::AlignLeft | Qt::AlignVCenter,
             "jumper installed", 11, false, Qt::black);
    DrawText(painter, QRect(kCanvasW / 2, cap.top(), kBoard.right() - kCanvasW / 2, cap.height()),
             Qt::AlignRight | Qt::AlignVCenter, "Leads: input signal + and -", 11, false, Qt::black);
}

void DrawPicture(QPainter& painter, const Picture& picture) {
    const bool dc = picture.board == Board::DC;
    DrawText(painter, QRect(0, 4, kCanvasW, 26), Qt::AlignCenter,
             dc ? "DC Signal Conditioner" : "Load Cell Signal Conditioner", 17, true, Qt::black);
    DrawBoard(painter);
    if (dc) {
        DrawChip(painter, QRect(360, 160, 64, 28), 6);
    } else {
        DrawChip(painter, QRect(180, 170, 80, 28), 8);
        DrawChip(painter, QRect(300, 170, 56, 28), 4);
    }
    const std::span<const Header> headers = dc ? std::span<const Header>(kDCHeaders) : std::span<const Header>(kLCHeaders);
    for (std::size_t i = 0; i < headers.size(); ++i) DrawHeader(painter, headers[i], picture.jumpers[i]);
    if (dc)
        DrawTerminals(painter, kDCTerminals, picture.plusTerminal, picture.minusTerminal);
    else
        DrawTerminals(painter, kLCTerminals, picture.plusTerminal, picture.minusTerminal);
    DrawLegend(painter, picture);
}

void DrawNoPicture(QPainter& painter, int number) {
    painter.setPen(QPen(QColor(128, 128, 128), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(8, 8, kCanvasW - 16, kCanvasH - 16));
    DrawText(painter, QRect(0, 0, kCanvasW, kCanvasH), Qt::AlignCenter,
             QStringLiteral("no picture (%1)").arg(number), 18, false, QColor(100, 100, 100));
}

} // namespace

bool HasJumperPicture(int pictureNumber) { return FindPicture(pictureNumber) != nullptr; }

QString JumperPictureRange(int pictureNumber) {
    const Picture* p = FindPicture(pictureNumber);
    return p != nullptr ? QString::fromLatin1(p->range) : QString();
}

void PaintJumperPicture(QPainter& painter, const QRect& area, int pictureNumber) {
    if (area.isEmpty()) return;
    painter.save();
    painter.fillRect(area, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double scale = std::min(static_cast<double>(area.width()) / kCanvasW,
                                  static_cast<double>(area.height()) / kCanvasH);
    painter.translate(area.left() + (area.width() - kCanvasW * scale) / 2,
                      area.top() + (area.height() - kCanvasH * scale) / 2);
    painter.scale(scale, scale);
    if (const Picture* p = FindPicture(pictureNumber))
        DrawPicture(painter, *p);
    else
        DrawNoPicture(painter, pictureNumber);
    painter.restore();
}

QImage JumperPicture(int pictureNumber, const QSize& size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintJumperPicture(painter, image.rect(), pictureNumber);
    return image;
}

JumperView::JumperView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(240, 150);
}

void JumperView::SetPicture(int pictureNumber) {
    picture_ = pictureNumber;
    setToolTip(HasJumperPicture(pictureNumber) ? JumperPictureRange(pictureNumber) : QString());
    update();
}

void JumperView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Before any range has been chosen the place stays empty.
    if (picture_ == 0)
        painter.fillRect(rect(), Qt::white);
    else
        PaintJumperPicture(painter, rect(), picture_);
}

} // namespace wm
