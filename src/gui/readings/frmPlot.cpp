#include "gui/readings/frmPlot.h"

#include <QPushButton>

namespace wm {

frmPlot::frmPlot(Program& program, QWidget* parent)
    : ReadingsChart(program,
                    Names{"frmPlot", "PLOT", "txtHorzTime", "lblHorzTime", "Total Plot Time (Secs)", "Plot"}, parent) {}

Drawing frmPlot::BeginRun(const std::string& mid, const std::string& small, const std::string& third,
                          const TextMeasure& measure) {
    plot_.emplace(PlotSettings::FromEntries(mid, small, third));
    return plot_->Frame(measure);
}

Drawing frmPlot::AddValue(double value, double now) {
    const PlotPoint point = plot_->Add(value, now);
    if (point.full) {
        // The trace has reached the right edge: what follows is dropped
        // until Continue starts a new plot.
        PauseRun();
        Button("cmdContinue")->setFocus();
    }
    return {point.line};
}

void frmPlot::Observe(double now) {
    if (plot_) plot_->Observe(now);
}

void frmPlot::Paused(double now) {
    if (plot_) plot_->Pause(now);
}

bool frmPlot::ContinueRestarts(double now) {
    if (!plot_) return false;
    if (plot_->Full()) return true;
    plot_->Continue(now);
    return false;
}

} // namespace wm
