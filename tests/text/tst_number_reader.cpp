#include <QtTest>
#include <cmath>
#include <limits>
#include <string_view>

#include "text/number_reader.h"

using vp::text::LeadingNumber;
using vp::text::ReadOptions;
using vp::text::RoundHalfEven;
using vp::text::ToInt16;

namespace {

std::string_view View(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr ReadOptions kSetPoint{.ignoreWhitespaceAnywhere = true};

}  // namespace

class TestNumberReader : public QObject {
    Q_OBJECT

private slots:
    void leadingNumber_data();
    void leadingNumber();
    void whitespaceAnywhere_data();
    void whitespaceAnywhere();
    void correctlyRounded_data();
    void correctlyRounded();
    void everyByteValue();
    void longInputs_data();
    void longInputs();
    void roundHalfEven_data();
    void roundHalfEven();
    void toInt16_data();
    void toInt16();
    void setPointReading_data();
    void setPointReading();
};

void TestNumberReader::leadingNumber_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("empty") << QByteArray("") << 0.0;
    QTest::newRow("digits") << QByteArray("123") << 123.0;
    QTest::newRow("leading zeros") << QByteArray("00012") << 12.0;
    QTest::newRow("leading blanks") << QByteArray("   42") << 42.0;
    QTest::newRow("only blanks") << QByteArray("  ") << 0.0;
    QTest::newRow("leading tab is not a blank") << QByteArray("\t42") << 0.0;
    QTest::newRow("leading line feed is not a blank") << QByteArray("\n42") << 0.0;
    QTest::newRow("blank inside ends the number") << QByteArray("5 0") << 5.0;
    QTest::newRow("plus sign") << QByteArray("+7") << 7.0;
    QTest::newRow("minus sign") << QByteArray("-7") << -7.0;
    QTest::newRow("blanks before sign") << QByteArray("  -7") << -7.0;
    QTest::newRow("sign alone") << QByteArray("-") << 0.0;
    QTest::newRow("blank after sign") << QByteArray("- 5") << 0.0;
    QTest::newRow("double sign") << QByteArray("+-5") << 0.0;
    QTest::newRow("decimal") << QByteArray("20.0") << 20.0;
    QTest::newRow("fraction only") << QByteArray(".5") << 0.5;
    QTest::newRow("negative fraction") << QByteArray("-.25") << -0.25;
    QTest::newRow("trailing point") << QByteArray("5.") << 5.0;
    QTest::newRow("point alone") << QByteArray(".") << 0.0;
    QTest::newRow("second point ends") << QByteArray("1.2.3") << 1.2;
    QTest::newRow("exponent E") << QByteArray("1E2") << 100.0;
    QTest::newRow("exponent e negative") << QByteArray("25e-1") << 2.5;
    QTest::newRow("exponent D") << QByteArray("2D1") << 20.0;
    QTest::newRow("exponent d with plus") << QByteArray("3d+2") << 300.0;
    QTest::newRow("exponent after point") << QByteArray("1.5E1") << 15.0;
    QTest::newRow("E without digits") << QByteArray("5E") << 5.0;
    QTest::newRow("E and sign without digits") << QByteArray("5E-") << 5.0;
    QTest::newRow("E then letter") << QByteArray("5Ex") << 5.0;
    QTest::newRow("E alone") << QByteArray("E5") << 0.0;
    QTest::newRow("other letter ends") << QByteArray("5F2") << 5.0;
    QTest::newRow("trailing junk") << QByteArray("50x") << 50.0;
    QTest::newRow("junk first") << QByteArray("x50") << 0.0;
    QTest::newRow("nothing readable") << QByteArray("ABC") << 0.0;
    QTest::newRow("checksum field with blank") << QByteArray(" 42") << 42.0;
    QTest::newRow("hex") << QByteArray("&H1F") << 31.0;
    QTest::newRow("hex lower case") << QByteArray("&hff") << 255.0;
    QTest::newRow("hex stops at non-digit") << QByteArray("&H1G") << 1.0;
    QTest::newRow("hex without digits") << QByteArray("&H") << 0.0;
    QTest::newRow("hex after blanks") << QByteArray("  &H10") << 16.0;
    QTest::newRow("hex has no fraction") << QByteArray("&H1.8") << 1.0;
    QTest::newRow("octal") << QByteArray("&O17") << 15.0;
    QTest::newRow("octal lower case stops at 8") << QByteArray("&o78") << 7.0;
    QTest::newRow("ampersand alone") << QByteArray("&") << 0.0;
    QTest::newRow("ampersand other letter") << QByteArray("&X1") << 0.0;
    QTest::newRow("huge exponent") << QByteArray("1e999") << kInf;
    QTest::newRow("huge negative number") << QByteArray("-1e999") << -kInf;
    QTest::newRow("tiny exponent") << QByteArray("1e-999") << 0.0;
    QTest::newRow("zero with huge exponent") << QByteArray("0e999999") << 0.0;
    QTest::newRow("largest double")
        << QByteArray("1.7976931348623157e308") << std::numeric_limits<double>::max();
    QTest::newRow("just past the largest") << QByteArray("2e308") << kInf;
    QTest::newRow("high byte ends") << QByteArray(
                                           "12\xb0"
                                           "3")
                                    << 12.0;
}

void TestNumberReader::leadingNumber() {
    QFETCH(QByteArray, text);
    QFETCH(double, expected);
    QCOMPARE(LeadingNumber(View(text)), expected);
}

void TestNumberReader::whitespaceAnywhere_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("inner blank") << QByteArray("5 0") << 50.0;
    QTest::newRow("tab and line feed") << QByteArray("\t1\n2 ") << 12.0;
    QTest::newRow("blank after sign") << QByteArray("- 5") << -5.0;
    QTest::newRow("blank inside exponent") << QByteArray("2e 1") << 20.0;
    QTest::newRow("blank inside hex prefix") << QByteArray("& H 1 0") << 16.0;
    QTest::newRow("carriage return is not ignored") << QByteArray("5\r0") << 5.0;
    QTest::newRow("only whitespace") << QByteArray(" \t\n") << 0.0;
}

void TestNumberReader::whitespaceAnywhere() {
    QFETCH(QByteArray, text);
    QFETCH(double, expected);
    QCOMPARE(LeadingNumber(View(text), kSetPoint), expected);
}

// Exact comparison: a reader that went through float or lost digits would be off by an ulp.
void TestNumberReader::correctlyRounded_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("one tenth") << QByteArray("0.1") << 0.1;
    QTest::newRow("many digits") << QByteArray("123456789012345678901234567890")
                                 << 123456789012345678901234567890.0;
    QTest::newRow("tie goes to even") << QByteArray("9007199254740993") << 9007199254740992.0;
    // Past the digits kept for reading, a nonzero digit must still push a tie upwards.
    QTest::newRow("far digit breaks the tie")
        << QByteArray("9007199254740993.") + QByteArray(1000, '0') + "1" << 9007199254740994.0;
    QTest::newRow("far zeros keep the tie")
        << QByteArray("9007199254740993.") + QByteArray(1000, '0') << 9007199254740992.0;
    QTest::newRow("leading fraction zeros")
        << QByteArray("0.") + QByteArray(300, '0') + "15" << 1.5e-301;
}

void TestNumberReader::correctlyRounded() {
    QFETCH(QByteArray, text);
    QFETCH(double, expected);
    QVERIFY2(LeadingNumber(View(text)) == expected, qPrintable(QString::number(expected, 'g', 17)));
}

// Each byte value alone, in front of a digit and between two digits: only the number's own
// characters may take part, and no byte may upset the reader.
void TestNumberReader::everyByteValue() {
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        const bool digit = c >= '0' && c <= '9';
        const QByteArray alone(1, c);
        const QByteArray before = QByteArray(1, c) + "5";
        const QByteArray between = QByteArray("5") + c + "5";

        double aloneExpected = digit ? c - '0' : 0.0;
        double beforeExpected = 0.0;
        if (digit) beforeExpected = (c - '0') * 10 + 5;
        if (c == ' ' || c == '+') beforeExpected = 5;
        if (c == '-') beforeExpected = -5;
        if (c == '.') beforeExpected = 0.5;
        double betweenExpected = 5.0;
        if (digit) betweenExpected = 505 + (c - '0') * 10;
        if (c == '.') betweenExpected = 5.5;
        if (c == 'E' || c == 'e' || c == 'D' || c == 'd') betweenExpected = 5e5;

        const QByteArray where = "byte " + QByteArray::number(b);
        QVERIFY2(LeadingNumber(View(alone)) == aloneExpected, where + " alone");
        QVERIFY2(LeadingNumber(View(before)) == beforeExpected, where + " before a digit");
        QVERIFY2(LeadingNumber(View(between)) == betweenExpected, where + " between digits");
    }
}

void TestNumberReader::longInputs_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("setPoint");
    QTest::addColumn<double>("expected");

    const int n = 40000;
    QTest::newRow("many digits overflow") << QByteArray(n, '9') << false << kInf;
    QTest::newRow("many leading zeros") << QByteArray(n, '0') + "5" << false << 5.0;
    QTest::newRow("many blanks") << QByteArray(n, ' ') + "7" << false << 7.0;
    QTest::newRow("long fraction underflows")
        << QByteArray("0.") + QByteArray(n, '0') + "1" << false << 0.0;
    QTest::newRow("long exponent") << QByteArray("1e") + QByteArray(n, '9') << false << kInf;
    QTest::newRow("long negative exponent")
        << QByteArray("1e-") + QByteArray(n, '9') << false << 0.0;
    QTest::newRow("digits offset by exponent")
        << QByteArray(n, '1') + "e-" + QByteArray::number(n - 1) << false << 1.1111111111111112;
    QTest::newRow("long hex") << QByteArray("&H") + QByteArray(n, 'F') << false << kInf;
    QTest::newRow("number then junk") << QByteArray("1") + QByteArray(n, '\xff') << false << 1.0;
    QTest::newRow("spread out set-point")
        << QByteArray(n, ' ') + "4" + QByteArray(n, '\t') + "2" << true << 42.0;
}

void TestNumberReader::longInputs() {
    QFETCH(QByteArray, text);
    QFETCH(bool, setPoint);
    QFETCH(double, expected);
    const double value =
        LeadingNumber(View(text), ReadOptions{.ignoreWhitespaceAnywhere = setPoint});
    QCOMPARE(value, expected);
}

void TestNumberReader::roundHalfEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");

    QTest::newRow("2.5 down") << 2.5 << 2.0;
    QTest::newRow("3.5 up") << 3.5 << 4.0;
    QTest::newRow("0.5 to zero") << 0.5 << 0.0;
    QTest::newRow("1.5 up") << 1.5 << 2.0;
    QTest::newRow("9.5 up") << 9.5 << 10.0;
    QTest::newRow("-2.5") << -2.5 << -2.0;
    QTest::newRow("-3.5") << -3.5 << -4.0;
    QTest::newRow("below half") << 2.4999 << 2.0;
    QTest::newRow("above half") << 2.5000001 << 3.0;
    QTest::newRow("negative below half") << -0.4 << 0.0;
    QTest::newRow("whole") << 150.0 << 150.0;
    QTest::newRow("large") << 1e300 << 1e300;
    QTest::newRow("infinity") << kInf << kInf;
}

void TestNumberReader::roundHalfEven() {
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(RoundHalfEven(value), expected);
}

void TestNumberReader::toInt16_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("expected");

    QTest::newRow("zero") << 0.0 << true << 0;
    QTest::newRow("largest") << 32767.0 << true << 32767;
    QTest::newRow("largest by rounding down") << 32767.4 << true << 32767;
    QTest::newRow("tie above largest") << 32767.5 << false << 0;
    QTest::newRow("smallest") << -32768.0 << true << -32768;
    QTest::newRow("tie rounds onto smallest") << -32768.5 << true << -32768;
    QTest::newRow("below smallest") << -32769.0 << false << 0;
    QTest::newRow("4e4") << 4e4 << false << 0;
    QTest::newRow("9e9") << 9e9 << false << 0;
    QTest::newRow("infinity") << kInf << false << 0;
    QTest::newRow("negative infinity") << -kInf << false << 0;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << false << 0;
}

void TestNumberReader::toInt16() {
    QFETCH(double, value);
    QFETCH(bool, fits);
    QFETCH(int, expected);
    const auto result = ToInt16(value);
    QCOMPARE(result.has_value(), fits);
    if (fits) QCOMPARE(int(*result), expected);
}

// What a set-point box makes of its text: read, then rounded into 16 bits.
void TestNumberReader::setPointReading_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("expected");

    QTest::newRow("9.5 rounds to 10") << QByteArray("9.5") << true << 10;
    QTest::newRow("8.5 rounds to 8") << QByteArray("8.5") << true << 8;
    QTest::newRow("20.0") << QByteArray("20.0") << true << 20;
    QTest::newRow("exponent 1e2") << QByteArray("1e2") << true << 100;
    QTest::newRow("inner blank") << QByteArray("5 0") << true << 50;
    QTest::newRow("4e4 does not fit") << QByteArray("4e4") << false << 0;
    QTest::newRow("9e9 does not fit") << QByteArray("9e9") << false << 0;
    QTest::newRow("1e999 does not fit") << QByteArray("1e999") << false << 0;
}

void TestNumberReader::setPointReading() {
    QFETCH(QByteArray, text);
    QFETCH(bool, fits);
    QFETCH(int, expected);
    const auto result = ToInt16(LeadingNumber(View(text), kSetPoint));
    QCOMPARE(result.has_value(), fits);
    if (fits) QCOMPARE(int(*result), expected);
}

QTEST_GUILESS_MAIN(TestNumberReader)
#include "tst_number_reader.moc"
