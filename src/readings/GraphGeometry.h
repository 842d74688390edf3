#pragma once
// The readings graph: a histogram of the meter's readings in 31 bins, each
// one small division wide, bin 15 centred on the mid-scale value. The
// picture's units: bin i's bar stands on the axis between x = 30i + 20 and
// 30i + 40; the top of the picture (y = 1000) stands for the vertical scale,
// a count that doubles whenever a bar would pass it. Readings beyond the
// bins make a marker blink below the axis, "<-" on the left and "->" on the
// right.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "readings/ChartDrawing.h"

namespace wm {

// The three scale entries as a graph uses them.
struct GraphSettings {
    double mid = 0;        // the centre of bin 15
    double small = 1;      // a bin's width; never 0
    double vertScale = 1;  // the count at the top to begin with; at least 1
    int decimals = 0;      // the bin labels' decimals

    // From the entry texts: a small division of 0 becomes 1. An initial
    // vertical scale below 1 (0, negative, not a number) starts at 1: the
    // scale must be a count a bar can reach.
    [[nodiscard]] static GraphSettings FromEntries(std::string_view midEntry, std::string_view smallEntry,
                                                   std::string_view vertScaleEntry);
};

// A count label and the height it stands at.
struct CountLabel {
    double y = 0;
    std::string text;
    friend bool operator==(const CountLabel&, const CountLabel&) = default;
};

struct GraphStep {
    int bin = 0;            // -1 below the bins, 31 above
    bool rescaled = false;  // the scale doubled: `drawing` is the whole picture again
    Drawing drawing;        // what to draw for this reading
};

class GraphGeometry {
public:
    static constexpr UserScale Scale{-150, 1030, 1000, -80};
    static constexpr int Bins = 31;
    static constexpr double Top = 1000; // the height of the vertical scale

    GraphGeometry(GraphSettings settings, TextMeasure measure);

    [[nodiscard]] const GraphSettings& Settings() const { return s_; }

    // The whole picture: cleared, the axes and ticks, the bin labels, the
    // count labels with their dotted lines, and the bars as counted so far.
    [[nodiscard]] Drawing Frame() const;
    // The bin labels left to right: the centres of bins 0, 5, ..., 30.
    [[nodiscard]] std::vector<std::string> BinLabels() const;
    // The count labels bottom to top, on the fifths of the height: j times a
    // fifth of the scale rounded to a whole count (at least 1), j = 0..5.
    [[nodiscard]] std::vector<CountLabel> CountLabels() const;

    // The bin of a reading: the nearest whole number of small divisions from
    // the mid-scale value, plus 15; -1 and 31 for everything beyond.
    [[nodiscard]] int Bin(double reading) const;

    // Counts a reading and says what to draw: a new slice of its bar, the
    // whole picture after the scale doubled, or the marker blinking.
    GraphStep Add(double reading);

    [[nodiscard]] double VertScale() const { return scale_; }
    [[nodiscard]] std::uint64_t Count(int bin) const { return counts_.at(static_cast<std::size_t>(bin)); }
    [[nodiscard]] bool LeftMarkerShown() const { return leftShown_; }
    [[nodiscard]] bool RightMarkerShown() const { return rightShown_; }

    // Where a marker's text goes (its top left corner).
    static constexpr double MarkerY = -5;
    static constexpr double LeftMarkerX = -10;
    static constexpr double RightMarkerX = 950;

private:
    [[nodiscard]] double Height(std::uint64_t count) const;
    [[nodiscard]] DrawText BinLabel(int k, const std::string& text) const;
    void Marker(Drawing& d, bool left, bool show) const;

    GraphSettings s_;
    TextMeasure measure_;
    double scale_;
    std::array<std::uint64_t, Bins> counts_{};
    bool leftShown_ = false;
    bool rightShown_ = false;
};

} // namespace wm
