#include <QtTest>
#include <climits>
#include <string_view>

#include "link/frame.h"
#include "messages/message_kind.h"

using vp::messages::Classification;
using vp::messages::Classify;
using vp::messages::CodeAt;
using vp::messages::FieldAt;
using Action = Classification::Action;

Q_DECLARE_METATYPE(Classification::Action)

namespace {

std::string_view View(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// A received message with a correct checksum: body and its three digits, no CR.
QByteArray Signed(const QByteArray& body) {
    return body + QByteArray::fromStdString(vp::link::Checksum(View(body)));
}

}  // namespace

class TestMessageKind : public QObject {
    Q_OBJECT

private slots:
    void classify_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<Action>("action");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("resultCode");
        const auto row = [](const char* name, const QByteArray& message, Action action, int kind,
                            int code) { QTest::newRow(name) << message << action << kind << code; };
        const Action byKind = Action::ByKind, error = Action::ErrorReport;
        row("status report OK", Signed("111_\x96rest"), byKind, 111, 150);
        row("151 is an error report", Signed("040_\x97"), error, 40, 151);
        row("status with icpcon fault", Signed("111_\xaa"), error, 111, 170);
        row("255 is a byte, not -1", Signed("092_\xff"), error, 92, 255);
        row("bad checksum still reads kind", QByteArray("040_\x96") + "000", Action::ChecksumError,
            40, 150);
        row("bad checksum beats error code", QByteArray("111_\xaa") + "000", Action::ChecksumError,
            111, 170);
        row("separator not examined", Signed("111\xff\x96"), byKind, 111, 150);
        row("kind not a number", Signed("ABC_\x96"), byKind, 0, 150);
        row("kind rounds half to even down", Signed("2.5_\x96"), byKind, 2, 150);
        row("kind rounds half to even up", Signed("3.5_\x96"), byKind, 4, 150);
        row("huge kind is clamped", Signed("9E9_\x96"), byKind, INT_MAX, 150);
        row("negative kind", Signed("-99_\x96"), byKind, -99, 150);
        row("three digits, own checksum", "000", byKind, 0, 0);
        row("four bytes, no result code", Signed("0"), byKind, 4, 0);
        row("empty message", "", Action::ChecksumError, 0, 0);
    }

    void classify() {
        QFETCH(QByteArray, message);
        QFETCH(Action, action);
        QFETCH(int, kind);
        QFETCH(int, resultCode);

        const Classification c = Classify(View(message));
        QCOMPARE(c.action, action);
        QCOMPARE(c.kind, kind);
        QCOMPARE(c.resultCode, resultCode);
    }

    // Positions count from 1; outside the message a code reads 0 and a field is cut or empty.
    void codeAndFieldAt_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("len");
        QTest::addColumn<QByteArray>("field");  // its first byte is the code at pos
        QTest::newRow("inside") << QByteArray("abcdef") << 2 << 3 << QByteArray("bcd");
        QTest::newRow("cut at the end") << QByteArray("abcdef") << 5 << 5 << QByteArray("ef");
        QTest::newRow("last byte") << QByteArray("abcdef") << 6 << 1 << QByteArray("f");
        QTest::newRow("wholly beyond") << QByteArray("abcdef") << 7 << 1 << QByteArray();
        QTest::newRow("position zero") << QByteArray("abcdef") << 0 << 2 << QByteArray();
        QTest::newRow("empty") << QByteArray() << 1 << 1 << QByteArray();
        QTest::newRow("high byte") << QByteArray("\xc1") << 1 << 1 << QByteArray("\xc1");
    }
    void codeAndFieldAt() {
        QFETCH(QByteArray, message);
        QFETCH(int, pos);
        QFETCH(int, len);
        QFETCH(QByteArray, field);
        const std::string_view got = FieldAt(View(message), std::size_t(pos), std::size_t(len));
        QCOMPARE(QByteArray(got.data(), qsizetype(got.size())), field);
        QCOMPARE(CodeAt(View(message), std::size_t(pos)), field.isEmpty() ? 0 : uchar(field[0]));
    }
};

QTEST_GUILESS_MAIN(TestMessageKind)
#include "tst_message_kind.moc"
