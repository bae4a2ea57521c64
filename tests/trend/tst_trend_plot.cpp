#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/trend/log_writer.h"
#include "trend/log_reader.h"
#include "trend/trend_chart.h"

using namespace vp::trend;

namespace {

QStringList VisibleLegend(QChart& chart) {
    QStringList names;
    for (QLegendMarker* marker : chart.legend()->markers())
        if (marker->isVisible()) names << marker->label();
    return names;
}

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
    void oneSeriesPerSegmentEachGaugeOnceInTheLegend() {
        // The legend's markers count as visible only on a chart that is shown.
        auto* chart = new QChart;
        QChartView view(chart);
        FillChart(*chart, Day(), "day");
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        QList<QLineSeries*> lines;
        QStringList names;
        QList<int> points;
        for (QAbstractSeries* series : chart->series()) {
            lines << qobject_cast<QLineSeries*>(series);
            QVERIFY(lines.last());
            names << lines.last()->name();
            points << lines.last()->count();
        }
        // The gap at 10:04..10:30 cuts every gauge in two.
        QCOMPARE(names, (QStringList{"TG1", "TG1", "1G1", "1G1", "2G1", "2G1", "1G3", "1G3"}));
        QCOMPARE(points, (QList<int>{5, 2, 5, 2, 3, 2, 5, 2}));
        QCOMPARE(lines[4]->at(0).y(), 4.467e-7);
        QCOMPARE(VisibleLegend(*chart), (QStringList{"TG1", "1G1", "2G1", "1G3"}));
        // One gauge, one colour, whatever the segment.
        QCOMPARE(lines[0]->pen().color(), lines[1]->pen().color());
        QVERIFY(lines[0]->pen().color() != lines[2]->pen().color());

        // --follow fills the shown chart again each time the log grows.
        FillChart(*chart, Day(), "again");
        QCOMPARE(chart->series().size(), 8);
        QCOMPARE(chart->axes().size(), 2);
        QCOMPARE(chart->title(), "again");
        QTRY_COMPARE_WITH_TIMEOUT(VisibleLegend(*chart), (QStringList{"TG1", "1G1", "2G1", "1G3"}),
                                  5000);
        FillChart(*chart, Traces{}, "nothing yet");
        QCOMPARE(chart->series().size(), 0);
        QCOMPARE(chart->axes().size(), 2);
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
