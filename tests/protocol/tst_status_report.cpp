// The status report's own texts: its exact length, the uptime and the pressure texts. Which
// field each position feeds is checked where it shows, in the plant status tests.
#include <QtTest>

#include "protocol/lines.h"
#include "protocol/status_report.h"

using vp::protocol::PressureText;
using vp::protocol::ReadStatusReport;
using namespace vp::test;

namespace {
QByteArray Report(const QByteArray& uptime = "0000003600", int length = 81) {
    QByteArray body = "111_" + Byte(150) + QByteArray(63, '0') + uptime;
    return Signed(body).leftJustified(length, '0', true);
}
}  // namespace

class TestStatusReport : public QObject {
    Q_OBJECT

private slots:
    void onlyEightyOneBytesAreAReport() {
        QVERIFY(ReadStatusReport(View(Report())));
        for (int length : {0, 80, 82}) QVERIFY(!ReadStatusReport(View(Report("0", length))));
    }

    void uptime_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("zero") << QByteArray("0000000000") << QByteArray("0s");
        QTest::newRow("seven") << QByteArray("0000000007") << QByteArray("7s");
        QTest::newRow("all nines") << QByteArray("9999999999") << QByteArray("9999999999s");
        QTest::newRow("leading blanks") << QByteArray("      1234") << QByteArray("1234s");
        QTest::newRow("nothing readable") << QByteArray("??????????") << QByteArray("0s");
    }
    void uptime() {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, expected);
        const auto report = ReadStatusReport(View(Report(field)));
        QVERIFY(report);
        QCOMPARE(Bytes(report->uptimeText), expected);
    }

    void pressureText_data() {
        QTest::addColumn<QByteArray>("sixBytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("negative exponent") << QByteArray("500017") << QByteArray("5.000E-3");
        QTest::newRow("positive exponent") << QByteArray("101323") << QByteArray("1.013E 3");
        QTest::newRow("zero exponent") << QByteArray("100020") << QByteArray("1.000E 0");
        QTest::newRow("lowest") << QByteArray("100005") << QByteArray("1.000E-15");
        QTest::newRow("highest") << QByteArray("999999") << QByteArray("9.999E 79");
        QTest::newRow("blank exponent") << QByteArray("1000  ") << QByteArray("1.000E-20");
        QTest::newRow("mantissa copied unchanged")
            << QByteArray("\xb0") + "a c20" << QByteArray("\xb0.a cE 0");
    }
    void pressureText() {
        QFETCH(QByteArray, sixBytes);
        QFETCH(QByteArray, expected);
        QCOMPARE(Bytes(PressureText(View(sixBytes))), expected);
    }
};

QTEST_GUILESS_MAIN(TestStatusReport)
#include "tst_status_report.moc"
