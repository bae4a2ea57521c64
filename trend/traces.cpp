// SPDX-License-Identifier: MIT
#include "trend/traces.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace vp::trend {

namespace {

// Gathers one gauge's readings into segments, reducing each column to at most four of them.
class TraceBuilder {
public:
    // With no readings the bounds are still their sentinels, last far below first: no span.
    TraceBuilder(std::vector<Segment>& out, qint64 first, qint64 last, int columns)
        : out_(out), first_(first), span_(last > first ? last - first : 1), columns_(columns) {}

    void Add(qint64 t, float mbar, bool startsSegment) {
        const QPointF p(static_cast<qreal>(t), mbar);
        if (startsSegment) {
            EndSegment();
            out_.emplace_back();
            segmentColumn_ = ColumnOf(t);
        }
        if (columns_ == 0) {
            out_.back().push_back(p);
            return;
        }
        const int column = ColumnOf(t);
        if (count_ > 0 && column == column_) {
            if (p.y() < low_.y()) low_ = p;
            if (p.y() > high_.y()) high_ = p;
            last_ = p;
            ++count_;
            return;
        }
        FlushColumn();
        column_ = column;
        first_point_ = low_ = high_ = last_ = p;
        count_ = 1;
    }

    void Finish() { EndSegment(); }

private:
    int ColumnOf(qint64 t) const {
        if (columns_ == 0) return 0;
        return static_cast<int>(
            std::clamp<qint64>((t - first_) * columns_ / span_, 0, columns_ - 1));
    }

    void FlushColumn() {
        if (count_ == 0) return;
        Segment& segment = out_.back();
        const auto put = [&](const QPointF& p) {
            if (segment.empty() || segment.back() != p) segment.push_back(p);
        };
        put(first_point_);
        put(low_.x() <= high_.x() ? low_ : high_);
        put(low_.x() <= high_.x() ? high_ : low_);
        put(last_);
        count_ = 0;
    }

    void EndSegment() {
        if (out_.empty() || columns_ == 0) return;
        FlushColumn();
        const bool local = segmentColumn_ == column_;
        if (local && previousLocal_ && previousColumn_ == column_ && out_.size() >= 2) {
            // Several runs within one column show as one stroke from their lowest to their highest.
            Segment& merged = out_[out_.size() - 2];
            merged.insert(merged.end(), out_.back().begin(), out_.back().end());
            out_.pop_back();
            const auto [low, high] = std::minmax_element(
                merged.begin(), merged.end(), [](auto& a, auto& b) { return a.y() < b.y(); });
            Segment stroke{*low};
            if (*high != *low) stroke.push_back(*high);
            if (stroke.size() == 2 && stroke[0].x() > stroke[1].x())
                std::swap(stroke[0], stroke[1]);
            merged = std::move(stroke);
        }
        previousLocal_ = local;
        previousColumn_ = column_;
    }

    std::vector<Segment>& out_;
    const qint64 first_;
    const qint64 span_;
    const int columns_;
    int segmentColumn_ = -1;
    // The readings of the current column so far.
    int column_ = -1;
    int count_ = 0;
    QPointF first_point_, low_, high_, last_;
    // Whether the segment before lies within one column, and which.
    bool previousLocal_ = false;
    int previousColumn_ = -1;
};

}  // namespace

Traces BuildTraces(const std::vector<LogFile>& files, int columns) {
    std::vector<const LogFile*> ordered;
    qint64 first = std::numeric_limits<qint64>::max(), last = std::numeric_limits<qint64>::min();
    for (const LogFile& file : files) {
        if (!file.date.isValid() || file.ms.empty()) continue;
        ordered.push_back(&file);
        const auto [low, high] = std::minmax_element(file.ms.begin(), file.ms.end());
        first = std::min(first, *low);
        last = std::max(last, *high);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const LogFile* a, const LogFile* b) { return a->date < b->date; });

    Traces traces;
    std::vector<TraceBuilder> builders;
    for (auto& trace : traces) builders.emplace_back(trace, first, last, std::max(0, columns));
    std::optional<qint64> previous;
    std::array<bool, kGaugeCount> open{};  // whether the gauge's last segment may go on
    for (const LogFile* file : ordered) {
        for (size_t i = 0; i < file->ms.size(); ++i) {
            const qint64 t = file->ms[i];
            const bool joins = previous && t >= *previous && t - *previous <= kGapMsecs;
            previous = t;
            for (int g = 0; g < kGaugeCount; ++g) {
                const float mbar = file->mbar[g][i];
                if (std::isnan(mbar)) {
                    open[g] = false;
                    continue;
                }
                builders[g].Add(t, mbar, !open[g] || !joins);
                open[g] = true;
            }
        }
    }
    for (TraceBuilder& builder : builders) builder.Finish();
    return traces;
}

qint64 PointCount(const Traces& traces) {
    qint64 count = 0;
    for (const auto& segments : traces) {
        for (const Segment& segment : segments) count += static_cast<qint64>(segment.size());
    }
    return count;
}

std::optional<DecadeSpan> DecadesOf(const Traces& traces) {
    double low = std::numeric_limits<double>::infinity();
    double high = 0;
    for (const auto& segments : traces) {
        for (const Segment& segment : segments) {
            for (const QPointF& p : segment) {
                low = std::min(low, p.y());
                high = std::max(high, p.y());
            }
        }
    }
    if (!(high > 0)) return std::nullopt;
    // Readings are kept as floats: 1.000E-6 comes back a hair below 1E-6, and must not cost
    // a decade of the axis.
    constexpr double kSlack = 1e-6;
    DecadeSpan span{static_cast<int>(std::floor(std::log10(low) + kSlack)),
                    static_cast<int>(std::ceil(std::log10(high) - kSlack))};
    if (span.high <= span.low) span.high = span.low + 1;
    return span;
}

}  // namespace vp::trend
