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
    void frame_data();
    void frame();
    void everyByteRoundTrips();
    void checksumMismatch_data();
    void checksumMismatch();
};

void TestFrame::frame_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("status poll") << QByteArray("111_") << QByteArray("111_242\r");
    QTest::newRow("operating hours poll") << QByteArray("040_") << QByteArray("040_243\r");
    QTest::newRow("TMP errors poll") << QByteArray("038_") << QByteArray("038_250\r");
    QTest::newRow("icpcon errors poll") << QByteArray("092_") << QByteArray("092_250\r");
    QTest::newRow("gauge errors poll") << QByteArray("090_") << QByteArray("090_248\r");
    QTest::newRow("set-point") << QByteArray("037_075") << QByteArray("037_075149\r");
    QTest::newRow("empty body") << QByteArray() << QByteArray("000\r");
    QTest::newRow("sum wraps to zero") << QByteArray("\xff\x01")
                                       << QByteArray(
                                              "\xff\x01"
                                              "000\r");
    // 300 * 255 would not fit the sum of a 16-bit sender; only the low eight bits count.
    QTest::newRow("long high bytes")
        << QByteArray(300, '\xff') << QByteArray(300, '\xff') + "212\r";
}

void TestFrame::frame() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, expected);
    QCOMPARE(Bytes(Frame(View(body))), expected);
    QCOMPARE(Bytes(Checksum(View(body))), expected.mid(body.size(), 3));
}

// What the panel frames, the panel accepts, whatever byte the body carries.
void TestFrame::everyByteRoundTrips() {
    for (int b = 0; b < 256; ++b) {
        const QByteArray body = QByteArray("111_") + char(b) + "x";
        QByteArray message = Bytes(Frame(View(body)));
        message.chop(1);  // the receiver sees the line without its CR
        QVERIFY2(!ChecksumMismatch(View(message)), "byte " + QByteArray::number(b));
    }
}

void TestFrame::checksumMismatch_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("mismatch");

    QTest::newRow("status poll echo") << QByteArray("111_242") << false;
    QTest::newRow("off by one") << QByteArray("111_243") << true;
    QTest::newRow("empty message") << QByteArray() << true;
    QTest::newRow("one byte") << QByteArray("0") << true;
    QTest::newRow("two bytes") << QByteArray("00") << true;
    QTest::newRow("three zeros") << QByteArray("000") << false;
    QTest::newRow("three digits not zero") << QByteArray("001") << true;
    QTest::newRow("three letters read 0") << QByteArray("ABC") << false;
    QTest::newRow("letters against a nonzero sum") << QByteArray("AABC") << true;
    QTest::newRow("letters against a zero sum") << QByteArray(1, '\0') + "ABC" << false;
    QTest::newRow("007 matches 7") << QByteArray(
                                          "\x07"
                                          "007")
                                   << false;
    QTest::newRow("007 matches 263") << QByteArray(
                                            "\xff\x08"
                                            "007")
                                     << false;
    QTest::newRow("007 matches 519") << QByteArray(
                                            "\xff\xff\x09"
                                            "007")
                                     << false;
    QTest::newRow("007 against 8") << QByteArray(
                                          "\x08"
                                          "007")
                                   << true;
    QTest::newRow("leading blank in field") << QByteArray("* 42") << false;
    QTest::newRow("trailing blank in field") << QByteArray("*42 ") << false;
    QTest::newRow("exponent in field") << QByteArray("d1E2") << false;
    QTest::newRow("fraction rounds half to even") << QByteArray(
                                                         "\x02"
                                                         "2.5")
                                                  << false;
    QTest::newRow("high bytes count as unsigned") << QByteArray(
                                                         "\x96\x96"
                                                         "044")
                                                  << false;
}

void TestFrame::checksumMismatch() {
    QFETCH(QByteArray, message);
    QFETCH(bool, mismatch);
    QCOMPARE(ChecksumMismatch(View(message)), mismatch);
}

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
