// SPDX-License-Identifier: MIT
// The trend viewer's log reading: pressure logs read wherever they were written, what cannot be
// read named, logs followed as they grow, and the lines cut from them. Qt Core only.
#include <sys/stat.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "log_writer.h"
#include "trend/log_follower.h"
#include "trend/log_reader.h"
#include "trend/log_selection.h"
#include "trend/pressure_value.h"
#include "trend/regional_time.h"
#include "trace_sizes.h"
#include "trend/traces.h"

using namespace vp::trend;

namespace {


QDateTime At(const QString& date, const QString& time) {
    return QDateTime(QDate::fromString(date, Qt::ISODate), QTime::fromString(time, Qt::ISODate));
}

// A day of `count` records a `stepMs` apart from 10:00, with `mbar(i)` for every gauge.
template <typename Value>
LogFile Synthetic(qsizetype count, qint64 stepMs, Value mbar) {
    LogFile log;
    log.isLog = true;
    log.date = QDate(2026, 12, 5);
    const qint64 start = At("2026-12-05", "10:00:00").toMSecsSinceEpoch();
    for (qsizetype i = 0; i < count; ++i) {
        log.ms.push_back(start + i * stepMs);
        for (auto& column : log.mbar) column.push_back(mbar(i));
    }
    return log;
}

}  // namespace

class TestTrendLog : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() {
        QLocale::setDefault(QLocale::system());
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
    }

    void pressureTexts_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("mbar");  // 0: not a pressure text
        const auto row = [](const char* text, double mbar) {
            QTest::newRow(text) << QByteArray(text) << mbar;
        };
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
    // The regional long time forms, with a zone Qt cannot read back, are read in
    // logsFromAnyRegionAreRead, as the panel writes them.
    void timeTexts_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QTime>("read");  // invalid: unreadable
        const auto row = [](const char* name, const char* locale, const char* text, QTime read) {
            QTest::newRow(name) << QString(locale) << QString(text) << read;
        };
        const QTime t(14, 3, 27);
        row("midnight, AM", "en_US", "12:00:00 AM", QTime(0, 0));
        row("noon, PM", "en_US", "12:00:00 PM CEST", QTime(12, 0));
        row("no seconds", "de_DE", "14:03", QTime(14, 3));
        row("hour 24", "de_DE", "24:00:00", QTime());
        row("PM hour 13", "en_US", "13:00:00 PM", QTime());
        // A log from a 12-hour PC read on a 24-hour one, in the forms such PCs write.
        row("a.m. with dots", "en_GB", "2:03:27 p.m. GMT", t);
        row("narrow no-break space", "de_DE", "2:03:27\u202FPM", t);
        row("zone that starts like AM", "en_US", "14:03:27 AMT", t);
    }
    void timeTexts() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QTEST(ReadTimeText(text, QLocale(locale)).value_or(QTime()), "read");
    }

    // Logs travel between PCs set up for different regions: each is read wherever it goes, its
    // short date and its long time with the zone.
    void logsFromAnyRegionAreRead_data() {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("form");  // --date-format
        QTest::addColumn<QDate>("read");
        QTest::addColumn<QString>("note");  // the one report of a date read either way
        const QStringList regions = {"C", "en_US", "en_GB", "de_DE", "fr_FR"};
        const QDate dec17(2026, 12, 17), dec6(2026, 12, 6);
        for (const QString& writer : regions)
            for (const QString& reader : regions)
                QTest::addRow("%s log, %s reader", qPrintable(writer), qPrintable(reader))
                    << writer << reader << dec17 << QString() << dec17 << QString();
        const auto row = [&](const char* name, const char* writer, const char* reader,
                             const char* form, QDate read, const char* note) {
            QTest::newRow(name) << writer << reader << dec6 << form << read << note;
        };
        row("12/6/26, British reader", "en_US", "en_GB", "", QDate(2026, 6, 12),
            "read day first, as this PC's regional settings (en_GB) write dates: 2026-06-12. "
            "Were they written month first, give --date-format M/d/yy");
        row("12/6/26, US reader", "en_US", "en_US", "", dec6, "read month first");
        row("06/12/2026, form given", "en_GB", "en_US", "dd/MM/yyyy", dec6, "");
    }
    void logsFromAnyRegionAreRead() {
        QFETCH(QString, writer);
        QFETCH(QString, reader);
        QFETCH(QDate, day);
        QFETCH(QString, form);
        QFETCH(QDate, read);
        QFETCH(QString, note);
        // Written as the panel does on a PC set to the writer's region.
        LogWriter log(dir_.path());
        const QLocale region(writer);
        for (const QTime time : {QTime(14, 3, 27), QTime(14, 4, 27)})
            log.Tick(region.toString(day, QLocale::ShortFormat),
                     region.toString(time, QLocale::LongFormat), kHighVacuum);
        QLocale::setDefault(QLocale(reader));
        const TrendData data = LoadTrend({dir_.filePath("log")}, {}, {.dateForm = form});
        QLocale::setDefault(QLocale::system());

        QCOMPARE(data.firstDay, read);
        QCOMPARE(PointCount(data.traces), 8);
        QCOMPARE(data.traces[0][0][0].x(),
                 double(QDateTime(read, QTime(14, 3, 27)).toMSecsSinceEpoch()));
        QCOMPARE(data.problems.size(), note.isEmpty() ? 0 : 1);
        if (!note.isEmpty())
            QVERIFY2(data.problems[0].contains(note), qPrintable(data.problems[0]));
    }

    // A gauge shows 1E-14 to 1E4 mbar; beyond that a value is a fault, and would stretch the axis
    // over 600 decades. What cannot be read is named, and the rest still reads.
    void badLinesAreNamedAndTheRestStillReads() {
        LogWriter writer(dir_.path());
        const QString path = writer.Tick("2026-12-05", "10:00:00",
                                         {"2.500E-2", "1.013E 3", "1.000E-14", "1.000E 4"});
        Append(path, "garbage without tabs\r\n");                              // line 5
        Append(path, "25:99:00\t1.000E-7\t1.000E-7\t1.000E-7\t1.000E-7\r\n");  // line 6
        writer.Tick("2026-12-05", "10:01:00", {"1.585E-7", "4,467E-7", "4.467E-7", "5.012E-3"});
        writer.Tick("2026-12-05", "10:02:00",
                    {"1.000E-320", "1.000E 308", "9.999E-15", "1.001E 4"});  // line 8
        writer.Tick("2026-12-05", "10:03:00", kHighVacuum);
        Append(path, "10:04:00\t1.585E-7\t4.4");  // line 10, still being written

        const LogFile followed = ReadLogFile(path, {.dateForm = {}, .following = true});
        QCOMPARE(followed.problems.size(), 7);
        QCOMPARE(followed.RecordCount(), 4);
        const LogFile log = ReadLogFile(path);
        QCOMPARE(log.problems.size(), 8);
        const std::pair<int, QString> said[] = {
            {0, ":5: malformed record"},
            {1, ":6: time text \"25:99:00\" is not a time of day (tried "},
            {2, ":7: 1G1 value \"4,467E-7\" is not a pressure text"},
            {3,
             ":8: TG1 value \"1.000E-320\" is out of range (a gauge shows 1E-14 to 1E4 mbar), "
             "left out"},
            {7, ":10: malformed record"}};
        for (const auto& [i, text] : said)
            QVERIFY2(log.problems[i].startsWith(path + text), qPrintable(log.problems[i]));

        QCOMPARE(log.RecordCount(), 4);
        QCOMPARE(log.mbar[0].at(0), 2.5e-2f);
        QCOMPARE(log.mbar[2].at(0), 1e-14f);
        // The last field of a line comes without its CR.
        QCOMPARE(log.mbar[3].at(0), 1e4f);
        QVERIFY(!std::isnan(log.mbar[0].at(1)));
        QVERIFY(std::isnan(log.mbar[1].at(1)));
        for (int g = 0; g < kGaugeCount; ++g) QVERIFY(std::isnan(log.mbar[g].at(2)));

        // The unreadable value breaks only its own gauge's line.
        QCOMPARE(Sizes(BuildTraces({log})), (Sized{{2, 1}, {1, 1}, {2, 1}, {2, 1}}));
    }
    // Which records make a line: empty fields are no readings; a clock set back or more than
    // three minutes between records part it; midnight does not.
    void segments_data() {
        QTest::addColumn<QStringList>("ticks");  // "time" or "time|TG1|1G1|2G1|1G3"; "+": a day on
        QTest::addColumn<Sized>("sizes");
        QTest::addColumn<QString>("start");  // of TG1's last line
        const auto row = [](const char* name, QStringList ticks, Sized sizes, const char* start) {
            QTest::newRow(name) << ticks << sizes << QString(start);
        };
        const QList<size_t> two{2, 2};
        row("empty fields",
            {"06:50:00||||", "06:51:00||1.013E 3||", "06:52:00|1.013E 3|1.013E 3||"},
            {{1}, {2}, {}, {}}, "06:52:00");
        row("clock set back", {"10:00:00", "10:01:00", "09:30:00", "09:31:00"},
            {two, two, two, two}, "09:30:00");
        row("three minutes and a second", {"10:00:00", "10:03:00", "10:06:01", "10:07:01"},
            {two, two, two, two}, "10:06:01");
        row("midnight", {"23:58:00", "23:59:00", "+00:00:00", "+00:01:00"}, {{4}, {4}, {4}, {4}},
            "23:58:00");
    }
    void segments() {
        QFETCH(QStringList, ticks);
        QFETCH(QString, start);
        LogWriter writer(dir_.path());
        QStringList paths;
        for (QString tick : ticks) {
            const QString day = tick.startsWith('+') ? "2026-12-06" : "2026-12-05";
            const QStringList parts = tick.remove('+').split('|');
            Pressures pressures = kHighVacuum;
            for (int g = 0; g + 1 < parts.size(); ++g) pressures[g] = parts[g + 1].toLatin1();
            const QString path = writer.Tick(day, parts[0], pressures);
            if (!paths.contains(path)) paths.prepend(path);
        }
        // Each day's file read, handed over newest first on purpose: the dates put them right.
        std::vector<LogFile> logs;
        for (const QString& path : paths) {
            logs.push_back(ReadLogFile(path));
            QVERIFY2(logs.back().problems.isEmpty(), qPrintable(logs.back().problems.join('\n')));
        }
        const Traces traces = BuildTraces(logs);
        QTEST(Sizes(traces), "sizes");
        QCOMPARE(traces[0].back().front().x(), At("2026-12-05", start).toMSecsSinceEpoch());
    }
    void folderStandsForItsNewestDayOrTheRange() {
        LogWriter writer(dir_.path());
        const QString d3 = writer.Tick("2026-12-03", "12:00:00", kHighVacuum);
        const QString d4 = writer.Tick("2026-12-04", "12:00:00", kHighVacuum);
        const QString d5 = writer.Tick("2026-12-05", "12:00:00", kHighVacuum);

        // The panel's folder holding "log" will do as well as "log" itself.
        QCOMPARE(SelectLogFiles({dir_.path()}, {}).files, QStringList{d5});

        const QString log = dir_.filePath("log");
        const QDate dec3(2026, 12, 3), dec4(2026, 12, 4);
        QCOMPARE(SelectLogFiles({log}, {dec3, dec4}).files, (QStringList{d3, d4}));
        QCOMPARE(SelectLogFiles({log}, {dec4, {}}).files, (QStringList{d4, d5}));
        // Named files obey the range too.
        QCOMPARE(SelectLogFiles({d3, d5}, {{}, dec4}).files, QStringList{d3});
        // Reading says how far it got, and stops when told.
        QList<std::pair<int, int>> steps;
        LoadTrend({log}, {dec3, {}}, {}, 0, [&](int done, int total) {
            steps.append({done, total});
            return done < 2;
        });
        QCOMPARE(steps, (QList<std::pair<int, int>>{{1, 3}, {2, 3}}));
    }
    // What is wrong is said, not "not a log" or "nothing to plot".
    void reasonsAreNamed_data() {
        QTest::addColumn<QString>("input");    // "@" stands for the test's folder
        QTest::addColumn<QString>("problem");  // after the input's name
        const auto row = [](const char* name, const char* input, const char* problem) {
            QTest::newRow(name) << QString(input) << QString(problem);
        };
        row("200 MB .dat in a folder", "@/log",
            "/big.dat: 209715200 bytes, too large for a daily pressure log (at most 16777216), "
            "left out");
        row("a FIFO", "@/pipe.dat", ": a FIFO (named pipe), not a log file");
        row("a device", "/dev/null", ": a device, not a log file");
        row("nothing there", "@/gone.dat", ": no such file or folder");
        row("a day logged while not connected", "@/log/2026-12-05.dat",
            ": its 2 record(s) hold no reading: the panel logged while not connected, or before "
            "any gauge reported OK");
        // Files that are no log, written by the test.
        row("other text", "@/notes1.dat",
            ":1: not a pressure log: line 1 is \"Dear operator,\", expected \"Merivax vacuum");
        row("gauge columns differ", "@/notes2.dat", ":2: not a pressure log: line 2 is");
        row("empty", "@/notes3.dat", ": empty file, not a pressure log");
        row("date unreadable in text and name", "@/notes4.dat",
            ":2: its date line holds \"soon\", and neither that nor the file name is a date in "
            "the forms tried (");
    }
    void reasonsAreNamed() {
        QFETCH(QString, input);
        QFETCH(QString, problem);
        LogWriter writer(dir_.path());
        writer.Tick("2026-12-05", "10:00:00", {});
        writer.Tick("2026-12-05", "10:01:00", {});
        QFile big(dir_.filePath("log/big.dat"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(200 << 20));  // sparse: no real 200 MB
        QCOMPARE(::mkfifo(QFile::encodeName(dir_.filePath("pipe.dat")).constData(), 0600), 0);
        const QByteArray head = "Merivax vacuum (all pressures in milibars)\r\n";
        Append(dir_.filePath("notes1.dat"), "Dear operator,\r\nplease\r\n");
        Append(dir_.filePath("notes2.dat"), head + "2026-12-05\tTG1\t1G1\r\n");
        Append(dir_.filePath("notes3.dat"), "");
        Append(dir_.filePath("notes4.dat"), head + "soon\tTG1\t1G1\t2G1\t1G3\r\n\r\n");

        const TrendData data = LoadTrend({input.replace("@", dir_.path())}, {}, {});
        problem.prepend(input);
        QCOMPARE(data.problems.size(), input.endsWith("/log") ? 2 : 1);  // and the empty day
        QVERIFY2(std::any_of(data.problems.begin(), data.problems.end(),
                             [&](const QString& said) { return said.startsWith(problem); }),
                 qPrintable(data.problems.join('\n')));
        QCOMPARE(PointCount(data.traces), 0);
    }

    // A followed file that is replaced (deleted, then written again) is read again at the next
    // poll, and after midnight the next day's file of its folder joins it.
    void followedFileComesBackAndGoesOnToTheNextDay() {
        LogWriter writer(dir_.path());
        writer.Tick("2026-12-04", "23:00:00", kHighVacuum);
        const QString path = writer.Tick("2026-12-05", "10:00:00", kHighVacuum);
        const ReadOptions following{.dateForm = {}, .following = true};
        LogFollower follower;
        QSignalSpy changed(&follower, &LogFollower::changed);
        TrendData data;
        // Polls, then reads again: `said` changes so far, `points` read.
        const auto poll = [&](int said, int points) {
            follower.tmrPoll_Timer();
            QCOMPARE(changed.count(), said);
            data = LoadTrend({path}, {}, following);
            follower.Watch(data.watch);
            QCOMPARE(PointCount(data.traces), points);
        };
        follower.Watch(LoadTrend({path}, {}, following).watch);
        poll(0, 4);  // nothing new, nothing said
        QVERIFY(QFile::remove(path));
        poll(1, 0);
        writer.Tick("2026-12-05", "10:01:00", kHighVacuum);
        poll(2, 4);
        writer.Tick("2026-12-06", "00:00:00", kHighVacuum);
        poll(3, 8);
        QCOMPARE(std::pair(data.firstDay, data.lastDay),
                 std::pair(QDate(2026, 12, 5), QDate(2026, 12, 6)));
    }

    // Per pixel column, the first, lowest, highest and last reading: the same line, peaks
    // included, from a bounded number of points.
    void manyReadingsAreCutToFourAColumn() {
        // A day of readings a second apart, one spike up and one down among them.
        const LogFile day = Synthetic(86'400, 1000, [](qsizetype i) {
            return i == 40'000 ? 900.f : i == 50'001 ? 1e-12f : 1e-6f * (1 + i % 7);
        });
        const Traces all = BuildTraces({day});
        const Traces cut = BuildTraces({day}, 1000);
        QCOMPARE(cut[0].size(), 1u);
        QVERIFY(cut[0][0].size() <= 4000);
        QCOMPARE(cut[0][0].front(), all[0][0].front());
        QCOMPARE(cut[0][0].back(), all[0][0].back());
        const auto y = [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); };
        QCOMPARE(*std::max_element(cut[0][0].begin(), cut[0][0].end(), y), all[0][0][40'000]);
        QCOMPARE(*std::min_element(cut[0][0].begin(), cut[0][0].end(), y), all[0][0][50'001]);
        QVERIFY(std::is_sorted(cut[0][0].begin(), cut[0][0].end(),
                               [](auto& a, auto& b) { return a.x() < b.x(); }));

        // A clock set back on every record: each reading its own segment, many to a column.
        LogFile back = Synthetic(20'000, -1000, [](qsizetype i) { return 1e-6f * (1 + i % 9); });
        const Traces strokes = BuildTraces({back}, 100);
        QCOMPARE(BuildTraces({back})[0].size(), 20'000u);
        QVERIFY(strokes[0].size() <= 100);
        QVERIFY(PointCount(strokes) <= 4 * 2 * 100);
        QCOMPARE(DecadesOf(strokes)->low, -6);
        QCOMPARE(DecadesOf(strokes)->high, -5);
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(TestTrendLog)
#include "tst_trend_log.moc"
