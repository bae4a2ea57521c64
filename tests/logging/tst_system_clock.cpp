// The real clock in the operator's regional forms: the log's records carry the time of day only,
// never the time zone, and the date keeps its regional short form.
#include <QtTest>

#include "logging/clock.h"

using vp::logging::SystemClock;

class TestSystemClock : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::system()); }

    void regionalForms_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("time");  // how the records write the time of day
        QTest::addColumn<QString>("date");  // the short date of line 2 and the file name
        QTest::newRow("C") << "C"
                           << "HH:mm:ss"
                           << "d MMM yyyy";
        QTest::newRow("en_US") << "en_US"
                               << "h:mm:ss AP"
                               << "M/d/yy";
        QTest::newRow("en_GB") << "en_GB"
                               << "HH:mm:ss"
                               << "dd/MM/yyyy";
        QTest::newRow("de_DE") << "de_DE"
                               << "HH:mm:ss"
                               << "dd.MM.yy";
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
};

QTEST_GUILESS_MAIN(TestSystemClock)
#include "tst_system_clock.moc"
