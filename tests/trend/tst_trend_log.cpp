#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/trend/log_writer.h"
#include "trend/log_follower.h"
#include "trend/log_reader.h"
#include "trend/log_selection.h"
#include "trend/pressure_value.h"
#include "trend/regional_time.h"
#include "trend/traces.h"

using namespace vp::trend;

namespace {

void Append(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write(bytes);
}

// Points in each segment of each gauge's trace.
QList<QList<size_t>> Sizes(const Traces& traces) {
    QList<QList<size_t>> sizes;
    for (const auto& trace : traces) {
        sizes.append(QList<size_t>());
        for (const Segment& segment : trace) sizes.last().append(segment.size());
    }
    return sizes;
}

using Sized = QList<QList<size_t>>;

QDateTime At(const QString& date, const QString& time) {
    return QDateTime(QDate::fromString(date, Qt::ISODate), QTime::fromString(time, Qt::ISODate));
}

}  // namespace

class TestTrendLog : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() {
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
    }

    void pressureTexts_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("mbar");  // 0: not a pressure text
        const auto row = [](const char* text, double mbar) {
            QTest::newRow(text) << QByteArray(text) << mbar;
        };
        row("5.000E-3", 5e-3);
        row("1.013E 3", 1013.0);  // blank for plus
        row("2.500E 0", 2.5);
        row("1.000E-15", 1e-15);
        row("9.999E 79", 9.999e79);  // the largest the panel sends
        for (const char* bad : {"1.013E+3", "1.013E3", "5.000e-3", "5,000E-3", "5.00E-3", "5.000E-",
                                "5.000E-3 ", "5.000E-123456", "---"})
            row(bad, 0);
    }
    void pressureTexts() {
        QFETCH(QByteArray, text);
        QFETCH(double, mbar);
        const auto value = ReadPressureText(text);
        QCOMPARE(value.has_value(), mbar != 0);
        if (value) QVERIFY2(qFuzzyCompare(*value, mbar), qPrintable(QString::number(*value)));
    }
    void dateTexts_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");  // invalid: unreadable
        const auto row = [](const char* name, const char* locale, const char* text, QDate date) {
            QTest::newRow(name) << QString(locale) << QString(text) << date;
        };
        const QDate dec5(2026, 12, 5);
        row("US short, two-digit year", "en_US", "12/5/26", dec5);
        row("US file name", "en_US", "12-5-26", dec5);
        row("British short", "en_GB", "05/12/2026", dec5);
        row("British file name", "en_GB", "05-12-2026", dec5);
        row("German short", "de_DE", "05.12.26", dec5);
        row("C short", "C", "5 Dec 2026", dec5);
        row("ISO in any locale", "en_US", "2026-12-05", dec5);
        row("German form in a US locale", "en_US", "05.12.2026", dec5);
        row("no such day", "en_GB", "31/02/2026", QDate());
        row("words", "en_GB", "yesterday", QDate());
    }
    void dateTexts() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(ReadDateText(text, QLocale(locale)).value_or(QDate()), date);
    }
    void timeTexts_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QTime>("time");  // invalid: unreadable
        const auto row = [](const char* name, const char* locale, const char* text, QTime time) {
            QTest::newRow(name) << QString(locale) << QString(text) << time;
        };
        const QTime t(14, 3, 27);
        // The regional long form, as the panel writes it, carries a zone Qt cannot read back.
        for (const char* name : {"C", "en_US", "en_GB", "de_DE", "fr_FR"}) {
            const QLocale locale{QString::fromLatin1(name)};
            QTest::addRow("%s long form", name)
                << locale.name() << locale.toString(t, QLocale::LongFormat) << t;
        }
        row("ISO", "en_US", "14:03:27", t);
        row("midnight, AM", "en_US", "12:00:00 AM", QTime(0, 0));
        row("noon, PM", "en_US", "12:00:00 PM CEST", QTime(12, 0));
        row("no seconds", "de_DE", "14:03", QTime(14, 3));
        row("hour 24", "de_DE", "24:00:00", QTime());
        row("minute 61", "de_DE", "14:61:00", QTime());
        row("PM hour 13", "en_US", "13:00:00 PM", QTime());
        row("not a time", "en_US", "tea time", QTime());
    }
    void timeTexts() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QTime, time);
        QCOMPARE(ReadTimeText(text, QLocale(locale)).value_or(QTime()), time);
    }

    void readsWhatThePanelWrites() {
        LogWriter writer(dir_.path());
        writer.Tick("2026-12-05", "14:03:00", kHighVacuum);
        const QString path = writer.Tick("2026-12-05", "14:04:00",
                                         {"2.500E-2", "1.013E 3", "1.000E-15", "9.999E 79"});

        const LogFile log = ReadLogFile(path);
        QVERIFY2(log.problems.isEmpty(), qPrintable(log.problems.join('\n')));
        QVERIFY(log.isLog);
        QCOMPARE(log.date, QDate(2026, 12, 5));
        QCOMPARE(log.records.size(), 2u);
        // Title, date line and the empty line come first.
        QCOMPARE(log.records[0].line, 4);
        QCOMPARE(log.records[1].line, 5);
        QCOMPARE(log.records[1].time, At("2026-12-05", "14:04:00"));
        QVERIFY(qFuzzyCompare(log.records[1].mbar[0].value_or(0), 2.5e-2));
        // The last field of a line comes without its CR.
        QVERIFY(qFuzzyCompare(log.records[1].mbar[3].value_or(0), 9.999e79));
    }
    void emptyFieldsAreNoReadings() {
        LogWriter writer(dir_.path());
        writer.Tick("2026-12-05", "06:50:00", {});
        writer.Tick("2026-12-05", "06:51:00", {"", "1.013E 3", "", ""});
        const QString path =
            writer.Tick("2026-12-05", "06:52:00", {"1.013E 3", "1.013E 3", "", ""});

        const LogFile log = ReadLogFile(path);
        QVERIFY2(log.problems.isEmpty(), qPrintable(log.problems.join('\n')));
        QCOMPARE(log.records.size(), 3u);
        for (const auto& reading : log.records[0].mbar) QVERIFY(!reading);

        QCOMPARE(Sizes(BuildTraces({log})), (Sized{{1}, {2}, {}, {}}));
    }
    void midnightPairJoinsIntoOneLine() {
        LogWriter writer(dir_.path());
        writer.Tick("2026-12-05", "23:58:00", kHighVacuum);
        const QString evening = writer.Tick("2026-12-05", "23:59:00", kHighVacuum);
        writer.Tick("2026-12-06", "00:00:00", kHighVacuum);
        const QString morning = writer.Tick("2026-12-06", "00:01:00", kHighVacuum);
        QVERIFY(evening != morning);

        // Handed over in the wrong order on purpose: the dates put them right.
        const Traces traces = BuildTraces({ReadLogFile(morning), ReadLogFile(evening)});
        QCOMPARE(Sizes(traces), (Sized{{4}, {4}, {4}, {4}}));
        QCOMPARE(traces[3][0].front().x(), At("2026-12-05", "23:58:00").toMSecsSinceEpoch());
        QCOMPARE(traces[3][0].back().x(), At("2026-12-06", "00:01:00").toMSecsSinceEpoch());
    }
    void badLinesAreNamedAndTheRestStillReads() {
        LogWriter writer(dir_.path());
        const QString path = writer.Tick("2026-12-05", "10:00:00", kHighVacuum);
        Append(path, "garbage without tabs\r\n");                              // line 5
        Append(path, "25:99:00\t1.000E-7\t1.000E-7\t1.000E-7\t1.000E-7\r\n");  // line 6
        writer.Tick("2026-12-05", "10:01:00", {"1.585E-7", "4,467E-7", "4.467E-7", "5.012E-3"});
        writer.Tick("2026-12-05", "10:02:00", kHighVacuum);  // line 8

        const LogFile log = ReadLogFile(path);
        QCOMPARE(log.problems.size(), 3);
        QVERIFY2(log.problems[0].startsWith(path + ":5: malformed record"),
                 qPrintable(log.problems[0]));
        QVERIFY2(log.problems[1].startsWith(
                     path + ":6: time text \"25:99:00\" is not a time of day (tried "),
                 qPrintable(log.problems[1]));
        QVERIFY2(
            log.problems[2].startsWith(path + ":7: 1G1 value \"4,467E-7\" is not a pressure text"),
            qPrintable(log.problems[2]));

        QCOMPARE(log.records.size(), 3u);
        QCOMPARE(log.records[1].line, 7);
        QVERIFY(log.records[1].mbar[0]);
        QVERIFY(!log.records[1].mbar[1]);
        QCOMPARE(log.records[2].line, 8);

        // The unreadable value breaks only its own gauge's line.
        QCOMPARE(Sizes(BuildTraces({log})), (Sized{{3}, {1, 1}, {3}, {3}}));
    }
    void notALog_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("problem");
        QTest::newRow("other text")
            << QByteArray("Dear operator,\r\nplease\r\n")
            << ":1: not a pressure log: line 1 is \"Dear operator,\", expected \"Merivax vacuum";
        QTest::newRow("gauge columns differ")
            << QByteArray("Merivax vacuum (all pressures in milibars)\r\n2026-12-05\tTG1\t1G1\r\n")
            << ":2: not a pressure log: line 2 is";
        QTest::newRow("empty") << QByteArray() << ": empty file, not a pressure log";
        QTest::newRow("date unreadable in text and name")
            << QByteArray(
                   "Merivax vacuum (all pressures in milibars)\r\nsoon\tTG1\t1G1\t2G1\t1G3\r\n\r\n")
            << ":2: neither the date text \"soon\" nor the file name is a date";
    }
    void notALog() {
        QFETCH(QByteArray, content);
        QFETCH(QString, problem);
        const QString path = dir_.filePath(QStringLiteral("notes.dat"));
        Append(path, content);

        const LogFile log = ReadLogFile(path);
        QVERIFY(log.records.empty());
        QCOMPARE(log.problems.size(), 1);
        QVERIFY2(log.problems[0].startsWith(path + problem), qPrintable(log.problems[0]));
    }
    void segments_data() {
        QTest::addColumn<QStringList>("times");
        QTest::addColumn<QList<size_t>>("sizes");
        QTest::newRow("clock set back")
            << QStringList{"10:00:00", "10:01:00", "09:30:00", "09:31:00"} << QList<size_t>{2, 2};
        // Three minutes are still one line; a second more is a gap.
        QTest::newRow("gap") << QStringList{"10:00:00", "10:03:00", "10:06:01", "10:07:01"}
                             << QList<size_t>{2, 2};
    }
    void segments() {
        QFETCH(QStringList, times);
        QFETCH(QList<size_t>, sizes);
        LogWriter writer(dir_.path());
        QString path;
        for (const QString& time : times) path = writer.Tick("2026-12-05", time, kHighVacuum);
        const LogFile log = ReadLogFile(path);
        QVERIFY(log.problems.isEmpty());
        const Traces traces = BuildTraces({log});
        QCOMPARE(Sizes(traces), (Sized{sizes, sizes, sizes, sizes}));
        QCOMPARE(PointCount(traces), 16);
        QCOMPARE(traces[0][1].front().x(), At("2026-12-05", times[2]).toMSecsSinceEpoch());
    }
    void lineBeingWrittenIsLeftForLater() {
        LogWriter writer(dir_.path());
        const QString path = writer.Tick("2026-12-05", "10:00:00", kHighVacuum);
        Append(path, "10:01:00\t1.585E-7\t4.4");

        const LogFile followed = ReadLogFile(path, ReadOptions{.tailMayGrow = true});
        QVERIFY(followed.problems.isEmpty());
        QCOMPARE(followed.records.size(), 1u);

        const LogFile finished = ReadLogFile(path);
        QCOMPARE(finished.problems.size(), 1);
        QVERIFY(finished.problems[0].startsWith(path + ":5: malformed record"));
    }
    void folderStandsForItsNewestDayOrTheRange() {
        LogWriter writer(dir_.path());
        const QString d3 = writer.Tick("2026-12-03", "12:00:00", kHighVacuum);
        const QString d4 = writer.Tick("2026-12-04", "12:00:00", kHighVacuum);
        const QString d5 = writer.Tick("2026-12-05", "12:00:00", kHighVacuum);
        Append(dir_.filePath("log/notes.dat"), "not a log\n");

        // The panel's folder holding "log" will do as well as "log" itself.
        const Selection newest = SelectLogFiles({dir_.path()}, {});
        QCOMPARE(newest.files, QStringList{d5});
        QCOMPARE(newest.problems.size(), 1);
        QVERIFY(newest.problems[0].contains("notes.dat: not a pressure log"));

        const QString log = dir_.filePath("log");
        const QDate dec3(2026, 12, 3), dec4(2026, 12, 4);
        QCOMPARE(SelectLogFiles({log}, {dec3, dec4}).files, (QStringList{d3, d4}));
        QCOMPARE(SelectLogFiles({log}, {dec4, {}}).files, (QStringList{d4, d5}));
        // Named files obey the range too.
        QCOMPARE(SelectLogFiles({d3, d5}, {{}, dec4}).files, QStringList{d3});
        QCOMPARE(SelectLogFiles({dir_.filePath("nowhere")}, {}).problems,
                 QStringList{dir_.filePath("nowhere") + ": no such file or folder"});
    }
    void followerNoticesAppendedRecords() {
        LogWriter writer(dir_.path());
        const QString path = writer.Tick("2026-12-05", "10:00:00", kHighVacuum);
        LogFollower follower;
        QSignalSpy changed(&follower, &LogFollower::changed);
        follower.Watch({path, dir_.filePath("log")});

        follower.tmrPoll_Timer();
        QCOMPARE(changed.count(), 0);

        writer.Tick("2026-12-05", "10:01:00", kHighVacuum);
        follower.tmrPoll_Timer();  // the poll alone sees it, should the file system keep quiet
        QVERIFY(changed.count() >= 1);

        // A new day's file appears in the folder.
        changed.clear();
        follower.Watch({path, dir_.filePath("log")});
        writer.Tick("2026-12-06", "00:00:00", kHighVacuum);
        QTRY_VERIFY_WITH_TIMEOUT(changed.count() >= 1, 2 * LogFollower::kPollMsecs);
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestTrendLog)
#include "tst_trend_log.moc"
