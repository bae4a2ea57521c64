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
    void classify_data();
    void classify();
    void codeAt_data();
    void codeAt();
    void fieldAt_data();
    void fieldAt();
};

void TestMessageKind::classify_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("resultCode");

    QTest::newRow("status report OK") << Signed(
                                             "111_\x96"
                                             "rest")
                                      << Action::ByKind << 111 << 150;
    QTest::newRow("result code below OK") << Signed("040_\x95") << Action::ByKind << 40 << 149;
    QTest::newRow("151 is an error report")
        << Signed("040_\x97") << Action::ErrorReport << 40 << 151;
    QTest::newRow("status with icpcon fault")
        << Signed("111_\xaa") << Action::ErrorReport << 111 << 170;
    QTest::newRow("255 is a byte, not -1")
        << Signed("092_\xff") << Action::ErrorReport << 92 << 255;
    QTest::newRow("bad checksum still reads kind") << QByteArray(
                                                          "040_\x96"
                                                          "000")
                                                   << Action::ChecksumError << 40 << 150;
    QTest::newRow("bad checksum beats error code") << QByteArray(
                                                          "111_\xaa"
                                                          "000")
                                                   << Action::ChecksumError << 111 << 170;
    QTest::newRow("separator not examined")
        << Signed("111\xff\x96") << Action::ByKind << 111 << 150;
    QTest::newRow("kind not a number") << Signed("ABC_\x96") << Action::ByKind << 0 << 150;
    QTest::newRow("kind rounds half to even down")
        << Signed("2.5_\x96") << Action::ByKind << 2 << 150;
    QTest::newRow("kind rounds half to even up")
        << Signed("3.5_\x96") << Action::ByKind << 4 << 150;
    QTest::newRow("huge kind is clamped") << Signed("9E9_\x96") << Action::ByKind << INT_MAX << 150;
    QTest::newRow("negative kind") << Signed("-99_\x96") << Action::ByKind << -99 << 150;
    QTest::newRow("warning kind") << Signed("234_\x96") << Action::ByKind << 234 << 150;
    QTest::newRow("three digits, own checksum") << QByteArray("000") << Action::ByKind << 0 << 0;
    QTest::newRow("four bytes, no result code") << Signed("0") << Action::ByKind << 4 << 0;
    QTest::newRow("empty message") << QByteArray() << Action::ChecksumError << 0 << 0;
}

void TestMessageKind::classify() {
    QFETCH(QByteArray, message);
    QFETCH(Action, action);
    QFETCH(int, kind);
    QFETCH(int, resultCode);

    const Classification c = Classify(View(message));
    QCOMPARE(c.action, action);
    QCOMPARE(c.kind, kind);
    QCOMPARE(c.resultCode, resultCode);
}

void TestMessageKind::codeAt_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("pos");
    QTest::addColumn<int>("expected");

    QTest::newRow("first") << QByteArray("abc") << 1 << int('a');
    QTest::newRow("last") << QByteArray("abc") << 3 << int('c');
    QTest::newRow("past the end") << QByteArray("abc") << 4 << 0;
    QTest::newRow("position zero") << QByteArray("abc") << 0 << 0;
    QTest::newRow("empty") << QByteArray() << 1 << 0;
    QTest::newRow("high byte") << QByteArray("\xc1") << 1 << 193;
}

void TestMessageKind::codeAt() {
    QFETCH(QByteArray, message);
    QFETCH(int, pos);
    QFETCH(int, expected);
    QCOMPARE(CodeAt(View(message), std::size_t(pos)), expected);
}

void TestMessageKind::fieldAt_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("pos");
    QTest::addColumn<int>("len");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("inside") << QByteArray("abcdef") << 2 << 3 << QByteArray("bcd");
    QTest::newRow("cut at the end") << QByteArray("abcdef") << 5 << 5 << QByteArray("ef");
    QTest::newRow("last byte") << QByteArray("abcdef") << 6 << 1 << QByteArray("f");
    QTest::newRow("wholly beyond") << QByteArray("abcdef") << 7 << 1 << QByteArray();
    QTest::newRow("position zero") << QByteArray("abcdef") << 0 << 2 << QByteArray();
}

void TestMessageKind::fieldAt() {
    QFETCH(QByteArray, message);
    QFETCH(int, pos);
    QFETCH(int, len);
    QFETCH(QByteArray, expected);
    const std::string_view field = FieldAt(View(message), std::size_t(pos), std::size_t(len));
    QCOMPARE(QByteArray(field.data(), qsizetype(field.size())), expected);
}

QTEST_GUILESS_MAIN(TestMessageKind)
#include "tst_message_kind.moc"
