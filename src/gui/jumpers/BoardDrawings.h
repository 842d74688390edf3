#pragma once
// Drawings of the meter's boards for the Jumpers windows: each board with its
// jumper positions, its connector and the pin labels. They are drawn in code,
// so they stay sharp at any screen scale and print cleanly. Every text of a
// drawing goes through one routine that also lists it, so what a drawing says
// can be checked without looking at pixels.
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

class QPainter;

namespace wm {

enum class JumperBoard { DC, DCRevM, LoadCell, PowerSupply, RS232G, RS232H, RS485G, RS485H };

inline constexpr JumperBoard AllJumperBoards[] = {JumperBoard::DC,          JumperBoard::DCRevM, JumperBoard::LoadCell,
                                                  JumperBoard::PowerSupply, JumperBoard::RS232G, JumperBoard::RS232H,
                                                  JumperBoard::RS485G,      JumperBoard::RS485H};

// The pin labels of the serial boards' connectors, one 10-character column
// per pin from pin 6 down to pin 1.
inline constexpr const char* RS232PinLabels = "6 N/C     5 ISO GND 4 RX      3 TX      2 RTS     1 N/C";
inline constexpr const char* RS485PinLabels = "6 ISO GND 5 BRX     4 ARX     3 ATX     2 BTX     1 ISO GND";

// Draws the board into `area`, keeping its proportions and centring it on a
// white ground, and returns every text drawn, in drawing order.
QStringList PaintBoard(QPainter& painter, const QRect& area, JumperBoard board);

// The texts of the drawing, without drawing it anywhere visible.
[[nodiscard]] QStringList BoardLabels(JumperBoard board);

// The drawing as an image of the given size.
[[nodiscard]] QImage BoardPicture(JumperBoard board, const QSize& size);

// The size the drawing is designed at; any other size scales it.
[[nodiscard]] QSize BoardCanvasSize();

// A control that shows one board, scaled to its size.
class BoardView final : public QWidget {
    Q_OBJECT

public:
    explicit BoardView(JumperBoard board, QWidget* parent = nullptr);
    [[nodiscard]] JumperBoard Board() const { return board_; }
    [[nodiscard]] QSize sizeHint() const override { return QSize(480, 340); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    JumperBoard board_;
};

} // namespace wm
