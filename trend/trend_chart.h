// SPDX-License-Identifier: MIT
#pragma once

#include <QChart>
#include <QGraphicsItem>
#include <QString>

#include "trend/traces.h"

namespace vp::trend {

// Draws the traces in the chart's plot area, one path a gauge with a break at every gap. Qt
// Charts has no line with breaks, and one series per unbroken run costs time with the square of
// their number (a year of logs has thousands), so the lines are drawn here; the chart keeps the
// axes, the grid and the legend.
class TracePlot : public QGraphicsItem {
public:
    enum { Type = UserType + 1 };
    explicit TracePlot(QChart* chart);
    int type() const override { return Type; }

    // The traces and the axes' ranges they are drawn against.
    void Show(Traces traces, qreal firstMs, qreal lastMs, DecadeSpan span);
    const Traces& Drawn() const { return traces_; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QRectF area_;
    Traces traces_;
    qreal firstMs_ = 0, lastMs_ = 1;
    DecadeSpan span_;
};

// Replaces what `chart` shows by the traces: a time axis, a base-10 logarithmic pressure axis
// with a tick at every decade, and each gauge's segments drawn in the gauge's colour by the
// chart's TracePlot; the legend names each gauge that has readings once.
void FillChart(QChart& chart, const Traces& traces, const QString& title);

// The TracePlot FillChart put on `chart`; nullptr before the first FillChart.
TracePlot* TracePlotOf(const QChart& chart);

}  // namespace vp::trend
