#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/trend/log_writer.h"
#include "trend/log_reader.h"
#include "trend/trend_chart.h"
#include "trend/trend_window.h"

using namespace vp::trend;

namespace {

// A day: 10:00..10:04, a gap, 10:30..10:31; 2G1 reports from 10:02 only.
Traces Day() {
    const QTemporaryDir dir;
    LogWriter writer(dir.path());
    QString path;
    for (const char* time : {"10:00:00", "10:01:00"})
        path = writer.Tick("2026-12-05", time, {"1.585E-7", "4.467E-7", "", "5.012E-3"});
    for (const char* time : {"10:02:00", "10:03:00", "10:04:00", "10:30:00", "10:31:00"})
        path = writer.Tick("2026-12-05", time, kHighVacuum);
    return BuildTraces({ReadLogFile(path)});
}

}  // namespace

class TestTrendPlot : public QObject {
    Q_OBJECT

private slots:
    void eachGaugeOnceInTheLegendAndItsSegmentsDrawn() {
        QChart chart;
        FillChart(chart, Day(), "day");
        QStringList names;
        for (QAbstractSeries* series : chart.series()) names << series->name();
        QCOMPARE(names, (QStringList{"TG1", "1G1", "2G1", "1G3"}));
        const auto pen = [&](int g) {
            return qobject_cast<QLineSeries*>(chart.series()[g])->pen();
        };
        QVERIFY(pen(0).color() != pen(1).color());

        // The gap at 10:04..10:30 cuts every gauge in two.
        const TracePlot* plot = TracePlotOf(chart);
        QVERIFY(plot);
        QList<size_t> points;
        for (const auto& segments : plot->Drawn()) {
            for (const Segment& segment : segments) points << segment.size();
        }
        QCOMPARE(points, (QList<size_t>{5, 2, 5, 2, 3, 2, 5, 2}));
        QCOMPARE(plot->Drawn()[2][0][0].y(), double(4.467e-7f));
        QCOMPARE(plot->parentItem(), &chart);

        // --follow fills the shown chart again each time the log grows.
        FillChart(chart, Day(), "again");
        QCOMPARE(chart.series().size(), 4);
        QCOMPARE(chart.axes().size(), 2);
        QCOMPARE(chart.title(), "again");
        QCOMPARE(TracePlotOf(chart), plot);
        FillChart(chart, Traces{}, "nothing yet");
        QCOMPARE(chart.series().size(), 0);
        QCOMPARE(chart.axes().size(), 2);
        QCOMPARE(PointCount(plot->Drawn()), 0);
    }

    // A long reading shows how far it got, then the plot.
    void windowShowsProgressWhileReading() {
        QTemporaryDir dir;
        LogWriter writer(dir.path());
        for (int day = 0; day < 40; ++day)
            writer.Tick(QDate(2026, 11, 1).addDays(day).toString(Qt::ISODate), "10:00:00",
                        kHighVacuum);
        Options options;
        options.inputs = {dir.filePath("log")};
        options.range.from = QDate(2026, 11, 1);
        TrendWindow window(options);
        QSignalSpy progress(window.prbLoad, &QProgressBar::valueChanged);
        QSignalSpy loaded(&window, &TrendWindow::loaded);
        window.show();
        window.Load();
        QVERIFY(window.prbLoad->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 10'000);
        QCOMPARE(loaded[0][0].toLongLong(), 160);
        QVERIFY(!window.prbLoad->isVisible());
        QCOMPARE(window.prbLoad->maximum(), 40);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last()[0].toInt(), 40);
        QCOMPARE(window.chart()->title(), "Merivax vacuum pressures, 2026-11-01 to 2026-12-10");
    }

    void pressureAxisIsLogarithmicOverWholeDecades_data() {
        QTest::addColumn<QList<double>>("readings");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("vacuum to atmosphere")
            << QList<double>{1.585e-7, 5.012e-3, 1013} << 1e-7 << 1e4;
        QTest::newRow("within one decade") << QList<double>{2.5e-3, 7.5e-3} << 1e-3 << 1e-2;
        QTest::newRow("exactly a decade") << QList<double>{1e-3} << 1e-3 << 1e-2;
        QTest::newRow("extremes") << QList<double>{1e-15, 9.999e79} << 1e-15 << 1e80;
    }
    void pressureAxisIsLogarithmicOverWholeDecades() {
        QFETCH(QList<double>, readings);
        QFETCH(double, low);
        QFETCH(double, high);
        Traces traces;
        traces[0].emplace_back();
        for (double mbar : readings)
            traces[0][0].emplace_back(1.8e12 + traces[0][0].size() * 60'000, mbar);

        QChart chart;
        FillChart(chart, traces, "t");
        QCOMPARE(chart.axes(Qt::Vertical).size(), 1);
        auto* axis = qobject_cast<QLogValueAxis*>(chart.axes(Qt::Vertical)[0]);
        QVERIFY(axis);
        QCOMPARE(axis->base(), 10.0);
        QVERIFY(qFuzzyCompare(axis->min(), low));
        QVERIFY(qFuzzyCompare(axis->max(), high));
        QVERIFY(chart.series()[0]->attachedAxes().contains(axis));
    }

    void timeAxisCoversTheReadings() {
        QChart chart;
        FillChart(chart, Day(), "day");
        QCOMPARE(chart.axes(Qt::Horizontal).size(), 1);
        auto* axis = qobject_cast<QDateTimeAxis*>(chart.axes(Qt::Horizontal)[0]);
        QVERIFY(axis);
        QVERIFY(axis->min() <= QDateTime(QDate(2026, 12, 5), QTime(10, 0)));
        QVERIFY(axis->max() >= QDateTime(QDate(2026, 12, 5), QTime(10, 31)));
        // Ticks fall on round times, and the half hour of data is not lost in a day-wide axis.
        QCOMPARE(axis->min().time().second(), 0);
        QVERIFY(axis->min().secsTo(axis->max()) <= 3600);
    }
};

QTEST_MAIN(TestTrendPlot)
#include "tst_trend_plot.moc"
