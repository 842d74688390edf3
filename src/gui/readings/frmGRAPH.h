#pragma once
// The readings graph: the meter's continuous output counted into 31 bins
// around the mid-scale value and drawn as a histogram, its vertical scale
// doubling whenever a bar would pass the top.
#include <optional>

#include "gui/readings/ReadingsChart.h"
#include "readings/GraphGeometry.h"

namespace wm {

class frmGRAPH final : public ReadingsChart {
    Q_OBJECT

public:
    explicit frmGRAPH(Program& program, QWidget* parent = nullptr);

    // The run's geometry (nothing before the first OK).
    [[nodiscard]] const GraphGeometry* Geometry() const { return graph_ ? &*graph_ : nullptr; }

protected:
    [[nodiscard]] UserScale Scale() const override { return GraphGeometry::Scale; }
    Drawing BeginRun(const std::string& mid, const std::string& small, const std::string& third,
                     const TextMeasure& measure) override;
    Drawing AddValue(double value, double now) override;

private:
    std::optional<GraphGeometry> graph_;
};

} // namespace wm
