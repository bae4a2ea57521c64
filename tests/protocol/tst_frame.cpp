// The frame on the line (body, three checksum digits, CR) and the receiver's checksum test.
#include <QtTest>

#include "protocol/frame.h"
#include "protocol/lines.h"

using vp::protocol::Checksum;
using vp::protocol::ChecksumMismatch;
using vp::protocol::Frame;
using namespace vp::test;

class TestFrame : public QObject {
    Q_OBJECT

private slots:
    void workedFrames_data() {
        QTest::addColumn<QByteArray>("frame");
        // The four polls, a set-point, and an empty body.
        for (const char* frame :
             {"111_242", "040_243", "038_250", "092_250", "090_248", "037_075149", "000"})
            QTest::newRow(frame) << QByteArray(frame) + '\r';
    }
    void workedFrames() {
        QFETCH(QByteArray, frame);
        QCOMPARE(Bytes(Frame(View(frame.chopped(4)))), frame);
    }

    // Every byte value, alone, inside a command and 300 times over (beyond what a 16-bit sum
    // holds): the digits are the sum modulo 256, and what the panel frames its receiver accepts.
    void everyByteValue() {
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
        row("empty message", "", true);
        row("two bytes", "00", true);
        row("three zeros", "000", false);
        row("three digits not zero", "001", true);
        row("three letters read 0", "ABC", false);
        row("letters against a nonzero sum", "AABC", true);
        row("007 matches 7", Byte(7) + "007", false);
        row("007 matches 263",
            "\xff\x08"
            "007",
            false);
        row("007 matches 519",
            "\xff\xff\x09"
            "007",
            false);
        row("007 against 8", Byte(8) + "007", true);
        row("leading blank in field", "* 42", false);
        row("trailing blank in field", "*42 ", false);
        row("exponent in field", "d1E2", false);
        row("fraction rounds half to even", Byte(2) + "2.5", false);
    }
    void checksumMismatch() {
        QFETCH(QByteArray, message);
        QFETCH(bool, mismatch);
        QCOMPARE(ChecksumMismatch(View(message)), mismatch);
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
