#pragma once
// The readings plot: the meter's readings drawn against time as one trace
// over a fixed span. The picture's units: the value axis runs from -210 to
// 210 around the mid-scale value at 0, one small division every 10 units
// (20 divisions each way); the time axis runs from 0 to 1000 over the total
// plot time. Readings beyond the axis are drawn on the line 210 above or
// -205 below, with a thin line while they stay there.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readings/ChartDrawing.h"

namespace wm {

// The three scale entries as a plot uses them.
struct PlotSettings {
    double mid = 0;          // the reading drawn at 0
    double small = 1;        // one division (10 units); never 0
    double totalSeconds = 1; // the time the axis spans; always > 0
    int decimals = 0;        // the value labels' decimals

    // From the entry texts: a small division of 0 becomes 1; the total time
    // is the entry's size, 0 becoming 1.
    [[nodiscard]] static PlotSettings FromEntries(std::string_view midEntry, std::string_view smallEntry,
                                                  std::string_view totalTimeEntry);
};

// The plot's running time, from the seconds-since-midnight clock: time
// counts from the first point and stops while the plot is paused.
//
// The clock goes back to 0 at midnight, and a wall clock can be set back a
// little. Every sample is compared with the one before: a step back of more
// than half a day is the clock passing midnight (a day is added), a smaller
// step back is a correction and counts as no time. So the running time never
// goes back, across any number of midnights, as long as the clock is read
// at least once a day while the plot runs (the window reads it at least once
// a second).
class PlotClock {
public:
    static constexpr double SecondsPerDay = 86'400;

    // The first point: running from 0.
    void Start(double now);
    // Pausing stops the count (before the first point there is nothing to stop).
    void Pause(double now);
    void Continue(double now);
    // Takes a sample; while running, the time since the last one counts.
    void Observe(double now);
    // Seconds counted so far, after a sample at `now`.
    [[nodiscard]] double Elapsed(double now);
    [[nodiscard]] bool Started() const { return started_; }
    [[nodiscard]] bool Running() const { return started_ && running_; }

private:
    bool started_ = false;
    bool running_ = false;
    double last_ = 0;
    double elapsed_ = 0;
};

// One reading on the plot.
struct PlotPoint {
    double x = 0; // 0 for the first point, else running time * 1000 / total
    double y = 0; // 10 * (reading - mid) / small, held at 210 / -205 beyond the axis
    DrawLine line;     // what to draw: from the previous point to this one
    bool full = false; // the trace has passed the right edge with this point
};

class PlotGeometry {
public:
    static constexpr UserScale Scale{-150, 215, 1020, -250};
    static constexpr double Right = 1000; // the end of the time axis

    explicit PlotGeometry(PlotSettings settings) : s_(settings) {}

    [[nodiscard]] const PlotSettings& Settings() const { return s_; }

    // A fresh plot: cleared, the axes with their ticks, the dotted grid and
    // the labels.
    [[nodiscard]] Drawing Frame(const TextMeasure& measure) const;
    // The value labels bottom to top (-20 to +20 divisions, every fifth) and
    // the time labels left to right (0 to the total, every tenth).
    [[nodiscard]] std::vector<std::string> ValueLabels() const;
    [[nodiscard]] std::vector<std::string> TimeLabels() const;

    // The vertical position of a reading, before it is held at the edges.
    [[nodiscard]] double Y(double reading) const;

    // A reading that arrived at `now` (seconds since midnight).
    PlotPoint Add(double reading, double now);
    // The window's pause and continue (a plot that is full is started afresh
    // instead of continued).
    void Pause(double now) { clock_.Pause(now); }
    void Continue(double now) { clock_.Continue(now); }
    // A sample of the clock while nothing arrives.
    void Observe(double now) { clock_.Observe(now); }

    [[nodiscard]] bool Full() const { return full_; }
    [[nodiscard]] bool FirstPoint() const { return !previous_; }

private:
    PlotSettings s_;
    PlotClock clock_;
    bool full_ = false;
    struct Point {
        double x, y;
    };
    std::optional<Point> previous_;
};

} // namespace wm
