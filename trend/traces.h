// SPDX-License-Identifier: MIT
#pragma once

#include <QPointF>
#include <array>
#include <optional>
#include <vector>

#include "trend/log_reader.h"

namespace vp::trend {

// One unbroken run of readings: x is milliseconds since the epoch, y is mbar.
using Segment = std::vector<QPointF>;
// Per gauge, in the column order of the log, its segments in time order.
using Traces = std::array<std::vector<Segment>, kGaugeCount>;

// The panel writes a record a minute; readings further apart than this were not logged in
// between, and a line across the gap would invent them.
inline constexpr qint64 kGapMsecs = 3 * 60 * 1000;

// Cuts the records of the files into segments. A gauge's line breaks at a gap in time, at a time
// earlier than the one before it (the clock was set back), and at a record without a reading of
// that gauge. Files are taken in date order, so the records of midnight pairs join up.
//
// With `columns`, the time from the first reading to the last is cut into that many columns, as
// the pixels of the plot are, and within each column a segment keeps only its first, lowest,
// highest and last reading: the line drawn is the same, peaks included, from at most four points
// a column. Segments that lie within one column, next to others there, become one line from
// their lowest reading to their highest.
Traces BuildTraces(const std::vector<LogFile>& files, int columns = 0);

qint64 PointCount(const Traces& traces);

// Whole decades around the readings: the pressure axis runs from 10^low to 10^high mbar.
struct DecadeSpan {
    int low = 0;
    int high = 0;
};
std::optional<DecadeSpan> DecadesOf(const Traces& traces);

}  // namespace vp::trend
