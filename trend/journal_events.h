// SPDX-License-Identifier: MIT
#pragma once

#include <QChart>
#include <QGraphicsItem>
#include <QString>
#include <QStringList>
#include <vector>

namespace vp::trend {

// The panel journal's events of the plotted days, as the trend marks them on its time axis.
struct EventMarks {
    enum { kError, kWarning, kOperator };
    struct Mark {
        qint64 ms;
        int kind;  // the texts are read from the journal when the pointer is over a mark
    };
    struct Band {
        qint64 fromMs, toMs;
        QString text;
    };
    std::vector<Mark> marks;  // errors red, warnings yellow, operator actions blue
    std::vector<Band> bands;  // link lost: from a quality other than good until good again
    QStringList problems;
    QString path;  // the journal they came from
};

// The journal beside the logs of the first input (log/journal.sqlite, or journal.sqlite in the
// log folder itself), between the two moments; no journal there is no problem.
EventMarks LoadEvents(const QStringList& inputs, qint64 fromMs, qint64 toMs);

// Draws the marks over the chart's plot area, against its time axis, with each mark's text on
// hover, and adds their legend entries.
void ShowEvents(QChart& chart, const EventMarks& events);

}  // namespace vp::trend
