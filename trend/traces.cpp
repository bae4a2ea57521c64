#include "trend/traces.h"

#include <algorithm>
#include <optional>

namespace vp::trend {

Traces BuildTraces(const std::vector<LogFile>& files) {
    std::vector<const LogFile*> ordered;
    for (const LogFile& file : files) {
        if (file.date.isValid()) ordered.push_back(&file);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const LogFile* a, const LogFile* b) { return a->date < b->date; });

    Traces traces;
    std::optional<qint64> previous;
    std::array<bool, kGaugeCount> open{};  // whether the gauge's last segment may go on
    for (const LogFile* file : ordered) {
        for (const Record& record : file->records) {
            const qint64 t = record.time.toMSecsSinceEpoch();
            const bool joins = previous && t >= *previous && t - *previous <= kGapMsecs;
            previous = t;
            for (int g = 0; g < kGaugeCount; ++g) {
                if (!record.mbar[g]) {
                    open[g] = false;
                    continue;
                }
                if (!open[g] || !joins) traces[g].emplace_back();
                traces[g].back().emplace_back(static_cast<qreal>(t), *record.mbar[g]);
                open[g] = true;
            }
        }
    }
    return traces;
}

int PointCount(const Traces& traces) {
    int count = 0;
    for (const auto& segments : traces) {
        for (const Segment& segment : segments) count += static_cast<int>(segment.size());
    }
    return count;
}

}  // namespace vp::trend
