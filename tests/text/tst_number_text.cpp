#include <QtTest>

#include "text/number_text.h"

using namespace vp::text;

class TestNumberText : public QObject {
    Q_OBJECT

private slots:
    void plainNumber_data();
    void plainNumber();
    void signPositionNumber_data();
    void signPositionNumber();
    void hashPattern_data();
    void hashPattern();
    void threeDigits_data();
    void threeDigits();
};

void TestNumberText::plainNumber_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("12") << 12.0 << "12";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("negative") << -3.0 << "-3";
    QTest::newRow("uptime") << 3600.0 << "3600";
    QTest::newRow("round thousand million") << 1e9 << "1000000000";
    QTest::newRow("ten digits") << 9999999999.0 << "9999999999";
    QTest::newRow("fraction") << 0.5 << "0.5";
    QTest::newRow("negative fraction") << -2.25 << "-2.25";
}

void TestNumberText::plainNumber() {
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(PlainNumber(value)), expected);
}

void TestNumberText::signPositionNumber_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one") << 1.0 << " 1";
    QTest::newRow("zero") << 0.0 << " 0";
    QTest::newRow("negative zero") << -0.0 << " 0";
    QTest::newRow("negative") << -3.0 << "-3";
    QTest::newRow("warning kind") << 220.0 << " 220";
    QTest::newRow("lowest exponent") << -20.0 << "-20";
}

void TestNumberText::signPositionNumber() {
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(SignPositionNumber(value)), expected);
}

void TestNumberText::hashPattern_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("hours") << 1234.0 << "1234";
    QTest::newRow("zero is empty") << 0.0 << "";
    QTest::newRow("ten") << 10.0 << "10";
    QTest::newRow("rounds to zero") << 0.4 << "";
    QTest::newRow("half rounds away from zero") << 12.5 << "13";
    QTest::newRow("negative") << -5.0 << "-5";
}

void TestNumberText::hashPattern() {
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(HashPattern(value)), expected);
}

void TestNumberText::threeDigits_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("7") << 7 << "007";
    QTest::newRow("0") << 0 << "000";
    QTest::newRow("42") << 42 << "042";
    QTest::newRow("100") << 100 << "100";
    QTest::newRow("255") << 255 << "255";
    QTest::newRow("four digits stay whole") << 1234 << "1234";
    QTest::newRow("negative") << -5 << "-005";
    QTest::newRow("smallest int") << std::numeric_limits<int>::min() << "-2147483648";
}

void TestNumberText::threeDigits() {
    QFETCH(int, value);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(ThreeDigits(value)), expected);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_number_text.moc"
