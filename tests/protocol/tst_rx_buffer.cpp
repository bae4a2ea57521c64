// Arrivals cut into messages: order, splits anywhere, the 256-byte bound, every byte value.
#include <QtTest>

#include "protocol/lines.h"
#include "protocol/rx_buffer.h"

using vp::protocol::RxBuffer;
using namespace vp::test;

namespace {

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

}  // namespace

class TestRxBuffer : public QObject {
    Q_OBJECT

private slots:
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

    // All 255 values but CR in one line: exactly at the limit with its CR.
    void everyByteValuePassesUnchanged() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            if (b != '\r') all += char(b);
        Receiver rx;
        rx.Feed(all + "\r");
        QCOMPARE(rx.messages, QList<QByteArray>({all}));
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

QTEST_GUILESS_MAIN(TestRxBuffer)
#include "tst_rx_buffer.moc"
