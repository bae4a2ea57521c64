#include <QtTest>
#include <string_view>

#include "link/frame.h"

using vp::link::Checksum;
using vp::link::ChecksumMismatch;
using vp::link::Frame;

namespace {

std::string_view View(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QByteArray Bytes(const std::string& s) {
    return QByteArray::fromStdString(s);
}

}  // namespace

class TestFrame : public QObject {
    Q_OBJECT

private slots:
    void frame_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("expected");
        // The five worked frames: the four polls and a set-point.
        for (const char* frame :
             {"111_242", "040_243", "038_250", "092_250", "090_248", "037_075149"})
            QTest::newRow(frame) << QByteArray(frame).chopped(3) << QByteArray(frame) + '\r';
        QTest::newRow("empty body") << QByteArray() << QByteArray("000\r");
        QTest::newRow("sum wraps to zero")
            << QByteArray("\xff\x01") << QByteArray("\xff\x01") + "000\r";
        // 300 * 255 would not fit the sum of a 16-bit sender; only the low eight bits count.
        QTest::newRow("long high bytes")
            << QByteArray(300, '\xff') << QByteArray(300, '\xff') + "212\r";
    }

    void frame() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, expected);
        QCOMPARE(Bytes(Frame(View(body))), expected);
        QCOMPARE(Bytes(Checksum(View(body))), expected.mid(body.size(), 3));
    }

    // What the panel frames, the panel accepts, whatever byte the body carries.
    void everyByteRoundTrips() {
        for (int b = 0; b < 256; ++b) {
            const QByteArray body = QByteArray("111_") + char(b) + "x";
            QByteArray message = Bytes(Frame(View(body)));
            message.chop(1);  // the receiver sees the line without its CR
            QVERIFY2(!ChecksumMismatch(View(message)), "byte " + QByteArray::number(b));
        }
    }

    void checksumMismatch_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<bool>("mismatch");
        const auto row = [](const char* name, const QByteArray& message, bool mismatch) {
            QTest::newRow(name) << message << mismatch;
        };
        row("status poll echo", "111_242", false);
        row("off by one", "111_243", true);
        row("empty message", "", true);
        row("one byte", "0", true);
        row("two bytes", "00", true);
        row("three zeros", "000", false);
        row("three digits not zero", "001", true);
        row("three letters read 0", "ABC", false);
        row("letters against a nonzero sum", "AABC", true);
        row("letters against a zero sum", QByteArray(1, '\0') + "ABC", false);
        row("007 matches 7", QByteArray("\x07") + "007", false);
        row("007 matches 263", QByteArray("\xff\x08") + "007", false);
        row("007 matches 519", QByteArray("\xff\xff\x09") + "007", false);
        row("007 against 8", QByteArray("\x08") + "007", true);
        row("leading blank in field", "* 42", false);
        row("trailing blank in field", "*42 ", false);
        row("exponent in field", "d1E2", false);
        row("fraction rounds half to even", QByteArray("\x02") + "2.5", false);
        row("high bytes count as unsigned", QByteArray("\x96\x96") + "044", false);
    }

    void checksumMismatch() {
        QFETCH(QByteArray, message);
        QFETCH(bool, mismatch);
        QCOMPARE(ChecksumMismatch(View(message)), mismatch);
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
