#include "gui/readings/frmGRAPH.h"

namespace wm {

frmGRAPH::frmGRAPH(Program& program, QWidget* parent)
    : ReadingsChart(program,
                    Names{"frmGRAPH", "GRAPH", "txtVertScale", "lblVertScale", "Initial Vertical Scale", "Graph"},
                    parent) {}

Drawing frmGRAPH::BeginRun(const std::string& mid, const std::string& small, const std::string& third,
                           const TextMeasure& measure) {
    graph_.emplace(GraphSettings::FromEntries(mid, small, third), measure);
    return graph_->Frame();
}

Drawing frmGRAPH::AddValue(double value, double) { return graph_->Add(value).drawing; }

} // namespace wm
