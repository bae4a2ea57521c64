#include "trend/journal_events.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsSceneHoverEvent>
#include <QLineSeries>
#include <QPainter>

#include "journal/journal_reader.h"
#include "journal/reader_options.h"

namespace vp::trend {

namespace {

const QColor kError(0xd0, 0x10, 0x10);
const QColor kWarning(0xe0, 0xb0, 0x00);
const QColor kOperator(0x20, 0x40, 0xe0);
const QColor kLost(0x80, 0x80, 0x80, 0x50);

QString JournalBeside(const QString& input) {
    const QFileInfo info(input);
    const QString folder = info.isDir() ? input : info.absolutePath();
    const QString here = QDir(folder).filePath(QStringLiteral("journal.sqlite"));
    return QFileInfo::exists(here) ? here : journal::JournalFileOf(folder);
}

QString Stamp(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss"));
}

// Above the traces, so a mark is never hidden by a pressure line; below the legend.
class EventPlot : public QGraphicsItem {
public:
    enum { Type = UserType + 2 };
    int type() const override { return Type; }
    EventPlot(QChart* chart, EventMarks events) : QGraphicsItem(chart), events_(std::move(events)) {
        setZValue(6);
        setAcceptHoverEvents(true);
        chart_ = chart;
    }
    QRectF boundingRect() const override { return chart_->plotArea(); }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        const QRectF area = chart_->plotArea();
        painter->save();
        painter->setClipRect(area);
        for (const auto& band : events_.bands) {
            const qreal a = X(band.fromMs), b = X(band.toMs);
            painter->fillRect(QRectF(a, area.top(), std::max<qreal>(b - a, 1), area.height()),
                              kLost);
        }
        // Thin lines from the foot of the plot, a third of its height: the traces stay readable.
        const qreal top = area.bottom() - area.height() / 3;
        for (const auto& mark : events_.marks) {
            painter->setPen(QPen(mark.colour, 1));
            const qreal x = X(mark.ms);
            painter->drawLine(QPointF(x, top), QPointF(x, area.bottom()));
        }
        painter->restore();
    }

protected:
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override {
        const qreal x = event->pos().x();
        QStringList texts;
        for (const auto& mark : events_.marks)
            if (std::abs(X(mark.ms) - x) <= 3 && texts.size() < 10)
                texts << Stamp(mark.ms) + "  " + mark.text;
        for (const auto& band : events_.bands)
            if (x >= X(band.fromMs) && x <= X(band.toMs)) texts << band.text;
        setToolTip(texts.join(u'\n'));
    }

private:
    qreal X(qint64 ms) const {
        const QRectF area = chart_->plotArea();
        const auto axes = chart_->axes(Qt::Horizontal);
        const auto* time = axes.isEmpty() ? nullptr : qobject_cast<QDateTimeAxis*>(axes.first());
        if (!time) return area.left();
        const qreal first = static_cast<qreal>(time->min().toMSecsSinceEpoch());
        const qreal last = std::max(first + 1, static_cast<qreal>(time->max().toMSecsSinceEpoch()));
        return area.left() + (static_cast<qreal>(ms) - first) / (last - first) * area.width();
    }

    QChart* chart_;
    EventMarks events_;
};

}  // namespace

EventMarks LoadEvents(const QStringList& inputs, qint64 fromMs, qint64 toMs) {
    EventMarks events;
    const QString path = JournalBeside(inputs.isEmpty() ? QStringLiteral("log") : inputs.first());
    if (!QFileInfo::exists(path)) return events;
    using journal::Kind;
    journal::Query query{
        .fromMs = fromMs,
        .toMs = toMs,
        .kinds = {Kind::Error, Kind::Warning, Kind::Operator, Kind::Quality, Kind::Program},
        .grep = {}};
    std::optional<qint64> lostSince;
    QString lostWhy;
    const auto endLoss = [&](qint64 ms) {
        if (lostSince) events.bands.push_back({*lostSince, ms, "link " + lostWhy});
        lostSince.reset();
    };
    const journal::Outcome failure =
        journal::ReadJournal(path, query, [&](const journal::Row& row) {
            const journal::Entry& e = row.entry;
            const QString text = QString::fromStdString(e.text);
            switch (e.kind) {
                case Kind::Error:
                    events.marks.push_back({e.timeMs, kError, text});
                    break;
                case Kind::Warning:
                    events.marks.push_back({e.timeMs, kWarning, text.trimmed()});
                    break;
                case Kind::Operator:
                    events.marks.push_back(
                        {e.timeMs, kOperator, QString::fromStdString(e.control) + ": " + text});
                    break;
                case Kind::Quality:
                    if (text == QLatin1String("good")) {
                        endLoss(e.timeMs);
                    } else if (text != QLatin1String("starting") && !lostSince) {
                        lostSince = e.timeMs;
                        lostWhy = text;
                    }
                    break;
                default:  // a program's start or end closes what it left open
                    endLoss(e.timeMs);
            }
        });
    if (lostSince) endLoss(toMs);
    if (failure) events.problems << "vacuum-trend: journal " + failure->reason;
    return events;
}

void ShowEvents(QChart& chart, const EventMarks& events) {
    // A window that follows the logs shows its events again at every reading.
    for (QGraphicsItem* item : chart.childItems())
        if (item->type() == EventPlot::Type) delete item;
    if (events.marks.empty() && events.bands.empty()) return;
    new EventPlot(&chart, events);
    // Legend entries: series without points in the marks' colours.
    const auto entry = [&](const QString& name, const QColor& colour, int width) {
        auto* series = new QLineSeries;
        series->setName(name);
        series->setPen(QPen(colour, width));
        chart.addSeries(series);
        for (QAbstractAxis* axis : chart.axes()) series->attachAxis(axis);
    };
    bool seen[3] = {};
    for (const auto& mark : events.marks) {
        seen[0] |= mark.colour == kError;
        seen[1] |= mark.colour == kWarning;
        seen[2] |= mark.colour == kOperator;
    }
    if (seen[0]) entry(QStringLiteral("errors"), kError, 2);
    if (seen[1]) entry(QStringLiteral("warnings"), kWarning, 2);
    if (seen[2]) entry(QStringLiteral("operator"), kOperator, 2);
    if (!events.bands.empty()) entry(QStringLiteral("link lost"), QColor(0x80, 0x80, 0x80), 8);
}

}  // namespace vp::trend
