// SPDX-License-Identifier: MIT
// What a line holds: the frame and the receiver's checksum test; arrivals cut into messages (order,
// splits anywhere, the 256-byte bound, every byte value); what a received message is; the status
// report's own texts; the result-code and warning tables by their properties. Which field of a
// report feeds which control is checked where it shows, in the plant status tests.
#include <QSet>
#include <QtTest>
#include <climits>

#include "protocol/frame.h"
#include "protocol/lines.h"
#include "protocol/message_kind.h"
#include "protocol/result_codes.h"
#include "protocol/rx_buffer.h"
#include "protocol/status_report.h"

using namespace vp::protocol;
using namespace vp::test;
using Action = Classification::Action;

Q_DECLARE_METATYPE(Classification::Action)

namespace {

// A status report of the right length; its fields other than the uptime do not matter here.
QByteArray Report(int code = 150, const QByteArray& kind = "111", int length = 81,
                  const QByteArray& uptime = "0000003600") {
    const QByteArray body = kind + "_" + Byte(code) + QByteArray(63, '0') + uptime;
    return Signed(body).leftJustified(length, '0', true);
}

// An RxBuffer with a sink that keeps every message handed over.
struct Receiver {
    RxBuffer buffer;
    QList<QByteArray> messages;

    std::size_t Feed(const QByteArray& arrival) {
        return buffer.Append(View(arrival),
                             [this](std::string_view message) { messages.append(Bytes(message)); });
    }
    QByteArray Pending() const { return QByteArray::fromStdString(buffer.Pending()); }
};

QString Text(std::string_view text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

}  // namespace

class TestMessages : public QObject {
    Q_OBJECT

private slots:
    // Every byte value, alone, inside a command and 300 times over (beyond what a 16-bit sum
    // holds): the digits are the sum modulo 256, and what the panel frames its receiver accepts.
    void framesOfEveryByteValue() {
        for (int b = 0; b < 256; ++b) {
            for (const QByteArray& body :
                 {Byte(b), "111_" + Byte(b) + "x", QByteArray(300, char(b))}) {
                const QByteArray message = Signed(body);
                const QByteArray digits = message.right(3);
                QVERIFY2(Bytes(Frame(View(body))) == message + '\r',
                         "byte " + QByteArray::number(b));
                QCOMPARE(Bytes(Checksum(View(body))), digits);
                QVERIFY(!ChecksumMismatch(View(message)));
                const int other = (digits.toInt() + 1) % 256;
                QVERIFY(ChecksumMismatch(
                    View(body + QByteArray::number(other).rightJustified(3, '0'))));
            }
        }
    }

    void checksumMismatch_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<bool>("mismatch");
        const auto row = [](const char* name, const QByteArray& message, bool mismatch) {
            QTest::newRow(name) << message << mismatch;
        };
        row("two bytes", "00", true);
        row("three zeros", "000", false);
        row("three digits not zero", "001", true);
        row("three letters read 0", "ABC", false);
        row("letters against a nonzero sum", "AABC", true);
        row("leading blank in field", "* 42", false);
        row("exponent in field", "d1E2", false);
        row("fraction rounds half to even", Byte(2) + "2.5", false);
    }
    void checksumMismatch() {
        QFETCH(QByteArray, message);
        QTEST(ChecksumMismatch(View(message)), "mismatch");
    }

    void classify_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<Action>("action");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("resultCode");
        const auto row = [](const char* name, const QByteArray& message, Action action, int kind,
                            int code) { QTest::newRow(name) << message << action << kind << code; };
        const Action byKind = Action::ByKind;
        row("status report OK", Signed("111_\x96rest"), byKind, 111, 150);
        row("bad checksum beats error code", "111_\xaa" + QByteArray("000"), Action::ChecksumError,
            111, 170);
        row("separator not examined", Signed("111\xff\x96"), byKind, 111, 150);
        row("kind not a number", Signed("ABC_\x96"), byKind, 0, 150);
        row("kind rounds half to even down", Signed("2.5_\x96"), byKind, 2, 150);
        row("kind rounds half to even up", Signed("3.5_\x96"), byKind, 4, 150);
        row("huge kind is clamped", Signed("9E9_\x96"), byKind, INT_MAX, 150);
        row("negative kind", Signed("-99_\x96"), byKind, -99, 150);
        row("empty message", "", Action::ChecksumError, 0, 0);
    }
    void classify() {
        QFETCH(QByteArray, message);
        const Classification c = Classify(View(message));
        QTEST(c.action, "action");
        QTEST(c.kind, "kind");
        QTEST(c.resultCode, "resultCode");
    }

    // Only such a report refreshes the plant picture, so only it may hold off the watchdog; only
    // 81 bytes are read as a report at all.
    void isShownStatusReport_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<bool>("shown");
        QByteArray badSum = Report();
        badSum[80] = badSum[80] == '9' ? '0' : '9';
        QTest::newRow("81 bytes") << Report() << true;
        QTest::newRow("result code below OK") << Report(149) << true;
        QTest::newRow("82 bytes, signed") << Signed(Report().chopped(3) + "0") << false;
        QTest::newRow("bad checksum") << badSum << false;
        QTest::newRow("other kind") << Report(150, "112") << false;
    }
    void isShownStatusReport() {
        QFETCH(QByteArray, message);
        QTEST(IsShownStatusReport(View(message)), "shown");
        if (message.size() != 81) QVERIFY(!ReadStatusReport(View(message)));
    }

    void uptime_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("all nines") << QByteArray("9999999999") << QByteArray("9999999999s");
        QTest::newRow("leading blanks") << QByteArray("      1234") << QByteArray("1234s");
        QTest::newRow("nothing readable") << QByteArray("??????????") << QByteArray("0s");
    }
    void uptime() {
        QFETCH(QByteArray, field);
        const auto report = ReadStatusReport(View(Report(150, "111", 81, field)));
        QVERIFY(report);
        QTEST(Bytes(report->uptimeText), "expected");
    }

    void pressureText_data() {
        QTest::addColumn<QByteArray>("sixBytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("lowest") << QByteArray("100005") << QByteArray("1.000E-15");
        QTest::newRow("highest") << QByteArray("999999") << QByteArray("9.999E 79");
        QTest::newRow("blank exponent") << QByteArray("1000  ") << QByteArray("1.000E-20");
        QTest::newRow("mantissa copied unchanged")
            << QByteArray("\xb0") + "a c20" << QByteArray("\xb0.a cE 0");
    }
    void pressureText() {
        QFETCH(QByteArray, sixBytes);
        QTEST(Bytes(PressureText(View(sixBytes))), "expected");
    }

    // Every byte has a text or none, 15 texts in all, no two codes sharing one; the two buses fail
    // alike, so the pfeiffer texts are the icpcon texts with the bus's name changed. The texts the
    // operator reads most are checked where they show (dispatcher, plant status, faults).
    void everyResultByte() {
        QSet<QString> texts;
        for (int code = 0; code < 256; ++code) texts.insert(Text(ResultText(code)));
        QCOMPARE(texts.size(), 16);  // 15 texts and the empty one
        for (int code = 170; code <= 179; ++code)
            QCOMPARE(Text(ResultText(code + 10)),
                     Text(ResultText(code)).replace("icpcon", "pfeiffer"));
        QCOMPARE(Text(ResultText(0)), "Unknown error code");
        for (int code : {151, 169, 174, 255, -1, 256})
            QVERIFY2(ResultText(code).empty(), qPrintable(QString::number(code)));
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
        QCOMPARE(Text(WarningText(224)), " (OP_ERR_VALVE_1V3)");  // the valves out of order
        // From 234 on without ERR_.
        QCOMPARE(Text(WarningText(234)), " (OP_MANUAL_INTERVENTION_NEEDED)");
    }

    // However the port chunks a stream, the same messages come out in the same order.
    void splitAtEveryOffset_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<QByteArray>>("expected");

        QTest::newRow("three messages, high bytes")
            << QByteArray("111_\x96xyz001\r040_\xff") + "000001000010123\r092_250\r"
            << QList<QByteArray>(
                   {"111_\x96xyz001", QByteArray("040_\xff") + "000001000010123", "092_250"});
        QTest::newRow("lone carriage returns") << QByteArray("\r\r\r") << QList<QByteArray>(3);
        QTest::newRow("with an overlong line")
            << QByteArray("A\r") + QByteArray(300, 'x') + "\rB\r" << QList<QByteArray>({"A", "B"});
    }

    void splitAtEveryOffset() {
        QFETCH(QByteArray, stream);
        QFETCH(QList<QByteArray>, expected);

        for (qsizetype i = 0; i <= stream.size(); ++i) {
            for (qsizetype j = i; j <= stream.size(); ++j) {
                Receiver rx;
                rx.Feed(stream.left(i));
                rx.Feed(stream.mid(i, j - i));
                rx.Feed(stream.mid(j));
                QVERIFY2(rx.messages == expected,
                         qPrintable(QStringLiteral("split at %1 and %2").arg(i).arg(j)));
                QVERIFY(rx.Pending().isEmpty());
            }
        }
    }

    // The limit counts a line with its CR, whether it comes whole or after a pending head; text
    // without a CR is kept up to 256 bytes; once a line is known to be too long, its tail is no
    // message of its own.
    void limit_data() {
        QTest::addColumn<QList<QByteArray>>("arrivals");
        QTest::addColumn<QList<QByteArray>>("messages");
        QTest::addColumn<QByteArray>("pending");
        const QByteArray x255(255, 'x'), next = "\r111_242\r", b56(56, 'b');
        const auto row = [](const char* name, QList<QByteArray> arrivals,
                            QList<QByteArray> messages, const QByteArray& pending = {}) {
            QTest::newRow(name) << arrivals << messages << pending;
        };
        row("200 + 56 kept", {QByteArray(200, 'a'), b56}, {}, QByteArray(200, 'a') + b56);
        row("200 + 57 dropped", {QByteArray(200, 'a'), b56 + 'b'}, {});
        row("256 after a CR kept", {"A\r" + x255 + 'x'}, {"A"}, x255 + 'x');
        row("255 + CR whole", {x255 + next}, {x255, "111_242"});
        row("256 + CR whole", {x255 + "x" + next}, {"111_242"});
        row("255 + CR after a head", {x255.left(200), x255.mid(200) + next}, {x255, "111_242"});
        row("256 + CR after a head", {x255.left(200), x255.mid(199) + next}, {"111_242"});
        row("overlong across arrivals",
            {QByteArray(250, 'x'), QByteArray(10, 'x'), QByteArray(300, 'x'), "tail" + next},
            {"111_242"});
    }
    void limit() {
        QFETCH(QList<QByteArray>, arrivals);
        QFETCH(QList<QByteArray>, messages);
        Receiver rx;
        for (const QByteArray& arrival : arrivals) rx.Feed(arrival);
        QCOMPARE(rx.messages, messages);
        QTEST(rx.Pending(), "pending");
    }

    // All values but CR in a line at the limit with its CR: first in an arrival, and later.
    void everyByteValuePassesUnchanged() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            if (b != '\r') all += char(b);
        Receiver rx;
        rx.Feed(all + "\r" + all + "\r");
        QCOMPARE(rx.messages, QList<QByteArray>({all, all}));
    }

    // A flood must neither pile up nor lose the messages inside it.
    void megabyteArrival() {
        const QByteArray line = "111_" + QByteArray(77, '5') + "\r";  // a status report's length
        const int count = (1 << 20) / line.size();
        Receiver rx;
        QCOMPARE(rx.Feed(line.repeated(count) + QByteArray(1 << 20, 'z')), std::size_t(count));
        QCOMPARE(rx.messages.size(), count);
        QCOMPARE(rx.messages.last(), line.chopped(1));
        QVERIFY(rx.Pending().isEmpty());
        QVERIFY(rx.buffer.Pending().capacity() <= 4 * RxBuffer::kLimit);
    }
};

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
