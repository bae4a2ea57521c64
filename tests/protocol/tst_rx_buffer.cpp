// Arrivals cut into messages: order, splits anywhere, the 256-byte bound, every byte value.
#include <QtTest>

#include "protocol/lines.h"
#include "protocol/rx_buffer.h"

using vp::protocol::RxBuffer;
using vp::test::View;

namespace {

// An RxBuffer with a sink that keeps every message handed over.
struct Receiver {
    RxBuffer buffer;
    QList<QByteArray> messages;

    std::size_t Feed(const QByteArray& arrival) {
        return buffer.Append(View(arrival), [this](std::string_view message) {
            messages.append(QByteArray(message.data(), qsizetype(message.size())));
        });
    }
    QByteArray Pending() const { return QByteArray::fromStdString(buffer.Pending()); }
};

// A status report as the controller sends it: 81 bytes and a CR; the bytes are not checked here.
QByteArray StatusLine(char fill) {
    return QByteArray("111_") + QByteArray(77, fill) + "\r";
}

}  // namespace

class TestRxBuffer : public QObject {
    Q_OBJECT

private slots:
    void twoAndAHalfMessages() {
        Receiver rx;
        QCOMPARE(rx.Feed("111_242\r040_243\r038_2"), std::size_t(2));
        QCOMPARE(rx.messages, QList<QByteArray>({"111_242", "040_243"}));
        QCOMPARE(rx.Pending(), QByteArray("038_2"));

        QCOMPARE(rx.Feed("50\r"), std::size_t(1));
        QCOMPARE(rx.messages.last(), QByteArray("038_250"));
        QVERIFY(rx.Pending().isEmpty());
    }

    // However the port chunks a stream, the same messages come out in the same order.
    void splitAtEveryOffset_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<QByteArray>>("expected");

        QTest::newRow("three messages, high bytes")
            << QByteArray("111_\x96xyz001\r040_\xff") + "000001000010123\r092_250\r"
            << QList<QByteArray>(
                   {"111_\x96xyz001", QByteArray("040_\xff") + "000001000010123", "092_250"});
        QTest::newRow("line feed is an ordinary byte")
            << QByteArray("111_242\r\n040_243\r") << QList<QByteArray>({"111_242", "\n040_243"});
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

    void pendingLimit_data() {
        QTest::addColumn<int>("more");
        QTest::addColumn<int>("pendingAfter");

        QTest::newRow("200 + 56 kept") << 56 << 256;
        QTest::newRow("200 + 57 dropped") << 57 << 0;
    }

    void pendingLimit() {
        QFETCH(int, more);
        QFETCH(int, pendingAfter);

        Receiver rx;
        rx.Feed(QByteArray(200, 'a'));
        QCOMPARE(rx.Pending().size(), 200);
        QCOMPARE(rx.Feed(QByteArray(more, 'b')), std::size_t(0));
        QCOMPARE(rx.Pending().size(), pendingAfter);
        if (pendingAfter > 0) {
            QCOMPARE(rx.Pending(), QByteArray(200, 'a') + QByteArray(more, 'b'));
        }
        QVERIFY(rx.messages.isEmpty());
    }

    // The limit counts the line with its CR, whether the line arrives whole or after a pending
    // head.
    void lineLength_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("pendingHead");
        QTest::addColumn<bool>("handed");

        QTest::newRow("255 + CR whole") << 255 << 0 << true;
        QTest::newRow("256 + CR whole") << 256 << 0 << false;
        QTest::newRow("255 + CR after a head") << 255 << 200 << true;
        QTest::newRow("256 + CR after a head") << 256 << 200 << false;
        QTest::newRow("255 + CR after a full head") << 255 << 255 << true;
    }

    void lineLength() {
        QFETCH(int, length);
        QFETCH(int, pendingHead);
        QFETCH(bool, handed);

        const QByteArray line(length, 'x');
        Receiver rx;
        rx.Feed(line.left(pendingHead));
        rx.Feed(line.mid(pendingHead) + "\r111_242\r");
        QList<QByteArray> expected;
        if (handed) expected.append(line);
        expected.append("111_242");
        QCOMPARE(rx.messages, expected);
    }

    // Once a line is known to be too long, its tail is no message of its own.
    void overlongLineAcrossArrivals() {
        Receiver rx;
        rx.Feed(QByteArray(250, 'x'));
        rx.Feed(QByteArray(10, 'x'));
        QVERIFY(rx.Pending().isEmpty());
        rx.Feed(QByteArray(300, 'x'));
        QVERIFY(rx.Pending().isEmpty());
        QCOMPARE(rx.Feed("tail\r111_242\r"), std::size_t(1));
        QCOMPARE(rx.messages, QList<QByteArray>({"111_242"}));
    }

    void everyByteValuePassesUnchanged() {
        QByteArray all;
        for (int b = 0; b < 256; ++b) {
            if (b == '\r') continue;
            const QByteArray payload = QByteArray("A") + char(b) + "B";
            Receiver rx;
            rx.Feed(payload + "\r");
            QVERIFY2(rx.messages == QList<QByteArray>({payload}), "byte " + QByteArray::number(b));
            all += char(b);
        }
        // All 255 payload values in one line: exactly at the limit with its CR.
        Receiver rx;
        rx.Feed(all + "\r");
        QCOMPARE(rx.messages, QList<QByteArray>({all}));
    }

    // A flood must neither pile up nor lose the messages inside it.
    void megabyteArrival() {
        const QByteArray line = StatusLine('5');
        const int count = (1 << 20) / line.size();
        Receiver rx;
        QCOMPARE(rx.Feed(line.repeated(count) + QByteArray(1 << 20, 'z')), std::size_t(count));
        QCOMPARE(rx.messages.size(), count);
        QCOMPARE(rx.messages.last(), line.chopped(1));
        QVERIFY(rx.Pending().isEmpty());
        QVERIFY(rx.buffer.Pending().capacity() <= 4 * RxBuffer::kLimit);
    }
};

QTEST_GUILESS_MAIN(TestRxBuffer)
#include "tst_rx_buffer.moc"
