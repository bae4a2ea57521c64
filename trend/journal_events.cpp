// SPDX-License-Identifier: MIT
#include "trend/journal_events.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsSceneHoverEvent>
#include <QLineSeries>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/program_name.h"
#include "journal/journal_reader.h"
#include "journal/reader_options.h"

namespace vp::trend {

namespace {

// By EventMarks' kinds: errors, warnings, operator actions.
const QColor kColours[] = {QColor(0xd0, 0x10, 0x10), QColor(0xe0, 0xb0, 0x00),
                           QColor(0x20, 0x40, 0xe0)};
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
        const Scale scale = ScaleNow();
        const QRectF area = scale.area;
        const int width = std::max(1, static_cast<int>(std::ceil(area.width())) + 1);
        // A year of events is more than there are pixels: each column keeps which colours it
        // holds and whether the link was lost there, as the traces keep their extremes.
        std::vector<std::uint8_t> columns(static_cast<std::size_t>(width), 0);
        const auto column = [&](qint64 ms) {
            return std::clamp(static_cast<int>(std::lround(scale.X(ms) - area.left())), -1, width);
        };
        constexpr std::uint8_t kLostBit = 0x80;
        for (const auto& band : events_.bands)
            for (int c = std::max(0, column(band.fromMs)),
                     end = std::min(width - 1, column(band.toMs));
                 c <= end; ++c)
                columns[static_cast<std::size_t>(c)] |= kLostBit;
        for (const auto& mark : events_.marks) {
            const int c = column(mark.ms);
            if (c >= 0 && c < width) columns[static_cast<std::size_t>(c)] |= 1 << mark.kind;
        }
        painter->save();
        painter->setClipRect(area);
        // Whole pixels, not smoothed: a mark keeps its colour, however close to the next.
        painter->setRenderHint(QPainter::Antialiasing, false);
        for (int c = 0; c < width;) {
            if (!(columns[static_cast<std::size_t>(c)] & kLostBit)) {
                ++c;
                continue;
            }
            int end = c;
            while (end < width && (columns[static_cast<std::size_t>(end)] & kLostBit)) ++end;
            painter->fillRect(QRectF(area.left() + c, area.top(), end - c, area.height()), kLost);
            c = end;
        }
        // Thin lines from the foot of the plot, a third of its height: the traces stay readable.
        // Errors last, on top.
        const qreal top = area.bottom() - area.height() / 3;
        for (const int kind : {EventMarks::kOperator, EventMarks::kWarning, EventMarks::kError}) {
            painter->setPen(QPen(kColours[kind], 1));
            for (int c = 0; c < width; ++c)
                if (columns[static_cast<std::size_t>(c)] & (1 << kind))
                    painter->drawLine(QPointF(area.left() + c, top),
                                      QPointF(area.left() + c, area.bottom()));
        }
        painter->restore();
    }

protected:
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override {
        const Scale scale = ScaleNow();
        const qreal x = event->pos().x();
        // Three pixels either side; the texts are read from the journal only for them.
        const auto at = [&](qreal px) {
            return static_cast<qint64>(scale.first + (px - scale.area.left()) / scale.area.width() *
                                                         (scale.last - scale.first));
        };
        QStringList texts;
        const auto near =
            std::lower_bound(events_.marks.begin(), events_.marks.end(), at(x - 3),
                             [](const EventMarks::Mark& mark, qint64 ms) { return mark.ms < ms; });
        if (near != events_.marks.end() && near->ms <= at(x + 3)) {
            using journal::Kind;
            (void)journal::ReadJournal(
                events_.path,
                {.fromMs = at(x - 3),
                 .toMs = at(x + 3),
                 .kinds = {Kind::Error, Kind::Warning, Kind::Operator},
                 .grep = {}},
                [&](const journal::Row& row) {
                    if (texts.size() >= 10) return;
                    const journal::Entry& e = row.entry;
                    texts << Stamp(e.timeMs) + "  " +
                                 (e.control.empty() ? QString()
                                                    : QString::fromStdString(e.control) + ": ") +
                                 QString::fromStdString(e.text).trimmed();
                });
        }
        for (const auto& band : events_.bands)
            if (x >= scale.X(band.fromMs) && x <= scale.X(band.toMs)) texts << band.text;
        setToolTip(texts.join(u'\n'));
    }

private:
    // The time axis as it stands, asked once per picture rather than once per event.
    struct Scale {
        QRectF area;
        qreal first = 0, last = 1;
        qreal X(qint64 ms) const {
            return area.left() + (static_cast<qreal>(ms) - first) / (last - first) * area.width();
        }
    };
    Scale ScaleNow() const {
        Scale scale{chart_->plotArea()};
        const auto axes = chart_->axes(Qt::Horizontal);
        if (const auto* time =
                axes.isEmpty() ? nullptr : qobject_cast<QDateTimeAxis*>(axes.first())) {
            scale.first = static_cast<qreal>(time->min().toMSecsSinceEpoch());
            scale.last =
                std::max(scale.first + 1, static_cast<qreal>(time->max().toMSecsSinceEpoch()));
        }
        return scale;
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
    const Result<> read = journal::ReadJournal(path, query, [&](const journal::Row& row) {
        const journal::Entry& e = row.entry;
        switch (e.kind) {
            case Kind::Error:
                events.marks.push_back({e.timeMs, EventMarks::kError});
                break;
            case Kind::Warning:
                events.marks.push_back({e.timeMs, EventMarks::kWarning});
                break;
            case Kind::Operator:
                events.marks.push_back({e.timeMs, EventMarks::kOperator});
                break;
            case Kind::Quality: {
                const QString text = QString::fromStdString(e.text);
                if (text == QLatin1String("good")) {
                    endLoss(e.timeMs);
                } else if (text != QLatin1String("starting") && !lostSince) {
                    lostSince = e.timeMs;
                    lostWhy = text;
                }
                break;
            }
            default:  // a program's start or end closes what it left open
                endLoss(e.timeMs);
        }
    });
    if (lostSince) endLoss(toMs);
    // By time, for the hover's search: a clock set back writes out of order.
    std::stable_sort(
        events.marks.begin(), events.marks.end(),
        [](const EventMarks::Mark& a, const EventMarks::Mark& b) { return a.ms < b.ms; });
    events.path = path;
    if (!read.ok())
        events.problems << vp::ProgramSays(vp::kTrendProgram, "journal " + read.error());
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
    for (const auto& mark : events.marks) seen[mark.kind] = true;
    const char* names[] = {"errors", "warnings", "operator"};
    for (int kind = 0; kind < 3; ++kind)
        if (seen[kind]) entry(QLatin1String(names[kind]), kColours[kind], 2);
    if (!events.bands.empty()) entry(QStringLiteral("link lost"), QColor(0x80, 0x80, 0x80), 8);
}

}  // namespace vp::trend
