#include "readings/PlotGeometry.h"

#include <cmath>

namespace wm {

PlotSettings PlotSettings::FromEntries(std::string_view midEntry, std::string_view smallEntry,
                                       std::string_view totalTimeEntry) {
    PlotSettings s;
    const ValueScale scale = ValueScale::FromEntries(midEntry, smallEntry);
    s.mid = scale.mid;
    s.small = scale.small;
    s.decimals = scale.decimals;
    s.totalSeconds = std::fabs(EntryValue(totalTimeEntry));
    if (s.totalSeconds == 0) s.totalSeconds = 1;
    return s;
}

// ---------------------------------------------------------------- PlotClock

void PlotClock::Start(double now) {
    started_ = true;
    running_ = true;
    elapsed_ = 0;
    last_ = now;
}

void PlotClock::Observe(double now) {
    double step = now - last_;
    if (step < -SecondsPerDay / 2) step += SecondsPerDay; // past midnight
    if (step < 0) step = 0;                                // the clock was set back a little
    if (running_) elapsed_ += step;
    last_ = now;
}

void PlotClock::Pause(double now) {
    if (!running_) return;
    Observe(now);
    running_ = false;
}

void PlotClock::Continue(double now) {
    if (!started_ || running_) return;
    last_ = now;
    running_ = true;
}

double PlotClock::Elapsed(double now) {
    Observe(now);
    return elapsed_;
}

// ---------------------------------------------------------------- PlotGeometry

std::vector<std::string> PlotGeometry::ValueLabels() const {
    const std::string picture = ValueLabelPicture(s_.decimals);
    std::vector<std::string> labels;
    for (int k = -20; k <= 20; k += 5) labels.push_back(FormatPicture(k * s_.small + s_.mid, picture));
    return labels;
}

std::vector<std::string> PlotGeometry::TimeLabels() const {
    const double step = s_.totalSeconds / 10;
    std::vector<std::string> labels;
    for (int j = 0; j <= 10; ++j) {
        std::string text = FormatPicture(j * step, "######.######");
        labels.push_back(text.empty() ? "0" : text);
    }
    return labels;
}

Drawing PlotGeometry::Frame(const TextMeasure& measure) const {
    Drawing d{DrawClear{}};
    const auto line = [&d](double x1, double y1, double x2, double y2, int width = 2, bool dotted = false) {
        d.emplace_back(DrawLine{x1, y1, x2, y2, width, dotted});
    };
    // The axes; a tick every division, a longer one every fifth; on the time
    // axis a tick every tenth of the span and a short one between.
    line(0, 210, 0, -210);
    line(0, -210, Right, -210);
    for (int i = 0; i <= 20; ++i) {
        const double tick = i % 5 == 0 ? -30 : -15;
        line(tick, 10 * i, 0, 10 * i);
        if (i > 0) line(tick, -10 * i, 0, -10 * i);
    }
    for (int i = 0; i <= 10; ++i) line(100 * i, -210, 100 * i, -220);
    for (int i = 1; i <= 10; ++i) line(100 * i - 50, -210, 100 * i - 50, -215);
    // The dotted grid: every fifth division and every tenth of the span.
    for (int v = 0; v <= 200; v += 50) {
        line(0, v, Right, v, 1, true);
        if (v > 0) line(0, -v, Right, -v, 1, true);
    }
    for (int t = 0; t <= 1000; t += 100) line(t, -210, t, 210, 1, true);

    // Labels: the values left of the axis, each centred on its tick; the
    // times under the axis, centred on their ticks (the last one ends at the
    // picture's right edge).
    const std::vector<std::string> values = ValueLabels();
    for (std::size_t n = 0; n < values.size(); ++n) {
        const double tick = 10.0 * (-20 + 5 * static_cast<int>(n));
        d.emplace_back(DrawText{-35 - measure.width(values[n]), tick + measure.height(values[n]) / 2, values[n]});
    }
    const std::vector<std::string> times = TimeLabels();
    for (std::size_t j = 0; j < times.size(); ++j) {
        const double width = measure.width(times[j]);
        const double x = j == 10 ? Scale.right - width : 100.0 * static_cast<double>(j) - width / 2;
        d.emplace_back(DrawText{x, -230 + measure.height(times[j]) / 2, times[j]});
    }
    return d;
}

double PlotGeometry::Y(double reading) const { return 10 * (reading - s_.mid) / s_.small; }

PlotPoint PlotGeometry::Add(double reading, double now) {
    PlotPoint p;
    if (!previous_) {
        clock_.Start(now);
    } else {
        p.x = WholeUnits(clock_.Elapsed(now) * Right / s_.totalSeconds);
        if (p.x > Right) {
            full_ = true;
            p.full = true;
        }
    }
    const double previousY = previous_ ? previous_->y : 0;
    int width = 2;
    p.y = WholeUnits(Y(reading));
    if (p.y > 200) {
        p.y = 210;
        if (previousY > 200) width = 1;
    } else if (p.y < -200) {
        p.y = -205;
        if (previousY < -200) width = 1;
    }
    const Point from = previous_.value_or(Point{p.x, p.y});
    p.line = DrawLine{from.x, from.y, p.x, p.y, width, false};
    previous_ = Point{p.x, p.y};
    return p;
}

} // namespace wm
