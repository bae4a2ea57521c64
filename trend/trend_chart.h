#pragma once

#include <QChart>
#include <QString>
#include <optional>

#include "trend/traces.h"

namespace vp::trend {

// Whole decades around the readings: the pressure axis runs from 10^low to 10^high mbar.
struct DecadeSpan {
    int low = 0;
    int high = 0;
};
std::optional<DecadeSpan> DecadesOf(const Traces& traces);

// Replaces what `chart` shows by the traces: a time axis, a base-10 logarithmic pressure axis
// with a tick at every decade, and one line series per segment, named after its gauge and drawn
// in the gauge's colour; the legend names each gauge once.
void FillChart(QChart& chart, const Traces& traces, const QString& title);

}  // namespace vp::trend
