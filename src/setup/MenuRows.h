#pragma once
// The setup as the meter's own front panel presents it: one row per menu
// item, with the item's short label as the six-digit display spells it and
// what each of the six display positions shows. The menu view and
// `wmctl menu` both show these rows, so they cannot disagree.
//
// The meter's display has seven-segment digits: a code above 9 is drawn as
// one of the letters "AbCdEF", a code from 16 to 31 as the digit or letter
// of code - 16 with its point lit, and labels are spelt in the same letter
// forms ("FiLtEr", " SEtuP").
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "setup/SetupImage.h"

namespace wm {

// The three grids of the menu view: the menu rows, the input range line
// under "  INPUT OPTION", and the set points of the alarm key.
enum class MenuGrid : std::uint8_t { Main, Input, SetPt };

struct MenuRow {
    MenuGrid grid = MenuGrid::Main;
    std::string label; // as the meter spells it, leading blanks kept; "" for the input range line
    // Display positions D1..D6: the character shown, followed by "." when
    // that position's point is lit; "" for a dark position.
    std::array<std::string, 6> cells;
    bool digits = false; // a row of digit codes rather than a value text
    int help = 0;        // the row's help number (grdMain), or the set point's number (grdSetPt); 0 none
    int topic = 0;       // the help topic a click on the row opens; 0 none
};

// A dark display position among digit codes.
inline constexpr int BlankDigit = -1;

// One display position for a digit code: -1 (or 65535) dark, 0-9 the
// digit, 10-15 "A" "b" "C" "d" "E" "F", 16-31 the character of code - 16
// with its point; any other code is shown dark.
[[nodiscard]] std::string DigitCell(int code);

// A value text over the six positions, one character each. A point in the
// second to sixth character lights the point of the position before it; a
// point in the seventh is dropped with whatever follows; any other text
// shows its first six characters as they are. Blanks are dark positions.
[[nodiscard]] std::array<std::string, 6> TextCells(std::string_view text);

// Every row of the three grids for the setup, grid by grid, in the order
// the view shows them. `derived` must describe `image` (the signal-
// conditioner check's values); MeterRevision decides the rows and digits
// that older meters lack.
[[nodiscard]] std::vector<MenuRow> BuildMenuRows(const SetupImage& image, const DerivedSetup& derived,
                                                 int meterRevision);

// The help topic of a grdMain row's help number: number + 2100 below 101,
// number + 1100 from 101 on.
[[nodiscard]] constexpr int MenuHelpTopic(int helpNumber) {
    return helpNumber < 101 ? helpNumber + 2100 : helpNumber + 1100;
}
// Topic of the set-point grid's heading; set point n has topic SetPtHelpBase + n,
// also when the other set point is hidden (counting grid rows instead would
// give SETPT2 standing alone the help of SETPT1).
inline constexpr int SetPtHelpBase = 2172;

// The board line under the grids: " DC Signal Conditioner",
// " Load Cell Signal Conditioner", or "" for a type that is neither.
[[nodiscard]] std::string SigCondCaption(int scType);

// "main", "input" or "setpt".
[[nodiscard]] std::string_view MenuGridName(MenuGrid grid);
// [{"grid":..,"label":..,"cells":[six strings]},..]
[[nodiscard]] std::string MenuRowsJson(const std::vector<MenuRow>& rows);
// One row for a terminal: grid, label and the six positions, two columns
// each (the character, then its point or a blank).
[[nodiscard]] std::string FormatMenuRow(const MenuRow& row);

} // namespace wm
