#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/trend/log_writer.h"

namespace {

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

class TestTrendProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        LogWriter writer(dir_.path());
        for (int minute = 0; minute < 30; ++minute)
            day_ = writer.Tick("2026-12-05", QTime(9, minute).toString("HH:mm:ss"), kHighVacuum);
    }

    void badCommandLineExitsWithTwo_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, QStringList arguments, const char* message) {
            QTest::newRow(name) << arguments << QString(message);
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
    }

    void badCommandLineExitsWithTwo() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Run run = Trend(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.startsWith("vacuum-trend: ") && run.err.contains(message),
                 qPrintable(run.err));
    }

    // A bad line in a log is reported, and the rest plotted; a file that is no log alone: nothing
    // drawn, exit code 1.
    void whatCannotBeReadIsNamed() {
        const QString notes = dir_.filePath("notes.txt"), copy = dir_.filePath("copy.dat");
        QVERIFY(QFile::copy(day_, copy));
        Append(notes, "shopping list\n");
        Append(copy, "09:30:00\t1.585E-7\toops\t4.467E-7\t5.012E-3\r\n");
        Run run = Trend({notes, copy, "--png", dir_.filePath("copy.png")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(notes + ":1: not a pressure log"), qPrintable(run.err));
        // line 34: after the header and the half hour of records
        QVERIFY(run.err.contains(copy + ":34: 1G1 value \"oops\" is not a pressure text"));
        QCOMPARE(QImage(dir_.filePath("copy.png")).size(), QSize(1000, 600));

        run = Trend({notes, "--png", dir_.filePath("none.png")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("nothing to plot"), qPrintable(run.err));
        QVERIFY(!QFile::exists(dir_.filePath("none.png")));
    }

    // Without a display the window cannot open: one line, and the way that works without one.
    void windowWithoutADisplayExitsWithTwo() {
        const Run run = Trend({"--follow", dir_.filePath("log")},
                              {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"});
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err,
                 "vacuum-trend: the window needs a display, and none is set (DISPLAY); "
                 "--png FILE draws the plot without one\n");
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
        QVERIFY(!QImage(png).isNull());

        // Run again, the demo leaves the day it wrote alone.
        const qint64 size = QFileInfo(plant.filePath("log/3-17-26.dat")).size();
        const Run again = Trend({plant.path()}, {"LC_ALL=en_US.UTF-8"}, VP_DEMO_LOG_PROGRAM);
        QCOMPARE(again.exitCode, 1);
        QVERIFY2(again.err.contains("3-17-26.dat is already there; it is left as it is"),
                 qPrintable(again.err));
        QCOMPARE(QFileInfo(plant.filePath("log/3-17-26.dat")).size(), size);
    }

    void longReadingSaysSoOnStandardError() {
        const QTemporaryDir month;
        LogWriter writer(month.path());
        for (int day = 0; day < 32; ++day)
            writer.Tick(QDate(2026, 1, 1).addDays(day).toString(Qt::ISODate), "10:00:00",
                        kHighVacuum);
        const QString png = month.filePath("month.png");
        const Run run =
            Trend({month.path(), "--from", "2026-01-01", "--png", png, "--size", "640x480"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains("vacuum-trend: reading 32 log files...\n"), qPrintable(run.err));
        QCOMPARE(QImage(png).size(), QSize(640, 480));
    }

private:
    QTemporaryDir dir_;
    QString day_;
};

QTEST_GUILESS_MAIN(TestTrendProgram)
#include "tst_trend_program.moc"
