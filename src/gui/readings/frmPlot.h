#pragma once
// The readings plot: the meter's continuous output drawn against time, one
// trace over the total plot time, with the value axis around the mid-scale
// value. When the trace passes the right edge the plot pauses; Continue then
// starts a new plot with the same entries.
#include "gui/readings/ReadingsChart.h"
#include "readings/PlotGeometry.h"

namespace wm {

class frmPlot final : public ReadingsChart {
    Q_OBJECT

public:
    explicit frmPlot(Program& program, QWidget* parent = nullptr);

    // The run's geometry (nothing before the first OK).
    [[nodiscard]] const PlotGeometry* Geometry() const { return plot_ ? &*plot_ : nullptr; }

protected:
    [[nodiscard]] UserScale Scale() const override { return PlotGeometry::Scale; }
    Drawing BeginRun(const std::string& mid, const std::string& small, const std::string& third,
                     const TextMeasure& measure) override;
    Drawing AddValue(double value, double now) override;
    void Observe(double now) override;
    void Paused(double now) override;
    bool ContinueRestarts(double now) override;

private:
    std::optional<PlotGeometry> plot_;
};

} // namespace wm
