#include "readings/GraphGeometry.h"

#include <algorithm>
#include <cmath>

namespace wm {

GraphSettings GraphSettings::FromEntries(std::string_view midEntry, std::string_view smallEntry,
                                         std::string_view vertScaleEntry) {
    GraphSettings s;
    const ValueScale scale = ValueScale::FromEntries(midEntry, smallEntry);
    s.mid = scale.mid;
    s.small = scale.small;
    s.decimals = scale.decimals;
    s.vertScale = EntryValue(vertScaleEntry);
    if (!(s.vertScale >= 1)) s.vertScale = 1;
    return s;
}

GraphGeometry::GraphGeometry(GraphSettings settings, TextMeasure measure)
    : s_(settings), measure_(std::move(measure)), scale_(settings.vertScale) {}

std::vector<std::string> GraphGeometry::BinLabels() const {
    const std::string picture = ValueLabelPicture(s_.decimals);
    std::vector<std::string> labels;
    for (int k = -15; k <= 15; k += 5) labels.push_back(FormatPicture(k * s_.small + s_.mid, picture));
    return labels;
}

std::vector<CountLabel> GraphGeometry::CountLabels() const {
    // Six labels on the fifths of the height, each a multiple of the scale's
    // fifth rounded to a whole count. The rounding is what a technician reads
    // off the meter's own tool, so it stays, but a step of 0 (a scale below
    // 2.5) would label every line "0": it is at least 1.
    const double step = std::max(1.0, std::floor(scale_ / 5 + 0.5));
    std::vector<CountLabel> labels;
    for (int j = 0; j <= 5; ++j) labels.push_back({Top * j / 5, FormatPicture(step * j, "#####0")});
    return labels;
}

double GraphGeometry::Height(std::uint64_t count) const { return static_cast<double>(count) * Top / scale_; }

DrawText GraphGeometry::BinLabel(int k, const std::string& text) const {
    return DrawText{30.0 * k + 480 - measure_.width(text) / 2, -60 + measure_.height(text) / 2, text};
}

Drawing GraphGeometry::Frame() const {
    Drawing d{DrawClear{}};
    const auto line = [&d](double x1, double y1, double x2, double y2, int width = 2, bool dotted = false) {
        d.emplace_back(DrawLine{x1, y1, x2, y2, width, dotted});
    };
    line(0, 1030, 0, 0);
    line(0, 0, 1000, 0);
    // A tick under the middle of every bin, a longer one under every fifth.
    for (int i = 0; i < Bins; ++i) line(30 * i + 30, 0, 30 * i + 30, i % 5 == 0 ? -30 : -15);
    const std::vector<std::string> bins = BinLabels();
    for (std::size_t n = 0; n < bins.size(); ++n) d.emplace_back(BinLabel(-15 + 5 * static_cast<int>(n), bins[n]));
    // The count labels, each centred on its tick, with a dotted line across.
    for (const CountLabel& label : CountLabels()) {
        line(-15, label.y, 0, label.y);
        line(0, label.y, 1000, label.y, 1, true);
        d.emplace_back(DrawText{-35 - measure_.width(label.text), label.y + measure_.height(label.text) / 2,
                                label.text});
    }
    for (int i = 0; i < Bins; ++i) {
        const std::uint64_t count = counts_[static_cast<std::size_t>(i)];
        if (count > 0) d.emplace_back(DrawBox{30.0 * i + 20, 0, 30.0 * i + 40, Height(count), true});
    }
    return d;
}

int GraphGeometry::Bin(double reading) const {
    const double bin = std::floor((reading - s_.mid) / s_.small + 15 + 0.5);
    if (std::isnan(bin) || bin < 0) return -1;
    if (bin > Bins - 1) return Bins;
    return static_cast<int>(bin);
}

void GraphGeometry::Marker(Drawing& d, bool left, bool show) const {
    const std::string text = left ? "<-" : "->";
    const double x = left ? LeftMarkerX : RightMarkerX;
    if (show) {
        d.emplace_back(DrawText{x, MarkerY, text});
        return;
    }
    // White over where the marker's text was, then the end bin label it may
    // have touched drawn again on white (a text drawn over itself would
    // come out bolder).
    d.emplace_back(DrawBox{x, MarkerY, x + std::max(30.0, measure_.width(text)),
                           MarkerY - std::max(35.0, measure_.height(text)), false});
    const std::vector<std::string> bins = BinLabels();
    const DrawText label = left ? BinLabel(-15, bins.front()) : BinLabel(15, bins.back());
    d.emplace_back(DrawBox{label.x, label.y, label.x + measure_.width(label.text),
                           label.y - measure_.height(label.text), false});
    d.emplace_back(label);
}

GraphStep GraphGeometry::Add(double reading) {
    GraphStep step;
    step.bin = Bin(reading);
    if (step.bin < 0 || step.bin >= Bins) {
        // Beyond the bins: the marker on that side blinks, one change per reading.
        bool& shown = step.bin < 0 ? leftShown_ : rightShown_;
        shown = !shown;
        Marker(step.drawing, step.bin < 0, shown);
        return step;
    }
    // In range: both markers go (and the next reading beyond shows one again).
    for (const bool left : {true, false}) {
        bool& shown = left ? leftShown_ : rightShown_;
        if (shown) Marker(step.drawing, left, false);
        shown = false;
    }
    std::uint64_t& count = counts_[static_cast<std::size_t>(step.bin)];
    ++count;
    if (static_cast<double>(count) <= scale_) {
        step.drawing.emplace_back(
            DrawBox{30.0 * step.bin + 20, Height(count - 1), 30.0 * step.bin + 40, Height(count), true});
        return step;
    }
    // The bar would pass the top: the scale doubles (as often as it takes)
    // and the whole picture is drawn again at the new scale.
    while (static_cast<double>(count) > scale_) scale_ *= 2;
    step.rescaled = true;
    step.drawing = Frame();
    return step;
}

} // namespace wm
