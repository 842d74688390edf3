#include "gui/jumpers/BoardDrawings.h"

#include <QPainter>
#include <QPicture>
#include <algorithm>
#include <span>

namespace wm {

namespace {

// Every drawing is made on a canvas of this size and scaled to its place.
constexpr int kCanvasW = 480;
constexpr int kCanvasH = 340;
constexpr QRect kBoard(28, 34, 432, 216);

// A row of jumper positions. Each position is a pair of pins, one above the
// other; a cap across the pair is a fitted jumper. `fitted` has bit i set for
// a cap on position i: only where the board leaves the factory that way, the
// other headers depend on the installation and are drawn open.
struct HeaderDef {
    const char* name;
    std::span<const char* const> positions;
    QPoint origin; // top-left of the first pin
    unsigned fitted = 0;
};

struct BoardDef {
    JumperBoard board;
    const char* title;
    std::span<const HeaderDef> headers;
    const char* connector;
    // The connector's pins top to bottom: a list, or one text of 10-character
    // columns as the serial boards' labels are given.
    std::span<const char* const> pins;
    const char* pinColumns;
    QRect chip;
    std::span<const char* const> notes;
};

constexpr const char* kRange[] = {"200mV", "2V", "20V", "200V", "660V"};
constexpr const char* kDCInput[] = {"V", "mA", "A"};
constexpr const char* kDCShunt[] = {"2mA", "20mA", "200mA", "5A"};
constexpr HeaderDef kDCHeaders[] = {
    {"JP1  RANGE", kRange, QPoint(196, 68)},
    {"JP2  INPUT", kDCInput, QPoint(196, 136)},
    {"JP3  SHUNT", kDCShunt, QPoint(196, 204)},
};
constexpr const char* kDCPins[] = {"+V", "+mA", "+A", "COM"};
constexpr const char* kDCNotes[] = {"One jumper on each header, set for the input mode and range.",
                                    "The calibration window shows the positions for every range."};

constexpr const char* kRevMInput[] = {"V", "mA", "RATIO"};
constexpr const char* kRevMShunt[] = {"2mA", "20mA", "200mA"};
constexpr HeaderDef kRevMHeaders[] = {
    {"JP1  RANGE", kRange, QPoint(196, 68)},
    {"JP2  INPUT", kRevMInput, QPoint(196, 136)},
    {"JP3  SHUNT", kRevMShunt, QPoint(196, 204)},
};
constexpr const char* kRevMPins[] = {"1 - Excitation", "2 + Excitation", "3 - Signal In", "4 + Signal In"};
constexpr const char* kRevMNotes[] = {"One jumper on each header, set for the input mode and range.",
                                      "Terminals 1 and 2 supply the excitation for ratio inputs."};

constexpr const char* kGain[] = {"20mV", "50mV", "100mV", "250mV", "500mV"};
constexpr HeaderDef kLCHeaders[] = {{"JP1  GAIN", kGain, QPoint(236, 110)}};
constexpr const char* kLCPins[] = {"1 -10V Excitation", "2 - Sense",         "3 - Signal In",
                                   "4 + Signal In",     "5 +10V Excitation", "6 + Sense"};
constexpr const char* kLCNotes[] = {"One jumper on the gain header, set for the signal range.",
                                    "Four-wire load cell: link 1 to 2 and 5 to 6 at the connector."};

constexpr const char* kSupply[] = {"115V", "230V"};
constexpr HeaderDef kPSHeaders[] = {{"JP1  SUPPLY", kSupply, QPoint(260, 100)}};
constexpr const char* kPSPins[] = {"1 L", "2 N", "3 EARTH"};
constexpr const char* kPSNotes[] = {"Set the jumper to the supply voltage before switching on:",
                                    "a wrong setting can destroy the meter."};

constexpr const char* kRS232GMode[] = {"NORM", "SLAVE"};
constexpr const char* kRS232GRts[] = {"PULL-UP"};
constexpr HeaderDef kRS232GHeaders[] = {
    {"JP1  MODE", kRS232GMode, QPoint(236, 84)},
    {"JP2  RTS", kRS232GRts, QPoint(236, 162)},
};
constexpr const char* kRS232GNotes[] = {"NORM: normal operation.  SLAVE: slave display from another meter.",
                                        "PULL-UP: pull-up resistor on the RTS line."};

constexpr const char* kRS232HLetters[] = {"e", "f", "g"};
constexpr HeaderDef kRS232HHeaders[] = {{"JUMPERS", kRS232HLetters, QPoint(250, 110), 0b101}};
constexpr const char* kRS232HNotes[] = {"e: normal operation   f: slave display   g: RTS pull-up",
                                        "Shown as shipped: e + g installed."};

constexpr const char* kRS485GDuplex[] = {"FULL", "HALF"};
constexpr const char* kRS485GTerm[] = {"TERM"};
constexpr HeaderDef kRS485GHeaders[] = {
    {"JP1  DUPLEX", kRS485GDuplex, QPoint(250, 84)},
    {"JP2  LINE", kRS485GTerm, QPoint(250, 162)},
};
constexpr const char* kRS485GNotes[] = {"FULL: four wires.  HALF: two wires (match setup page 3).",
                                        "TERM: termination, only on the meter at the far end of a long line."};

constexpr const char* kRS485HLetters[] = {"a", "b", "c", "d"};
constexpr HeaderDef kRS485HHeaders[] = {{"JUMPERS", kRS485HLetters, QPoint(250, 110)}};
constexpr const char* kRS485HNotes[] = {"Full duplex: none for short runs, b + d for long runs.",
                                        "Half duplex: a + c, add d for long runs."};

const BoardDef kBoards[] = {
    {JumperBoard::DC, "DC Signal Conditioner", kDCHeaders, "TB1", kDCPins, nullptr, QRect(412, 100, 24, 64), kDCNotes},
    {JumperBoard::DCRevM, "DC Signal Conditioner Rev M", kRevMHeaders, "TB1", kRevMPins, nullptr,
     QRect(412, 100, 24, 64), kRevMNotes},
    {JumperBoard::LoadCell, "Load Cell Signal Conditioner", kLCHeaders, "TB1", kLCPins, nullptr,
     QRect(250, 190, 120, 26), kLCNotes},
    {JumperBoard::PowerSupply, "Power Supply", kPSHeaders, "TB1", kPSPins, nullptr, QRect(360, 170, 70, 40),
     kPSNotes},
    {JumperBoard::RS232G, "RS232 Digital Interface Board Rev G", kRS232GHeaders, "RJ11", {}, RS232PinLabels,
     QRect(360, 176, 80, 30), kRS232GNotes},
    {JumperBoard::RS232H, "RS232 Digital Interface Board Rev H", kRS232HHeaders, "RJ11", {}, RS232PinLabels,
     QRect(360, 176, 80, 30), kRS232HNotes},
    {JumperBoard::RS485G, "RS485 Digital Interface Board Rev G", kRS485GHeaders, "RJ11", {}, RS485PinLabels,
     QRect(370, 176, 70, 30), kRS485GNotes},
    {JumperBoard::RS485H, "RS485 Digital Interface Board Rev H", kRS485HHeaders, "RJ11", {}, RS485PinLabels,
     QRect(370, 176, 70, 30), kRS485HNotes},
};

const BoardDef& FindBoard(JumperBoard board) {
    return *std::find_if(std::begin(kBoards), std::end(kBoards), [board](const BoardDef& b) { return b.board == board; });
}

QStringList Pins(const BoardDef& def) {
    QStringList pins;
    if (def.pinColumns != nullptr) {
        const QString all = QString::fromLatin1(def.pinColumns);
        for (int at = 0; at < all.size(); at += 10) pins << all.mid(at, 10).trimmed();
    } else {
        for (const char* pin : def.pins) pins << QString::fromLatin1(pin);
    }
    return pins;
}

const QColor kBoardGreen(26, 104, 58);
const QColor kBoardEdge(12, 60, 30);
const QColor kSilk(240, 240, 230);
const QColor kPinGold(214, 176, 72);
const QColor kCap(25, 25, 25);
const QColor kCapEdge(220, 30, 30);
const QColor kFittedText(255, 230, 90);

constexpr int kPin = 8;      // a pin's square
constexpr int kPinStep = 13; // pin to pin within a pair
constexpr int kPosStep = 44; // position to position along a header

// The painter and the list of every text drawn with it.
struct Canvas {
    QPainter& painter;
    QStringList labels;

    void Text(const QRect& box, int flags, const QString& text, int size, bool bold, const QColor& colour) {
        QFont f = painter.font();
        f.setPixelSize(size);
        f.setBold(bold);
        painter.setFont(f);
        painter.setPen(colour);
        painter.drawText(box, flags | Qt::TextDontClip, text);
        labels << text;
    }
};

void DrawBoardOutline(QPainter& painter) {
    painter.setPen(QPen(kBoardEdge, 2));
    painter.setBrush(kBoardGreen);
    painter.drawRoundedRect(kBoard, 10, 10);
    painter.setPen(QPen(kSilk, 1.5));
    painter.setBrush(Qt::white);
    for (const QPoint c :
         {QPoint(kBoard.left() + 14, kBoard.top() + 14), QPoint(kBoard.right() - 14, kBoard.top() + 14),
          QPoint(kBoard.left() + 14, kBoard.bottom() - 14), QPoint(kBoard.right() - 14, kBoard.bottom() - 14)})
        painter.drawEllipse(c, 6, 6);
}

// A chip with its legs along the longer sides, so the board reads as a board.
void DrawChip(QPainter& painter, const QRect& body) {
    const bool upright = body.height() > body.width();
    const int length = upright ? body.height() : body.width();
    const int legs = std::max(2, length / 12);
    painter.setPen(QPen(QColor(180, 180, 180), 1.5));
    for (int i = 1; i <= legs; ++i) {
        const int along = i * length / (legs + 1);
        if (upright) {
            const int y = body.top() + along;
            painter.drawLine(body.left() - 4, y, body.left(), y);
            painter.drawLine(body.right(), y, body.right() + 4, y);
        } else {
            const int x = body.left() + along;
            painter.drawLine(x, body.top() - 4, x, body.top());
            painter.drawLine(x, body.bottom(), x, body.bottom() + 4);
        }
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(35, 35, 40));
    painter.drawRect(body);
    painter.setBrush(QColor(90, 90, 95));
    painter.drawEllipse(QPoint(body.left() + 6, body.top() + 6), 2, 2);
}

void DrawHeader(Canvas& c, const HeaderDef& header) {
    QPainter& painter = c.painter;
    const QPoint o = header.origin;
    const int count = static_cast<int>(header.positions.size());
    c.Text(QRect(o.x() - 8, o.y() - 22, std::max(count, 3) * kPosStep, 14), Qt::AlignLeft | Qt::AlignVCenter,
           header.name, 11, true, kSilk);
    for (int i = 0; i < count; ++i) {
        const int x = o.x() + i * kPosStep;
        painter.setPen(QPen(QColor(120, 95, 30), 1));
        painter.setBrush(kPinGold);
        painter.drawRect(x, o.y(), kPin, kPin);
        painter.drawRect(x, o.y() + kPinStep, kPin, kPin);
        const bool fitted = (header.fitted & (1u << i)) != 0;
        if (fitted) {
            painter.setPen(QPen(kCapEdge, 2.5));
            painter.setBrush(kCap);
            painter.drawRoundedRect(QRect(x - 4, o.y() - 4, kPin + 8, kPinStep + kPin + 8), 2, 2);
        }
        c.Text(QRect(x - 18, o.y() + kPinStep + kPin + 6, kPin + 36, 14), Qt::AlignHCenter | Qt::AlignTop,
               header.positions[static_cast<std::size_t>(i)], 11, fitted, fitted ? kFittedText : kSilk);
    }
}

// The connector on the board's left edge, its name above it and each pin's
// label beside the pin.
void DrawConnector(Canvas& c, const BoardDef& def) {
    QPainter& painter = c.painter;
    const QStringList pins = Pins(def);
    const int count = static_cast<int>(pins.size());
    const int pitch = count > 4 ? 26 : 32;
    const int top = kBoard.center().y() - count * pitch / 2 + 6;
    const QRect block(kBoard.left() + 6, top, 26, count * pitch);
    c.Text(QRect(block.right() + 8, top - 20, 80, 16), Qt::AlignLeft | Qt::AlignVCenter, def.connector, 11, true,
           kSilk);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(QColor(70, 130, 70));
    painter.drawRect(block);
    for (int i = 0; i < count; ++i) {
        const int y = top + i * pitch + pitch / 2;
        painter.setPen(QPen(QColor(60, 60, 60), 1));
        painter.setBrush(QColor(200, 200, 200));
        painter.drawEllipse(QPoint(block.center().x(), y), 7, 7);
        painter.drawLine(block.center().x() - 5, y, block.center().x() + 5, y);
        c.Text(QRect(block.right() + 8, y - 8, 150, 16), Qt::AlignLeft | Qt::AlignVCenter, pins[i], 11, false, kSilk);
    }
}

void DrawNotes(Canvas& c, const BoardDef& def) {
    int y = kBoard.bottom() + 8;
    for (const char* note : def.notes) {
        c.Text(QRect(kBoard.left(), y, kBoard.width(), 16), Qt::AlignLeft | Qt::AlignVCenter, note, 12, false,
               Qt::black);
        y += 18;
    }
    const bool anyFitted =
        std::any_of(def.headers.begin(), def.headers.end(), [](const HeaderDef& h) { return h.fitted != 0; });
    if (!anyFitted) return;
    QPainter& painter = c.painter;
    const QRect cap(kBoard.left() + 4, y + 4, kPin + 6, kPinStep + kPin + 2);
    painter.setPen(QPen(kCapEdge, 2));
    painter.setBrush(kCap);
    painter.drawRoundedRect(cap, 2, 2);
    c.Text(QRect(cap.right() + 8, cap.top(), 200, cap.height()), Qt::AlignLeft | Qt::AlignVCenter, "jumper installed",
           12, false, Qt::black);
}

void DrawBoard(Canvas& c, const BoardDef& def) {
    c.Text(QRect(0, 4, kCanvasW, 26), Qt::AlignCenter, def.title, 17, true, Qt::black);
    DrawBoardOutline(c.painter);
    DrawChip(c.painter, def.chip);
    for (const HeaderDef& header : def.headers) DrawHeader(c, header);
    DrawConnector(c, def);
    DrawNotes(c, def);
}

} // namespace

QSize BoardCanvasSize() { return QSize(kCanvasW, kCanvasH); }

QStringList PaintBoard(QPainter& painter, const QRect& area, JumperBoard board) {
    if (area.isEmpty()) return {};
    painter.save();
    painter.fillRect(area, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double scale =
        std::min(static_cast<double>(area.width()) / kCanvasW, static_cast<double>(area.height()) / kCanvasH);
    painter.translate(area.left() + (area.width() - kCanvasW * scale) / 2,
                      area.top() + (area.height() - kCanvasH * scale) / 2);
    painter.scale(scale, scale);
    Canvas canvas{painter, {}};
    DrawBoard(canvas, FindBoard(board));
    painter.restore();
    return canvas.labels;
}

QStringList BoardLabels(JumperBoard board) {
    QPicture record;
    QPainter painter(&record);
    return PaintBoard(painter, QRect(QPoint(0, 0), BoardCanvasSize()), board);
}

QImage BoardPicture(JumperBoard board, const QSize& size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintBoard(painter, image.rect(), board);
    return image;
}

BoardView::BoardView(JumperBoard board, QWidget* parent) : QWidget(parent), board_(board) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(320, 220);
}

void BoardView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintBoard(painter, rect(), board_);
}

} // namespace wm
