#pragma once
// What the plot and the graph draw, as data. Each picture has a user scale
// (its own units, y growing upwards) and is drawn with a few operations:
// straight lines of a width in pixels, solid or dotted; filled boxes, black
// or white (white erases); texts placed by their top left corner; and
// clearing the whole picture. The windows replay the operations on a
// persistent image; the tests read them.
//
// Also here: how the scale entries are read and how the labels are
// formatted, which the plot and the graph share.
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace wm {

// The picture's corners in its own units: x grows to the right, y upwards
// (top > bottom).
struct UserScale {
    double left = 0, top = 0, right = 0, bottom = 0;
};

struct DrawLine {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int width = 2; // pixels
    bool dotted = false;
    friend bool operator==(const DrawLine&, const DrawLine&) = default;
};

// A filled box between two opposite corners; a white box erases.
struct DrawBox {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool black = true;
    friend bool operator==(const DrawBox&, const DrawBox&) = default;
};

// A text whose top left corner is at (x, y).
struct DrawText {
    double x = 0, y = 0;
    std::string text;
    friend bool operator==(const DrawText&, const DrawText&) = default;
};

// The whole picture white again.
struct DrawClear {
    friend bool operator==(const DrawClear&, const DrawClear&) = default;
};

using DrawOp = std::variant<DrawClear, DrawLine, DrawBox, DrawText>;
using Drawing = std::vector<DrawOp>;

// How big a text comes out on the picture, in its user units (both
// positive). The window measures with its font at the picture's size.
struct TextMeasure {
    std::function<double(std::string_view)> width;
    std::function<double(std::string_view)> height;
};

// The texts of a drawing, in the order they are drawn.
[[nodiscard]] std::vector<std::string> TextsOf(const Drawing& drawing);

// The number in a scale entry, its blanks trimmed: a text that is not a
// number reads as 0.
[[nodiscard]] double EntryValue(std::string_view text);

// The decimals the value labels show: the most digits after the decimal
// point in either entry (0 when neither has one), at most MaxLabelDecimals.
inline constexpr int MaxLabelDecimals = 10;
[[nodiscard]] int LabelDecimals(std::string_view midEntry, std::string_view smallEntry);

// The value scale the plot and the graph share, from their mid-scale and
// small-division entries: a small division of 0 becomes 1 (a mid-scale of 0
// stays), and the labels get LabelDecimals of the two entries.
struct ValueScale {
    double mid = 0;
    double small = 1;
    int decimals = 0;
    [[nodiscard]] static ValueScale FromEntries(std::string_view midEntry, std::string_view smallEntry);
};

// A number laid out by a picture of digit placeholders: "0" always shows a
// digit, "#" only a significant one, one "." marks the decimals (no
// grouping). The value is rounded to the picture's decimals; decimals that
// "#" stands for are dropped when they are zero, and the point with them
// when no decimal is left. So "0.00" gives "140.50", "######.######" gives
// "2.5", ".25" (no leading zero) and "" for 0, "#####0" gives "12" and "0".
// A minus sign only for a value that is not 0 as shown.
[[nodiscard]] std::string FormatPicture(double value, std::string_view picture);

// "0." followed by the decimals' zeros ("0." for none): the value labels'
// picture.
[[nodiscard]] std::string ValueLabelPicture(int decimals);

// A position on the picture from a computed one: rounded to the nearest
// unit (halves up), far-off values held at +-1e9.
[[nodiscard]] double WholeUnits(double value);

} // namespace wm
