// SPDX-License-Identifier: MIT
// The trend viewer's plot and window: the chart drawn from the logs, its axes, the window's
// progress; then the vacuum-trend program and the demo log writer, run as a person would run them.
#include <QChart>
#include <QDateTimeAxis>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "log_writer.h"
#include "trend/log_reader.h"
#include "trace_sizes.h"
#include "trend/traces.h"
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

struct Run {
    int exitCode = -1;
    QString err;
};

// The test's own environment already names the offscreen platform. `environment` changes it:
// "NAME=value" sets, "NAME" removes.
Run Trend(const QStringList& arguments, const QStringList& environment = {},
          const char* program = VP_TREND_PROGRAM) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& change : environment)
        change.contains('=') ? env.insert(change.section('=', 0, 0), change.section('=', 1))
                             : env.remove(change);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QString::fromLocal8Bit(program), arguments);
    if (!process.waitForFinished(60'000) || process.exitStatus() != QProcess::NormalExit) return {};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

}  // namespace

class TestTrendWindow : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() {
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
    }

    void eachGaugeOnceInTheLegendAndItsSegmentsDrawnOverTheirTime() {
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
        QCOMPARE(Sizes(plot->Drawn()), (Sized{{5, 2}, {5, 2}, {3, 2}, {5, 2}}));
        QCOMPARE(plot->Drawn()[2][0][0].y(), double(4.467e-7f));
        auto* time = qobject_cast<QDateTimeAxis*>(chart.axes(Qt::Horizontal).value(0));
        QVERIFY(time);
        QVERIFY(time->min() <= QDateTime(QDate(2026, 12, 5), QTime(10, 0)));
        QVERIFY(time->max() >= QDateTime(QDate(2026, 12, 5), QTime(10, 31)));
        // Ticks fall on round times, and the half hour of data is not lost in a day-wide axis.
        QCOMPARE(time->min().time().second(), 0);
        QVERIFY(time->min().secsTo(time->max()) <= 3600);

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

    // A long reading shows how far it got, then the plot: in the window, and on standard error
    // when drawn without one, where a file that is no log is named and the rest plotted. That
    // file alone: nothing drawn, exit code 1.
    void longReadingShowsHowFarItGot() {
        LogWriter writer(dir_.path());
        for (int day = 0; day < 40; ++day)
            writer.Tick(QDate(2026, 11, 1).addDays(day).toString(Qt::ISODate), "10:00:00",
                        kHighVacuum);
        Options options;
        options.inputs = {dir_.filePath("log")};
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

        const QString notes = dir_.filePath("notes.txt"), png = dir_.filePath("month.png");
        Append(notes, "shopping list\n");
        const Run run = Trend(
            {notes, options.inputs[0], "--from", "2026-11-01", "--png", png, "--size", "640x480"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(notes + ":1: not a pressure log") &&
                     run.err.contains("vacuum-trend: reading 41 log files...\n"),
                 qPrintable(run.err));
        QCOMPARE(QImage(png).size(), QSize(640, 480));

        const Run nothing = Trend({notes, "--png", dir_.filePath("none.png")});
        QCOMPARE(nothing.exitCode, 1);
        QVERIFY2(nothing.err.contains("nothing to plot"), qPrintable(nothing.err));
        QVERIFY(!QFile::exists(dir_.filePath("none.png")));
    }

    void pressureAxisIsLogarithmicOverWholeDecades_data() {
        QTest::addColumn<QList<double>>("readings");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("exactly a decade") << QList<double>{1e-3} << 1e-3 << 1e-2;
        QTest::newRow("a gauge's whole range") << QList<double>{1e-14, 1e4} << 1e-14 << 1e4;
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
        auto* axis = qobject_cast<QLogValueAxis*>(chart.axes(Qt::Vertical).value(0));
        QVERIFY(axis);
        QCOMPARE(axis->base(), 10.0);
        QVERIFY(qFuzzyCompare(axis->min(), low));
        QVERIFY(qFuzzyCompare(axis->max(), high));
        QVERIFY(chart.series()[0]->attachedAxes().contains(axis));
    }

    void badCommandLineExitsWithTwo_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("environment");
        const auto row = [](const char* name, QStringList arguments, const char* message,
                            QStringList environment = {}) {
            QTest::newRow(name) << arguments << QString(message) << environment;
        };
        row("unknown option", {"--bogus"}, "Unknown option 'bogus'");
        row("size without x", {"--size", "640"}, "--size wants WxH");
        row("size too small", {"--size", "10x10"}, "--size wants WxH");
        row("month 13", {"--from", "2026-13-01"}, "--from wants a date");
        row("range backwards", {"--from", "2026-12-06", "--to", "2026-12-05"},
            "--from 2026-12-06 is after --to 2026-12-05");
        row("picture named for another format", {"--png", "shot.jpg"},
            "--png writes PNG only: name the file FILE.png or FILE, not \"shot.jpg\"");
        row("date form without a month", {"--date-format", "d/y"},
            "--date-format wants a form with d");
        // Without a display the window cannot open: the way that works without one is named.
        row("window without a display", {"--follow", "log"},
            "the window needs a display, and none is set (DISPLAY); --png FILE draws the plot "
            "without one",
            {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"});
    }

    void badCommandLineExitsWithTwo() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QFETCH(QStringList, environment);
        const Run run = Trend(arguments, environment);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.startsWith("vacuum-trend: ") && run.err.contains(message) &&
                     run.err.count('\n') == 1,
                 qPrintable(run.err));
    }

    // The panel's own log written on a US PC, plotted on a German one.
    void logOfAnotherRegionIsPlotted() {
        const QTemporaryDir plant;
        const Run wrote = Trend({plant.path()}, {"LC_ALL=en_US.UTF-8"}, VP_DEMO_LOG_PROGRAM);
        QCOMPARE(wrote.exitCode, 0);
        QVERIFY(QFileInfo::exists(plant.filePath("log/3-17-26.dat")));
        const QString png = plant.filePath("trend.png");
        const Run run = Trend({plant.path(), "--png", png}, {"LC_ALL=de_DE.UTF-8"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(QImage(png).size(), QSize(1000, 600));

        // Run again, the demo leaves the day it wrote alone.
        const qint64 size = QFileInfo(plant.filePath("log/3-17-26.dat")).size();
        const Run again = Trend({plant.path()}, {"LC_ALL=en_US.UTF-8"}, VP_DEMO_LOG_PROGRAM);
        QCOMPARE(again.exitCode, 1);
        QVERIFY2(again.err.contains("3-17-26.dat is already there; it is left as it is"),
                 qPrintable(again.err));
        QCOMPARE(QFileInfo(plant.filePath("log/3-17-26.dat")).size(), size);
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(TestTrendWindow)
#include "tst_trend_window.moc"
