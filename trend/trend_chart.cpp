// SPDX-License-Identifier: MIT
#include "trend/trend_chart.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <limits>

namespace vp::trend {

namespace {

const std::array<QColor, kGaugeCount> kGaugeColours = {
    QColor(0x1f, 0x4e, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
    QColor(0xe0, 0x8a, 0x0b)};

// Shown when there is nothing yet (a followed day before its first reading): high vacuum up to
// atmosphere.
constexpr DecadeSpan kEmptySpan{-9, 4};

// Steps a reader counts in; the axis takes the first that needs no more than kMaxTicks ticks.
constexpr std::array<qint64, 14> kStepMinutes = {1,   2,   5,   10,  15,   30,   60,
                                                 120, 180, 360, 720, 1440, 2880, 10080};
constexpr qint64 kMaxTicks = 13;

QPen GaugePen(int gauge) {
    QPen pen(kGaugeColours[gauge]);
    pen.setWidthF(1.5);
    return pen;
}

struct TimeTicks {
    QDateTime from;
    QDateTime to;
    int count = 2;
    qint64 stepMinutes = 1;
};

// Round times at the ticks ("08:00", "10:00") instead of wherever the first reading fell.
TimeTicks TimeTicksFor(qint64 first, qint64 last) {
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(first);
    const QDateTime midnight = start.date().startOfDay();
    TimeTicks ticks;
    for (const qint64 minutes : kStepMinutes) {
        const qint64 step = minutes * 60'000;
        const qint64 base = midnight.toMSecsSinceEpoch();
        const qint64 from = base + (first - base) / step * step;
        const qint64 steps = (last - from + step - 1) / step;
        ticks = {QDateTime::fromMSecsSinceEpoch(from),
                 QDateTime::fromMSecsSinceEpoch(from + std::max<qint64>(steps, 1) * step),
                 static_cast<int>(std::clamp<qint64>(steps + 1, 2, kMaxTicks)), minutes};
        if (steps + 1 <= kMaxTicks) break;
    }
    return ticks;
}

}  // namespace

TracePlot::TracePlot(QChart* chart) : QGraphicsItem(chart) {
    setZValue(5);  // with Qt Charts' own series: above the grid and axes, below the legend
    area_ = chart->plotArea();
    QObject::connect(chart, &QChart::plotAreaChanged, chart, [this](const QRectF& area) {
        prepareGeometryChange();
        area_ = area;
    });
}

void TracePlot::Show(Traces traces, qreal firstMs, qreal lastMs, DecadeSpan span) {
    traces_ = std::move(traces);
    firstMs_ = firstMs;
    lastMs_ = std::max(lastMs, firstMs + 1);
    span_ = span;
    update();
}

QRectF TracePlot::boundingRect() const {
    return area_;
}

void TracePlot::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    const qreal decades = std::max(1, span_.high - span_.low);
    const auto at = [&](const QPointF& p) {
        return QPointF(area_.left() + (p.x() - firstMs_) / (lastMs_ - firstMs_) * area_.width(),
                       area_.bottom() - (std::log10(p.y()) - span_.low) / decades * area_.height());
    };
    painter->save();
    painter->setClipRect(area_);
    painter->setRenderHint(QPainter::Antialiasing);
    for (int g = 0; g < kGaugeCount; ++g) {
        QPainterPath lines, dots;
        qsizetype points = 0;
        for (const Segment& segment : traces_[g]) {
            points += static_cast<qsizetype>(segment.size());
            if (segment.size() == 1) {
                // A lone reading between two gaps has no line to show it.
                dots.addEllipse(at(segment.front()), 2, 2);
                continue;
            }
            for (size_t i = 0; i < segment.size(); ++i) {
                if (i == 0) {
                    lines.moveTo(at(segment[i]));
                } else {
                    lines.lineTo(at(segment[i]));
                }
            }
        }
        // More points than pixels across: the wide pen's stroke of a dense zigzag costs seconds
        // where the hairline's costs milliseconds, and looks the same there.
        QPen pen = GaugePen(g);
        if (points > area_.width()) {
            pen.setWidth(1);
            pen.setCosmetic(true);
        }
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(lines);
        painter->setPen(Qt::NoPen);
        painter->setBrush(kGaugeColours[g]);
        painter->drawPath(dots);
    }
    painter->restore();
}

void FillChart(QChart& chart, const Traces& traces, const QString& title) {
    chart.removeAllSeries();
    for (QAbstractAxis* axis : chart.axes()) {
        chart.removeAxis(axis);
        delete axis;
    }
    chart.setTitle(title);
    chart.legend()->setAlignment(Qt::AlignTop);

    auto* time = new QDateTimeAxis;
    time->setTitleText(QStringLiteral("Time"));
    auto* pressure = new QLogValueAxis;
    pressure->setBase(10);
    pressure->setTitleText(QStringLiteral("Pressure (mbar)"));
    pressure->setLabelFormat(QStringLiteral("%.0E"));
    pressure->setMinorTickCount(8);  // 2..9 of each decade
    pressure->setMinorGridLineColor(QColor(0xee, 0xee, 0xee));
    chart.addAxis(time, Qt::AlignBottom);
    chart.addAxis(pressure, Qt::AlignLeft);

    qreal first = std::numeric_limits<qreal>::max();
    qreal last = std::numeric_limits<qreal>::lowest();
    for (int g = 0; g < kGaugeCount; ++g) {
        for (const Segment& segment : traces[g]) {
            for (const QPointF& p : segment) {
                first = std::min(first, p.x());
                last = std::max(last, p.x());
            }
        }
        if (traces[g].empty()) continue;
        // The legend's entry: a series without points in the gauge's pen.
        auto* series = new QLineSeries;
        series->setName(kGaugeNames[g]);
        series->setPen(GaugePen(g));
        chart.addSeries(series);
        series->attachAxis(time);
        series->attachAxis(pressure);
    }

    if (first > last) {
        const QDateTime midnight = QDate::currentDate().startOfDay();
        first = static_cast<qreal>(midnight.toMSecsSinceEpoch());
        last = static_cast<qreal>(midnight.addDays(1).toMSecsSinceEpoch());
    } else if (first == last) {
        first -= 60'000;
        last += 60'000;
    }
    const TimeTicks ticks = TimeTicksFor(static_cast<qint64>(first), static_cast<qint64>(last));
    time->setRange(ticks.from, ticks.to);
    time->setTickCount(ticks.count);
    time->setFormat(ticks.from.date() == ticks.to.addMSecs(-1).date()
                        ? QStringLiteral("HH:mm")
                        : (ticks.stepMinutes >= 24 * 60 ? QStringLiteral("yyyy-MM-dd")
                                                        : QStringLiteral("MM-dd HH:mm")));

    const DecadeSpan span = DecadesOf(traces).value_or(kEmptySpan);
    pressure->setRange(std::pow(10.0, span.low), std::pow(10.0, span.high));

    TracePlot* plot = TracePlotOf(chart);
    if (!plot) plot = new TracePlot(&chart);
    plot->Show(traces, static_cast<qreal>(ticks.from.toMSecsSinceEpoch()),
               static_cast<qreal>(ticks.to.toMSecsSinceEpoch()), span);
}

TracePlot* TracePlotOf(const QChart& chart) {
    for (QGraphicsItem* item : chart.childItems()) {
        if (auto* plot = qgraphicsitem_cast<TracePlot*>(item)) return plot;
    }
    return nullptr;
}

}  // namespace vp::trend
