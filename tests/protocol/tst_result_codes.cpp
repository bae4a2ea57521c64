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
    void everyResultCode();
    void resultText_data();
    void resultText();
    void warningText_data();
    void warningText();
    void onlySeventeenWarningKinds();
};

// Every code a result byte can carry, against the table as the controller's manual lists it.
void TestResultCodes::everyResultCode() {
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

void TestResultCodes::resultText_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected");

    QTest::newRow("OK") << 150 << "OK";
    QTest::newRow("last pfeiffer code") << 183 << "bad crc in response from pfeiffer";
    QTest::newRow("zero only is unknown") << 0 << "Unknown error code";
    QTest::newRow("151 has no text") << 151 << "";
    QTest::newRow("153 has no text") << 153 << "";
    QTest::newRow("184 has no text") << 184 << "";
    QTest::newRow("255 has no text") << 255 << "";
    QTest::newRow("negative") << -1 << "";
    QTest::newRow("beyond a byte") << 256 << "";
    QTest::newRow("OK plus 256") << 406 << "";
}

void TestResultCodes::resultText() {
    QFETCH(int, code);
    QFETCH(QString, expected);
    QCOMPARE(Text(ResultText(code)), expected);
}

void TestResultCodes::warningText_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("expected");

    QTest::newRow("220") << 220 << " (OP_ERR_PNEUMATIC_PRESSURE)";
    QTest::newRow("221") << 221 << " (OP_ERR_TMP_COOLING)";
    QTest::newRow("222") << 222 << " (OP_ERR_VALVE_1V1)";
    QTest::newRow("223") << 223 << " (OP_ERR_VALVE_2V1)";
    QTest::newRow("224") << 224 << " (OP_ERR_VALVE_1V3)";
    QTest::newRow("225") << 225 << " (OP_ERR_VALVE_1V2)";
    QTest::newRow("226") << 226 << " (OP_ERR_VALVE_2V2)";
    QTest::newRow("227") << 227 << " (OP_ERR_VALVE_1V4)";
    QTest::newRow("228") << 228 << " (OP_ERR_VALVE_3V1)";
    QTest::newRow("229") << 229 << " (OP_ERR_VALVE_2V3)";
    QTest::newRow("230") << 230 << " (OP_ERR_PUMP_TMP1)";
    QTest::newRow("231") << 231 << " (OP_ERR_PUMP_TMP2)";
    QTest::newRow("232") << 232 << " (OP_ERR_ICPCON_BUS)";
    QTest::newRow("233") << 233 << " (OP_ERR_PFEIFFER_BUS)";
    QTest::newRow("234 drops ERR_") << 234 << " (OP_MANUAL_INTERVENTION_NEEDED)";
    QTest::newRow("235 drops ERR_") << 235 << " (OP_ROTARY_PUMP_TRIP)";
    QTest::newRow("236 drops ERR_") << 236 << " (OP_ROTARY_PUMP_COOLING)";
    QTest::newRow("219 is no warning") << 219 << "";
    QTest::newRow("237 is no warning") << 237 << "";
}

void TestResultCodes::warningText() {
    QFETCH(int, kind);
    QFETCH(QString, expected);
    QCOMPARE(Text(WarningText(kind)), expected);
    QCOMPARE(IsWarningKind(kind), !expected.isEmpty());
}

void TestResultCodes::onlySeventeenWarningKinds() {
    int count = 0;
    for (int kind = -1000; kind <= 1000; ++kind) {
        if (IsWarningKind(kind)) {
            ++count;
            QVERIFY(kind >= 220 && kind <= 236);
        }
    }
    QCOMPARE(count, 17);
}

QTEST_GUILESS_MAIN(TestResultCodes)
#include "tst_result_codes.moc"
