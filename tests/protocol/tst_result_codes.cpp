#include <QMap>
#include <QtTest>

#include "messages/result_codes.h"

using vp::messages::IsWarningKind;
using vp::messages::ResultText;
using vp::messages::WarningText;

namespace {

QString Text(std::string_view text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

}  // namespace

class TestResultCodes : public QObject {
    Q_OBJECT

private slots:
    // Every code a result byte can carry, against the table as the controller's manual lists it.
    void everyResultCode() {
        const QMap<int, QString> expected{
            {0, "Unknown error code"},
            {150, "OK"},
            {152, "bad size"},
            {154, "bad operator"},
            {155, "crc error"},
            {156, "operation not implemented"},
            {157, "operation not allowed"},
            {170, "no response from icpcon"},
            {171, "wrong size response from icpcon"},
            {172, "bad format response from icpcon"},
            {173, "bad crc in response from icpcon"},
            {180, "no response from pfeiffer"},
            {181, "wrong size response from pfeiffer"},
            {182, "bad format response from pfeiffer"},
            {183, "bad crc in response from pfeiffer"},
        };
        for (int code = 0; code < 256; ++code) {
            QVERIFY2(Text(ResultText(code)) == expected.value(code),
                     qPrintable(QStringLiteral("code %1").arg(code)));
        }
    }

    // Outside a byte's range there is no text either.
    void resultText_data() {
        QTest::addColumn<int>("code");
        QTest::newRow("negative") << -1;
        QTest::newRow("beyond a byte") << 256;
        QTest::newRow("OK plus 256") << 406;
    }

    void resultText() {
        QFETCH(int, code);
        QCOMPARE(Text(ResultText(code)), QString());
    }

    void warningText_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("expected");
        const char* const texts[] = {"PNEUMATIC_PRESSURE", "TMP_COOLING", "VALVE_1V1", "VALVE_2V1",
                                     "VALVE_1V3",          "VALVE_1V2",   "VALVE_2V2", "VALVE_1V4",
                                     "VALVE_3V1",          "VALVE_2V3",   "PUMP_TMP1", "PUMP_TMP2",
                                     "ICPCON_BUS",         "PFEIFFER_BUS"};
        for (int kind = 220; kind <= 233; ++kind)
            QTest::addRow("%d", kind)
                << kind << QStringLiteral(" (OP_ERR_%1)").arg(texts[kind - 220]);
        QTest::newRow("234 drops ERR_") << 234 << " (OP_MANUAL_INTERVENTION_NEEDED)";
        QTest::newRow("235 drops ERR_") << 235 << " (OP_ROTARY_PUMP_TRIP)";
        QTest::newRow("236 drops ERR_") << 236 << " (OP_ROTARY_PUMP_COOLING)";
        QTest::newRow("219 is no warning") << 219 << "";
        QTest::newRow("237 is no warning") << 237 << "";
    }

    void warningText() {
        QFETCH(int, kind);
        QFETCH(QString, expected);
        QCOMPARE(Text(WarningText(kind)), expected);
        QCOMPARE(IsWarningKind(kind), !expected.isEmpty());
    }

    void onlySeventeenWarningKinds() {
        int count = 0;
        for (int kind = -1000; kind <= 1000; ++kind) {
            if (IsWarningKind(kind)) {
                ++count;
                QVERIFY(kind >= 220 && kind <= 236);
            }
        }
        QCOMPARE(count, 17);
    }
};

QTEST_GUILESS_MAIN(TestResultCodes)
#include "tst_result_codes.moc"
