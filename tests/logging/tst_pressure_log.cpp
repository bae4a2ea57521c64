// The pressure log's writer against what a folder may do to it (missing, a file, read-only, full,
// a write cut short), midnight and the regional date; what the panel writes before any report and
// from real reports is checked in the log tick's test. Then the real clock in the operator's
// regional forms: the log's records carry the time of day only, never the time zone, and the date
// keeps its regional short form.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

#include "logging/clock.h"
#include "logging/pressure_log.h"
#include "support/fake_clock.h"
#include "support/file_size_limit.h"
#include "support/unprivileged.h"

using vp::logging::PressureLog;
using vp::logging::SystemClock;

namespace {

const QByteArray kNoticePrefix = "Could not open log file for writing: ";

QByteArray Header(const QByteArray& date) {
    return "Merivax vacuum (all pressures in milibars)\r\n" + date + "\tTG1\t1G1\t2G1\t1G3\r\n\r\n";
}

const std::array<QByteArray, 4> kPressures = {"5.000E-3", "1.013E 3", "2.500E-1", "7.120E-6"};
const QByteArray kRecordTail = "\t5.000E-3\t1.013E 3\t2.500E-1\t7.120E-6\r\n";

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<unreadable>";
    return file.readAll();
}

enum Obstacle { kMissingLogFolder, kLogIsAFile, kDayFileIsFolder, kReadOnlyLogFolder, kFullDevice };

}  // namespace

class TestPressureLog : public QObject {
    Q_OBJECT

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("log")));
        clock_.date = "2026-12-05";
        clock_.time = "14:03:27";
    }
    void cleanup() { QLocale::setDefault(QLocale::system()); }

    void failureIsReportedEachTickAndRepairRestartsWithHeader_data() {
        QTest::addColumn<int>("obstacle");
        QTest::addColumn<QString>("reason");  // empty: any description will do
        const auto row = [](const char* name, Obstacle obstacle, const char* reason) {
            QTest::newRow(name) << int(obstacle) << QString(reason);
        };
        row("log folder missing", kMissingLogFolder, "No such file or directory");
        row("log is a file", kLogIsAFile, "Not a directory");
        row("day's file is a folder", kDayFileIsFolder, "");
        row("log folder read-only", kReadOnlyLogFolder, "Permission denied");
        row("day's file is a full device", kFullDevice, "No space left on device");
    }

    void failureIsReportedEachTickAndRepairRestartsWithHeader() {
        QFETCH(int, obstacle);
        QFETCH(QString, reason);
        const QString dayFile = DayFile("2026-12-05.dat");
        const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        const std::function<bool()> obstruct[] = {
            [&] { return QDir(LogDir()).removeRecursively(); },
            [&] {
                return QDir(LogDir()).removeRecursively() && QFile(LogDir()).open(QFile::WriteOnly);
            },
            [&] { return QDir().mkdir(dayFile); },
            [&] {
                return QFile::setPermissions(dir_->path(), readOnly | QFile::WriteOwner) &&
                       QFile::setPermissions(LogDir(), readOnly);
            },
            [&] { return QFile::link(QStringLiteral("/dev/full"), dayFile); }};
        // Nothing was made on the way: the panel never creates the log folder.
        const std::function<bool()> repair[] = {
            [&] { return !QFileInfo::exists(LogDir()) && QDir(dir_->path()).mkdir("log"); },
            [&] { return QFile::remove(LogDir()) && QDir(dir_->path()).mkdir("log"); },
            [&] { return QDir().rmdir(dayFile); },
            [&] {
                return !QFileInfo::exists(dayFile) &&
                       QFile::setPermissions(LogDir(), readOnly | QFile::WriteOwner);
            },
            [&] { return QFile::remove(dayFile); }};
        QVERIFY(obstruct[obstacle]());

        PressureLog log(clock_, dir_->path());
        // Root writes into read-only folders; the operator does not.
        const auto tick = [&]() -> std::optional<QString> {
            if (obstacle != kReadOnlyLogFolder) return log.Tick(kPressures);
            const auto [wrote, notice] = RunUnprivileged([&] {
                const std::optional<QString> n = log.Tick(kPressures);
                if (n) std::fputs(n->toLocal8Bit().constData(), stderr);
                return n ? 0 : 1;
            });
            if (wrote != 0) return std::nullopt;
            return QString::fromLocal8Bit(notice);
        };
        for (int attempt = 0; attempt < 2; ++attempt) {
            const std::optional<QString> notice = tick();
            QVERIFY(notice.has_value());
            QVERIFY2(notice->startsWith(QString::fromLatin1(kNoticePrefix)), qPrintable(*notice));
            if (reason.isEmpty())
                QVERIFY(notice->size() > kNoticePrefix.size());
            else
                QCOMPARE(*notice, QString::fromLatin1(kNoticePrefix) + reason);
        }

        QVERIFY(repair[obstacle]());
        QCOMPARE(log.Tick(kPressures), std::nullopt);
        QCOMPARE(ReadAll(dayFile), Header("2026-12-05") + "14:03:27" + kRecordTail);
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
        QByteArray before;
        if (fileExists) {
            QCOMPARE(log.Tick(kPressures), std::nullopt);
            before = ReadAll(dayFile);
        }

        clock_.time = QStringLiteral("14:04:27");
        {
            // Room for a few bytes only, so the write is cut inside the line.
            const FileSizeLimit limit(static_cast<rlim_t>(before.size()) + 5);
            const std::optional<QString> notice = log.Tick(kPressures);
            QCOMPARE(notice.value_or("none"),
                     QString::fromLatin1(kNoticePrefix) + "File too large");
        }
        QCOMPARE(QFileInfo::exists(dayFile), fileExists);
        if (fileExists) QCOMPARE(ReadAll(dayFile), before);

        QCOMPARE(log.Tick(kPressures), std::nullopt);
        const QByteArray expected = fileExists ? before : Header("2026-12-05");
        QCOMPARE(ReadAll(dayFile), expected + "14:04:27" + kRecordTail);
    }

    void midnightStartsANewFileWithItsHeader() {
        PressureLog log(clock_, dir_->path());
        clock_.time = QStringLiteral("23:59:40");
        QCOMPARE(log.Tick(kPressures), std::nullopt);
        clock_.date = QStringLiteral("2026-12-06");
        clock_.time = QStringLiteral("00:00:40");
        QCOMPARE(log.Tick(kPressures), std::nullopt);

        QCOMPARE(ReadAll(DayFile("2026-12-05.dat")),
                 Header("2026-12-05") + "23:59:40" + kRecordTail);
        QCOMPARE(ReadAll(DayFile("2026-12-06.dat")),
                 Header("2026-12-06") + "00:00:40" + kRecordTail);
    }

    void dateWithSlashNamesFileWithDashesButHeaderKeepsIt() {
        clock_.date = QStringLiteral("06/12/2026");
        PressureLog log(clock_, dir_->path());
        const QString dayFile = DayFile("06-12-2026.dat");
        QCOMPARE(log.FilePath(), QDir::toNativeSeparators(dayFile));

        QCOMPARE(log.Tick(kPressures), std::nullopt);
        QCOMPARE(ReadAll(dayFile), Header("06/12/2026") + "14:03:27" + kRecordTail);
        QCOMPARE(QDir(LogDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("06-12-2026.dat")});
    }

    void currentDirectoryIsTakenAtEachTick() {
        QTemporaryDir other;
        QVERIFY(QDir(other.path()).mkdir(QStringLiteral("log")));
        const QString saved = QDir::currentPath();

        PressureLog log(clock_);
        QVERIFY(QDir::setCurrent(dir_->path()));
        const std::optional<QString> first = log.Tick(kPressures);
        QVERIFY(QDir::setCurrent(other.path()));
        const std::optional<QString> second = log.Tick(kPressures);
        QVERIFY(QDir::setCurrent(saved));
        QVERIFY(!first && !second);
        const QByteArray expected = Header("2026-12-05") + "14:03:27" + kRecordTail;
        QCOMPARE(ReadAll(DayFile("2026-12-05.dat")), expected);
        QCOMPARE(ReadAll(other.filePath(QStringLiteral("log/2026-12-05.dat"))), expected);
    }

    void regionalForms_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("time");  // how the records write the time of day
        QTest::addColumn<QString>("date");  // the short date of line 2 and the file name
        for (const auto& [locale, time, date] :
             {std::array<const char*, 3>{"C", "HH:mm:ss", "d MMM yyyy"},
              {"en_US", "h:mm:ss AP", "M/d/yy"},
              {"en_GB", "HH:mm:ss", "dd/MM/yyyy"},
              {"de_DE", "HH:mm:ss", "dd.MM.yy"}})
            QTest::newRow(locale) << QString(locale) << QString(time) << QString(date);
    }

    void regionalForms() {
        QFETCH(QString, locale);
        QFETCH(QString, time);
        QFETCH(QString, date);
        QLocale::setDefault(QLocale(locale));
        const SystemClock clock;
        const QDateTime before = QDateTime::currentDateTime();
        const QString timeText = clock.LongTimeText();
        const QString dateText = clock.ShortDateText();
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
        const auto all = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                  QLocale::AnyTerritory);
        for (const QLocale& locale : all) {
            QLocale::setDefault(locale);
            const QString text = clock.LongTimeText();
            const QByteArray what = (locale.name() + ": " + text).toUtf8();
            QVERIFY2(!text.contains(zone), what);
            QVERIFY2(!text.contains("()") && !text.contains("[]") && !text.contains("  "), what);
            QVERIFY2(text == text.trimmed() && !text.endsWith(','), what);
        }
    }

private:
    QString LogDir() const { return dir_->filePath(QStringLiteral("log")); }
    QString DayFile(const char* name) const { return LogDir() + u'/' + QLatin1String(name); }

    std::unique_ptr<QTemporaryDir> dir_;
    FakeClock clock_;
};

QTEST_GUILESS_MAIN(TestPressureLog)
#include "tst_pressure_log.moc"
