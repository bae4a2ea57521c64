// The status report's fields: each read from its own position, the pressure and uptime texts.
#include <QMap>
#include <QtTest>

#include "protocol/frame.h"
#include "protocol/lines.h"
#include "protocol/status_report.h"

using vp::protocol::PressureText;
using vp::protocol::ReadStatusReport;
using vp::protocol::StatusReport;
using namespace vp::test;

namespace {

// Every one-byte field holds 128 + its position, so no two fields share a value and a field read
// from a neighbour's position shows at once.
char MarkOf(int position) {
    return char(128 + position);
}

void Put(QByteArray& report, int position, const QByteArray& field) {
    report.replace(position - 1, field.size(), field);
}

QByteArray DistinctReport(const QByteArray& uptime = "0000003600") {
    QByteArray body(78, '?');
    Put(body, 1, "111_");
    for (int p :
         {5, 6, 13, 20, 27, 34, 35, 36, 37, 38, 39, 40, 41, 42, 49, 62, 63, 64, 65, 66, 67, 68}) {
        Put(body, p, QByteArray(1, MarkOf(p)));
    }
    Put(body, 7, "123417");
    Put(body, 14, "234518");
    Put(body, 21, "345623");
    Put(body, 28, "456705");
    Put(body, 43, "101102");
    Put(body, 50, "201202");
    Put(body, 56, "056");
    Put(body, 59, "059");
    Put(body, 69, uptime);
    return Signed(body);
}

const char* const kValveNames[] = {"3V1", "1V1", "2V1", "1V2", "2V2", "1V3", "2V3", "1V4"};
const char* const kGaugeNames[] = {"TG1", "1G1", "2G1", "1G3"};

// Every field of a report under one name, so two reports can be compared field by field.
QMap<QString, QByteArray> Fields(const StatusReport& r) {
    QMap<QString, QByteArray> f;
    for (int g = 0; g < 4; ++g) {
        f[QString(kGaugeNames[g]) + " state"] = QByteArray::number(r.gauges[g].state);
        f[QString(kGaugeNames[g]) + " pressure"] = Bytes(r.gauges[g].pressureText);
    }
    for (int v = 0; v < 8; ++v)
        f[QString("valve ") + kValveNames[v]] = QByteArray::number(r.valves[v]);
    for (int t = 0; t < 2; ++t) {
        f[QString("TMP%1 state").arg(t + 1)] = QByteArray::number(r.tmps[t].state);
        f[QString("TMP%1 speed").arg(t + 1)] = Bytes(r.tmps[t].speed);
    }
    f["glow discharge speed"] = Bytes(r.glowDischargeSpeed);
    f["high vacuum speed"] = Bytes(r.highVacuumSpeed);
    f["rotary pump"] = QByteArray::number(r.rotary);
    f["current mode"] = QByteArray::number(r.currentMode);
    f["requested mode"] = QByteArray::number(r.requestedMode);
    f["pneumatic pressure"] = QByteArray::number(r.pneumatics);
    f["TMP cooling"] = QByteArray::number(r.tmpCooling);
    f["branch 1"] = QByteArray::number(r.branch1);
    f["branch 2"] = QByteArray::number(r.branch2);
    f["uptime"] = Bytes(r.uptimeText);
    return f;
}

// Where each field lives, counted from 1; no name for the parts the reader leaves alone.
struct Span {
    int from;
    int to;
    const char* field;
};
// clang-format off
    const Span kLayout[] = {
        {1, 5, ""}, {6, 6, "TG1 state"}, {7, 12, "TG1 pressure"}, {13, 13, "1G1 state"},
        {14, 19, "1G1 pressure"}, {20, 20, "2G1 state"}, {21, 26, "2G1 pressure"},
        {27, 27, "1G3 state"}, {28, 33, "1G3 pressure"}, {34, 34, "valve 3V1"},
        {35, 35, "valve 1V1"}, {36, 36, "valve 2V1"}, {37, 37, "valve 1V2"},
        {38, 38, "valve 2V2"}, {39, 39, "valve 1V3"}, {40, 40, "valve 2V3"},
        {41, 41, "valve 1V4"}, {42, 42, "TMP1 state"}, {43, 48, "TMP1 speed"},
        {49, 49, "TMP2 state"}, {50, 55, "TMP2 speed"}, {56, 58, "glow discharge speed"},
        {59, 61, "high vacuum speed"}, {62, 62, "rotary pump"}, {63, 63, "current mode"},
        {64, 64, "requested mode"}, {65, 65, "pneumatic pressure"}, {66, 66, "TMP cooling"},
        {67, 67, "branch 1"}, {68, 68, "branch 2"}, {69, 78, "uptime"}, {79, 81, ""},
    };
// clang-format on

}  // namespace

class TestStatusReport : public QObject {
    Q_OBJECT

private slots:
    void readsEveryField() {
        const QByteArray message = DistinctReport();
        QCOMPARE(message.size(), 81);
        QVERIFY(!vp::protocol::ChecksumMismatch(View(message)));

        const auto report = ReadStatusReport(View(message));
        QVERIFY(report);
        // One-byte fields hold their marks; the others are shown as the panel writes them.
        QMap<QString, QByteArray> expected{{"TG1 pressure", "1.234E-3"},
                                           {"1G1 pressure", "2.345E-2"},
                                           {"2G1 pressure", "3.456E 3"},
                                           {"1G3 pressure", "4.567E-15"},
                                           {"TMP1 speed", "101/102"},
                                           {"TMP2 speed", "201/202"},
                                           {"glow discharge speed", "056"},
                                           {"high vacuum speed", "059"},
                                           {"uptime", "3600s"}};
        for (const Span& span : kLayout)
            if (span.from == span.to) expected[span.field] = QByteArray::number(128 + span.from);
        QCOMPARE(Fields(*report), expected);
    }

    // Changing the byte at one position changes exactly the field that lives there (or nothing for
    // the kind, separator, result code and checksum, which the report reader leaves alone).
    void eachPositionFeedsOneField_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("field");

        for (const Span& span : kLayout) {
            for (int p = span.from; p <= span.to; ++p) {
                QTest::addRow("position %d", p) << p << QString(span.field);
            }
        }
    }

    void eachPositionFeedsOneField() {
        QFETCH(int, position);
        QFETCH(QString, field);

        const QByteArray original = DistinctReport();
        QByteArray changed = original;
        char& byte = changed[position - 1];
        if (byte >= '0' && byte <= '9') {
            byte = byte == '0' ? '1' : '0';  // stays a digit, so number fields read a new value
        } else {
            byte = char(byte + 1);
        }

        const QMap<QString, QByteArray> before = Fields(*ReadStatusReport(View(original)));
        const QMap<QString, QByteArray> after = Fields(*ReadStatusReport(View(changed)));
        QStringList differing;
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (after.value(it.key()) != it.value()) differing.append(it.key());
        }
        QCOMPARE(differing, field.isEmpty() ? QStringList() : QStringList{field});
    }

    void onlyEightyOneBytesAreAReport() {
        for (int size : {0, 80, 82})
            QVERIFY(!ReadStatusReport(View(DistinctReport().leftJustified(size, '0', true))));
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
        const auto report = ReadStatusReport(View(DistinctReport(field)));
        QVERIFY(report);
        QCOMPARE(Bytes(report->uptimeText), expected);
    }

    void pressureText_data() {
        QTest::addColumn<QByteArray>("sixBytes");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("negative exponent") << QByteArray("500017") << QByteArray("5.000E-3");
        QTest::newRow("positive exponent") << QByteArray("101323") << QByteArray("1.013E 3");
        QTest::newRow("zero exponent") << QByteArray("100020") << QByteArray("1.000E 0");
        QTest::newRow("two below") << QByteArray("250018") << QByteArray("2.500E-2");
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
