#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/trend/log_writer.h"

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run Trend(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VP_TREND_PROGRAM), arguments);
    Run run;
    if (!process.waitForFinished(60'000)) return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

}  // namespace

class TestTrendProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void pngHasTheAskedSize_data();
    void pngHasTheAskedSize();
    void badCommandLineExitsWithTwo_data();
    void badCommandLineExitsWithTwo();
    void nothingToPlotExitsWithOne();
    void badLinesAreReportedAndTheRestPlotted();

private:
    QTemporaryDir dir_;
    QString day_;
};

void TestTrendProgram::initTestCase() {
    QVERIFY(dir_.isValid());
    LogWriter writer(dir_.path());
    for (int minute = 0; minute < 30; ++minute)
        day_ = writer.Tick("2026-12-05", QTime(9, minute).toString("HH:mm:ss"), kHighVacuum);
}

void TestTrendProgram::pngHasTheAskedSize_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QSize>("size");
    QTest::newRow("default size") << QStringList{} << QSize(1000, 600);
    QTest::newRow("asked size") << QStringList{"--size", "640x480"} << QSize(640, 480);
    QTest::newRow("with a range") << QStringList{"--from", "2026-12-05", "--to", "2026-12-05"}
                                  << QSize(1000, 600);
}

void TestTrendProgram::pngHasTheAskedSize() {
    QFETCH(QStringList, arguments);
    QFETCH(QSize, size);
    const QString png = dir_.filePath("trend.png");
    QFile::remove(png);
    const Run run = Trend(QStringList{dir_.filePath("log"), "--png", png} + arguments);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QImage image(png);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
}

void TestTrendProgram::badCommandLineExitsWithTwo_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "Unknown option 'bogus'";
    QTest::newRow("size without x") << QStringList{"--size", "640"} << "--size wants WxH";
    QTest::newRow("size too small") << QStringList{"--size", "10x10"} << "--size wants WxH";
    QTest::newRow("month 13") << QStringList{"--from", "2026-13-01"} << "--from wants a date";
    QTest::newRow("range backwards") << QStringList{"--from", "2026-12-06", "--to", "2026-12-05"}
                                     << "--from 2026-12-06 is after --to 2026-12-05";
}

void TestTrendProgram::badCommandLineExitsWithTwo() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Run run = Trend(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.startsWith("vacuum-trend: ") && run.err.contains(message),
             qPrintable(run.err));
}

void TestTrendProgram::nothingToPlotExitsWithOne() {
    const QString notes = dir_.filePath("notes.txt");
    QFile file(notes);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("shopping list\n");
    file.close();

    const Run run = Trend({notes, "--png", dir_.filePath("none.png")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(notes + ":1: not a pressure log"), qPrintable(run.err));
    QVERIFY(run.err.contains("nothing to plot"));
    QVERIFY(!QFile::exists(dir_.filePath("none.png")));

    const Run outside =
        Trend({dir_.filePath("log"), "--from", "2027-01-01", "--png", dir_.filePath("none.png")});
    QCOMPARE(outside.exitCode, 1);
}

void TestTrendProgram::badLinesAreReportedAndTheRestPlotted() {
    const QString copy = dir_.filePath("copy.dat");
    QVERIFY(QFile::copy(day_, copy));
    QFile file(copy);
    QVERIFY(file.open(QIODevice::Append));
    file.write("09:30:00\t1.585E-7\toops\t4.467E-7\t5.012E-3\r\n");  // line 34
    file.close();

    const Run run = Trend({copy, "--png", dir_.filePath("copy.png")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains(copy + ":34: 1G1 value \"oops\" is not a pressure text"),
             qPrintable(run.err));
    QVERIFY(!QImage(dir_.filePath("copy.png")).isNull());
}

QTEST_GUILESS_MAIN(TestTrendProgram)
#include "tst_trend_program.moc"
