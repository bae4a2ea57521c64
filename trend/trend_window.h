// SPDX-License-Identifier: MIT
#pragma once

#include <QFutureWatcher>
#include <QWidget>
#include <memory>

#include "trend/command_line.h"
#include "trend/log_follower.h"
#include "trend/log_selection.h"

class QChart;
class QChartView;
class QProgressBar;

namespace vp::trend {

// The viewer's window: the chart, with a progress bar beneath it while logs are read. Reading
// runs off the window's thread, so a year of logs leaves the window responsive; with --follow
// the logs are read again whenever they change.
class TrendWindow : public QWidget {
    Q_OBJECT

public:
    explicit TrendWindow(const Options& options, QWidget* parent = nullptr);
    ~TrendWindow() override;

    // Starts reading the logs; while a reading runs, another follows it.
    void Load();

    QChart* chart() const;
    QChartView* chvTrend;
    QProgressBar* prbLoad;
    LogFollower* follower() const { return follower_.get(); }

signals:
    void problems(const QStringList& problems);  // of each reading
    void loaded(qint64 points);                  // each reading, once shown

private:
    void Loaded();

    Options options_;
    ReadOptions read_;
    DateRange range_;
    int columns_;
    QFutureWatcher<TrendData> watcher_;
    bool again_ = false;
    bool first_ = true;
    std::unique_ptr<LogFollower> follower_;
};

// "Merivax vacuum pressures, 2026-12-05 to 2026-12-06": the days with readings.
QString TitleOf(const TrendData& data);

}  // namespace vp::trend
