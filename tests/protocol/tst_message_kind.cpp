// What a received message is: checksum error, error report or a kind to dispatch; and whether it
// is a status report that will be shown.
#include <QtTest>
#include <climits>

#include "protocol/lines.h"
#include "protocol/message_kind.h"

using vp::protocol::Classification;
using vp::protocol::Classify;
using Action = Classification::Action;
using namespace vp::test;

Q_DECLARE_METATYPE(Classification::Action)

namespace {
// A status report of the right length; its fields do not matter here.
QByteArray Report(int code = 150, const QByteArray& kind = "111", int length = 81) {
    return Signed(kind + "_" + Byte(code) + QByteArray(length - 8, '0'));
}
}  // namespace

class TestMessageKind : public QObject {
    Q_OBJECT

private slots:
    void classify_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<Action>("action");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("resultCode");
        const auto row = [](const char* name, const QByteArray& message, Action action, int kind,
                            int code) { QTest::newRow(name) << message << action << kind << code; };
        const Action byKind = Action::ByKind, error = Action::ErrorReport;
        row("status report OK", Signed("111_\x96rest"), byKind, 111, 150);
        row("151 is an error report", Signed("040_\x97"), error, 40, 151);
        row("status with icpcon fault", Signed("111_\xaa"), error, 111, 170);
        row("255 is a byte, not -1", Signed("092_\xff"), error, 92, 255);
        row("bad checksum beats error code",
            "111_\xaa"
            "000",
            Action::ChecksumError, 111, 170);
        row("separator not examined", Signed("111\xff\x96"), byKind, 111, 150);
        row("kind not a number", Signed("ABC_\x96"), byKind, 0, 150);
        row("kind rounds half to even down", Signed("2.5_\x96"), byKind, 2, 150);
        row("kind rounds half to even up", Signed("3.5_\x96"), byKind, 4, 150);
        row("huge kind is clamped", Signed("9E9_\x96"), byKind, INT_MAX, 150);
        row("negative kind", Signed("-99_\x96"), byKind, -99, 150);
        row("three digits, own checksum", "000", byKind, 0, 0);
        row("four bytes, no result code", Signed("0"), byKind, 4, 0);
        row("empty message", "", Action::ChecksumError, 0, 0);
    }
    void classify() {
        QFETCH(QByteArray, message);
        QFETCH(Action, action);
        QFETCH(int, kind);
        QFETCH(int, resultCode);
        const Classification c = Classify(View(message));
        QCOMPARE(c.action, action);
        QCOMPARE(c.kind, kind);
        QCOMPARE(c.resultCode, resultCode);
    }

    // Only such a report refreshes the plant picture, so only it may hold off the watchdog.
    void isShownStatusReport_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<bool>("shown");
        QByteArray badSum = Report();
        badSum[80] = badSum[80] == '9' ? '0' : '9';
        QTest::newRow("81 bytes") << Report() << true;
        QTest::newRow("result code below OK") << Report(149) << true;
        QTest::newRow("80 bytes") << Report(150, "111", 80) << false;
        QTest::newRow("82 bytes") << Report(150, "111", 82) << false;
        QTest::newRow("bad checksum") << badSum << false;
        QTest::newRow("error report") << Report(170) << false;
        QTest::newRow("other kind") << Report(150, "112") << false;
    }
    void isShownStatusReport() {
        QFETCH(QByteArray, message);
        QFETCH(bool, shown);
        QCOMPARE(vp::protocol::IsShownStatusReport(View(message)), shown);
    }
};

QTEST_GUILESS_MAIN(TestMessageKind)
#include "tst_message_kind.moc"
