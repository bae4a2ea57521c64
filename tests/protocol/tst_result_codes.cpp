// The result-code and warning tables, by their properties over every value a byte can carry,
// and the texts the operator's documentation quotes.
#include <QSet>
#include <QtTest>

#include "protocol/result_codes.h"

using vp::protocol::IsWarningKind;
using vp::protocol::ResultText;
using vp::protocol::WarningText;

namespace {
QString Text(std::string_view text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}
}  // namespace

class TestResultCodes : public QObject {
    Q_OBJECT

private slots:
    void documentedTexts_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("OK") << 150 << "OK";
        QTest::newRow("152") << 152 << "bad size";
        QTest::newRow("170") << 170 << "no response from icpcon";
        QTest::newRow("183") << 183 << "bad crc in response from pfeiffer";
        QTest::newRow("only 0 is unknown") << 0 << "Unknown error code";
        for (int code : {151, 153, 158, 169, 174, 179, 184, 255, -1, 256, 406})
            QTest::addRow("%d has no text", code) << code << "";
    }
    void documentedTexts() {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(Text(ResultText(code)), text);
    }

    // Every byte has a text or none; no two codes share one; the two buses fail alike, so the
    // pfeiffer texts are the icpcon texts with the bus's name changed.
    void everyResultByte() {
        QSet<QString> seen;
        for (int code = 0; code < 256; ++code) {
            const QString text = Text(ResultText(code));
            QVERIFY2(text.isEmpty() || !seen.contains(text), qPrintable(text));
            seen.insert(text);
            if (code >= 170 && code <= 179) {
                QCOMPARE(Text(ResultText(code + 10)), QString(text).replace("icpcon", "pfeiffer"));
                QCOMPARE(text.isEmpty(), code > 173);
            }
        }
        QCOMPARE(seen.size(), 16);  // 15 texts and the empty one
    }

    // Warnings are exactly the seventeen kinds 220..236, each with a list text of its own.
    void warningKinds() {
        QSet<QString> texts;
        for (int kind = -1000; kind <= 1000; ++kind) {
            const QString text = Text(WarningText(kind));
            QCOMPARE(IsWarningKind(kind), kind >= 220 && kind <= 236);
            QCOMPARE(!text.isEmpty(), IsWarningKind(kind));
            if (text.isEmpty()) continue;
            QVERIFY2(text.startsWith(" (OP_") && text.endsWith(')'), qPrintable(text));
            texts.insert(text);
        }
        QCOMPARE(texts.size(), 17);
    }

    void warningTexts_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("220") << 220 << " (OP_ERR_PNEUMATIC_PRESSURE)";
        QTest::newRow("valves out of order") << 224 << " (OP_ERR_VALVE_1V3)";
        QTest::newRow("233") << 233 << " (OP_ERR_PFEIFFER_BUS)";
        QTest::newRow("234 drops ERR_") << 234 << " (OP_MANUAL_INTERVENTION_NEEDED)";
        QTest::newRow("235 drops ERR_") << 235 << " (OP_ROTARY_PUMP_TRIP)";
        QTest::newRow("236 drops ERR_") << 236 << " (OP_ROTARY_PUMP_COOLING)";
    }
    void warningTexts() {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QCOMPARE(Text(WarningText(kind)), text);
    }
};

QTEST_GUILESS_MAIN(TestResultCodes)
#include "tst_result_codes.moc"
