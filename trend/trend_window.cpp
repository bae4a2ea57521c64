// SPDX-License-Identifier: MIT
#include "trend/trend_window.h"

#include <QChartView>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPromise>
#include <QScreen>
#include <QVBoxLayout>
#include <QtConcurrent>

#include "trend/journal_events.h"
#include "trend/trend_chart.h"

namespace vp::trend {

QString TitleOf(const TrendData& data) {
    QString title = QStringLiteral("Merivax vacuum pressures");
    if (data.firstDay.isValid())
        title += QStringLiteral(", ") + data.firstDay.toString(Qt::ISODate);
    if (data.lastDay.isValid() && data.lastDay != data.firstDay)
        title += QStringLiteral(" to ") + data.lastDay.toString(Qt::ISODate);
    return title;
}

TrendWindow::TrendWindow(const Options& options, QWidget* parent)
    : QWidget(parent),
      chvTrend(new QChartView(new QChart, this)),
      prbLoad(new QProgressBar(this)),
      options_(options),
      range_(options.range) {
    read_.dateForm = options.dateForm;
    read_.following = options.follow;
    // Min and max per pixel column of the widest the window may grow to.
    const QScreen* screen = QGuiApplication::primaryScreen();
    columns_ = std::max(options.size.width(), screen ? screen->size().width() : 0);

    setWindowTitle(QStringLiteral("Pressure trend"));
    chart()->setAnimationOptions(QChart::NoAnimation);
    chvTrend->setRenderHint(QPainter::Antialiasing);
    prbLoad->setFormat(QStringLiteral("Reading logs: %v of %m"));
    prbLoad->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(chvTrend);
    layout->addWidget(prbLoad);
    resize(options.size);

    connect(&watcher_, &QFutureWatcher<TrendData>::progressRangeChanged, prbLoad,
            &QProgressBar::setRange);
    connect(&watcher_, &QFutureWatcher<TrendData>::progressValueChanged, prbLoad,
            &QProgressBar::setValue);
    connect(&watcher_, &QFutureWatcher<TrendData>::finished, this, &TrendWindow::Loaded);
    if (options.follow) {
        follower_ = std::make_unique<LogFollower>();
        connect(follower_.get(), &LogFollower::changed, this, &TrendWindow::Load);
    }
    FillChart(*chart(), {}, TitleOf({}));
}

TrendWindow::~TrendWindow() {
    watcher_.cancel();
    watcher_.waitForFinished();
}

QChart* TrendWindow::chart() const {
    return chvTrend->chart();
}

void TrendWindow::Load() {
    if (watcher_.isRunning()) {
        again_ = true;
        return;
    }
    prbLoad->setRange(0, 0);  // busy until the files are counted
    prbLoad->show();
    watcher_.setFuture(QtConcurrent::run([inputs = options_.inputs, range = range_, read = read_,
                                          columns = columns_](QPromise<TrendData>& promise) {
        TrendData data = LoadTrend(inputs, range, read, columns, [&](int done, int total) {
            if (done == 1) promise.setProgressRange(0, total);
            promise.setProgressValue(done);
            return !promise.isCanceled();
        });
        promise.addResult(std::move(data));
    }));
}

void TrendWindow::Loaded() {
    if (watcher_.isCanceled() || watcher_.future().resultCount() == 0) return;
    const TrendData data = watcher_.result();
    prbLoad->hide();
    emit problems(data.problems);
    FillChart(*chart(), data.traces, TitleOf(data));
    if (options_.events && data.firstDay.isValid()) {
        const EventMarks events =
            LoadEvents(options_.inputs, data.firstDay.startOfDay().toMSecsSinceEpoch(),
                       data.lastDay.addDays(1).startOfDay().toMSecsSinceEpoch() - 1);
        emit problems(events.problems);
        ShowEvents(*chart(), events);
    }
    if (follower_) {
        // A folder read without a range stands for its newest day; from then on the days that
        // follow it are wanted too, so the plot goes on past midnight.
        if (first_ && range_.IsOpen())
            range_.from = data.earliestDay.isValid() ? data.earliestDay : QDate::currentDate();
        follower_->Watch(data.watch);
    }
    first_ = false;
    emit loaded(PointCount(data.traces));
    if (again_) {
        again_ = false;
        Load();
    }
}

}  // namespace vp::trend
