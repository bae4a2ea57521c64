// SPDX-License-Identifier: MIT
// The pressure log's writer against what a folder may do to it and the regional date; the panel's
// log tick, from the pressure texts of real status reports; then the real clock in the operator's
// regional forms: time of day only, never the zone.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/panel.h"
#include "logging/clock.h"
#include "logging/pressure_log.h"
#include "protocol/lines.h"
#include "state/dispatcher.h"
#include "support/fake_clock.h"
#include "support/file_size_limit.h"

using vp::logging::PressureLog;
using vp::logging::SystemClock;

namespace {

const QString kNotice = "Could not open log file for writing: ";

// The notice of a failed tick; empty for one that wrote.
QString Said(const vp::Result<>& tick) {
    return tick.ok() ? QString() : tick.error();
}
const std::array<QByteArray, 4> kPressures = {"5.000E-3", "1.013E 3", "2.500E-1", "7.120E-6"};

QByteArray Record(const char* time) {
    return time + QByteArray("\t5.000E-3\t1.013E 3\t2.500E-1\t7.120E-6\r\n");
}

// The header of a day's file, then one record at each time given.
QByteArray Day(const QByteArray& date, std::initializer_list<const char*> times = {}) {
    QByteArray text =
        "Merivax vacuum (all pressures in milibars)\r\n" + date + "\tTG1\t1G1\t2G1\t1G3\r\n\r\n";
    for (const char* time : times) text += Record(time);
    return text;
}

// A status report with the four gauges' states and pressures given (state, four mantissa
// characters, two exponent characters): valves closed, pumps stopped, the rest plausible.
std::string Report(const std::array<std::pair<int, QByteArray>, 4>& gauges) {
    QByteArray body = "111_\x96";
    for (const auto& [state, pressure] : gauges) body += char(state) + pressure;
    return vp::test::Signed(body + QByteArray(8, char(190)) +
                            "\xc1"
                            "000000\xc1"
                            "000000050100\xc1\xc7\xc7\xcf\xd1\xce\xce"
                            "0000000042")
        .toStdString();
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>";
}

}  // namespace

class TestPressureLog : public QObject {
    Q_OBJECT

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(dir_->path()).mkdir("log"));
        clock_.date = "2026-12-05";
        clock_.time = "14:03:27";
    }
    void cleanup() {
        QLocale::setDefault(QLocale::system());
        QVERIFY(QDir::setCurrent(saved_));
    }

    // What cannot be opened, and what cannot be written: a notice each tick, the system's reason.
    void failureIsReportedEachTickAndRepairRestartsWithHeader_data() {
        QTest::addColumn<bool>("logIsAFile");  // or else the day's file is a full device
        QTest::addColumn<QString>("reason");
        QTest::newRow("log is a file") << true << "Not a directory";
        QTest::newRow("day's file is a full device") << false << "No space left on device";
    }
    void failureIsReportedEachTickAndRepairRestartsWithHeader() {
        QFETCH(bool, logIsAFile);
        QFETCH(QString, reason);
        const QString log = LogDir(), day = DayFile("2026-12-05.dat");
        QVERIFY(logIsAFile ? QDir(log).removeRecursively() && QFile(log).open(QFile::WriteOnly)
                           : QFile::link("/dev/full", day));
        PressureLog pressureLog(clock_, dir_->path());
        for (int attempt = 0; attempt < 2; ++attempt)
            QCOMPARE(Said(pressureLog.Tick(kPressures)), kNotice + reason);
        QVERIFY(logIsAFile ? QFile::remove(log) && QDir(dir_->path()).mkdir("log")
                           : QFile::remove(day));
        QVERIFY(pressureLog.Tick(kPressures).ok());
        QCOMPARE(ReadAll(day), Day("2026-12-05", {"14:03:27"}));
    }

    void writeCutShortLeavesNoPartialLine_data() {
        QTest::addColumn<bool>("fileExists");
        QTest::newRow("record into the day's file") << true;
        QTest::newRow("header into a new file") << false;
    }
    void writeCutShortLeavesNoPartialLine() {
        QFETCH(bool, fileExists);
        PressureLog log(clock_, dir_->path());
        const QString dayFile = log.FilePath();
        if (fileExists) QVERIFY(log.Tick(kPressures).ok());
        const QByteArray before = fileExists ? ReadAll(dayFile) : QByteArray();
        clock_.time = "14:04:27";
        {
            // Room for a few bytes only, so the write is cut inside the line.
            const FileSizeLimit limit(static_cast<rlim_t>(before.size()) + 5);
            QCOMPARE(Said(log.Tick(kPressures)), kNotice + "File too large");
        }
        QCOMPARE(QFileInfo::exists(dayFile), fileExists);
        if (fileExists) QCOMPARE(ReadAll(dayFile), before);
        QVERIFY(log.Tick(kPressures).ok());
        QCOMPARE(ReadAll(dayFile), (fileExists ? before : Day("2026-12-05")) + Record("14:04:27"));
    }

    // The panel never makes the folder; it says why nothing was written, and writes again once
    // the folder is back. Before any report the record holds no pressures; after one, a gauge in
    // error repeats its last good value. The folder is looked for in the current folder at each
    // tick; a date with slashes names the file with dashes, and line 2 keeps it.
    void panelTick() {
        clock_.date = "06/12/2026";
        QVERIFY(QDir::setCurrent(dir_->path()));
        vp::app::Panel panel(vp::app::Panel::Options{.clock = &clock_});
        QVERIFY(QDir(LogDir()).removeRecursively());
        panel.tmrLogData_Timer();
        QCOMPARE(QString::fromStdString(panel.state().Caption(vp::state::Text::txtStatus)),
                 kNotice + "No such file or directory");
        QVERIFY(!QFileInfo::exists(LogDir()));
        QVERIFY(QDir(dir_->path()).mkdir("log"));
        panel.tmrLogData_Timer();
        vp::state::HandleMessage(
            panel.state(),
            Report({{{150, "100017"}, {150, "200018"}, {150, "300019"}, {150, "400020"}}}));
        clock_.time = "14:04:27";
        panel.tmrLogData_Timer();
        // 1G1 fails; the others move on.
        vp::state::HandleMessage(
            panel.state(),
            Report({{{150, "110017"}, {152, "999999"}, {150, "310019"}, {150, "410021"}}}));
        clock_.time = "14:05:27";
        panel.tmrLogData_Timer();
        QCOMPARE(ReadAll(DayFile("06-12-2026.dat")),
                 Day("06/12/2026") + "14:03:27\t\t\t\t\r\n" +
                     "14:04:27\t1.000E-3\t2.000E-2\t3.000E-1\t4.000E 0\r\n" +
                     "14:05:27\t1.100E-3\t2.000E-2\t3.100E-1\t4.100E 1\r\n");
        QCOMPARE(panel.state().Caption(vp::state::Text::lbl1G1), "---");

        QTemporaryDir other;
        QVERIFY(QDir(other.path()).mkdir("log") && QDir::setCurrent(other.path()));
        panel.tmrLogData_Timer();
        QVERIFY(ReadAll(other.filePath("log/06-12-2026.dat")).startsWith(Day("06/12/2026")));
    }

    // How the records write the time of day, and the short date of line 2 and the file name.
    void regionalForms_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("date");
        QTest::newRow("en_US") << "en_US" << QString("h:mm:ss AP") << QString("M/d/yy");
        QTest::newRow("de_DE") << "de_DE" << QString("HH:mm:ss") << QString("dd.MM.yy");
    }
    void regionalForms() {
        QFETCH(QString, locale);
        QFETCH(QString, time);
        QFETCH(QString, date);
        QLocale::setDefault(QLocale(locale));
        const SystemClock clock;
        const QDateTime before = QDateTime::currentDateTime();
        const QString timeText = clock.LongTimeText(), dateText = clock.ShortDateText();
        const QDateTime after = QDateTime::currentDateTime();
        // Read back in the expected form, it is the time of the call, to the second.
        const QTime read = QLocale(locale).toTime(timeText, time);
        QVERIFY2(read.isValid(), qPrintable(timeText));
        QCOMPARE(QLocale(locale).toString(read, time), timeText);
        const QDateTime at(before.date(), read);
        QVERIFY2((at >= before.addSecs(-1) && at <= after) ||
                     QDateTime(after.date(), read) <= after,  // midnight passed in between
                 qPrintable(timeText));
        QVERIFY2(dateText == QLocale(locale).toString(before.date(), date) ||
                     dateText == QLocale(locale).toString(after.date(), date),
                 qPrintable(dateText));
    }

    // In no locale does the time carry the zone or what held it apart from the time.
    void noLocaleNamesTheZone() {
        const QString zone = QDateTime::currentDateTime().timeZoneAbbreviation();
        QVERIFY(!zone.isEmpty());
        const SystemClock clock;
        for (const QLocale& locale : QLocale::matchingLocales(
                 QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
            QLocale::setDefault(locale);
            const QString text = clock.LongTimeText();
            const QByteArray what = (locale.name() + ": " + text).toUtf8();
            QVERIFY2(!text.contains(zone), what);
            QVERIFY2(!text.contains("()") && !text.contains("[]") && !text.contains("  "), what);
            QVERIFY2(text == text.trimmed() && !text.endsWith(','), what);
        }
    }

private:
    QString LogDir() const { return dir_->filePath("log"); }
    QString DayFile(const char* name) const { return LogDir() + u'/' + QLatin1String(name); }

    std::unique_ptr<QTemporaryDir> dir_;
    FakeClock clock_;
    const QString saved_ = QDir::currentPath();
};

QTEST_MAIN(TestPressureLog)
#include "tst_pressure_log.moc"
