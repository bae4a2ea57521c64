// SPDX-License-Identifier: MIT
// Numbers read from the operator's and the controller's texts, and written in the panel's forms.
#include <QtTest>
#include <limits>

#include "protocol/lines.h"
#include "text/number_reader.h"
#include "text/number_text.h"

using namespace vp::text;
using vp::test::View;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr ReadOptions kSetPoint{.ignoreWhitespaceAnywhere = true};

}  // namespace

class TestNumbers : public QObject {
    Q_OBJECT

private slots:
    // A set-point's reading (whitespace anywhere ignored) is marked "anywhere".
    void leadingNumber_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("expected");
        QTest::addColumn<bool>("anywhere");
        const auto row = [](const char* name, const QByteArray& text, double expected,
                            bool anywhere = false) {
            QTest::addRow("%s%s", anywhere ? "anywhere: " : "", name)
                << text << expected << anywhere;
        };

        row("empty", "", 0.0);
        row("blank after sign", "- 5", 0.0);
        row("double sign", "+-5", 0.0);
        row("trailing point", "5.", 5.0);
        row("exponent e negative", "25e-1", 2.5);
        row("exponent d with plus", "3d+2", 300.0);
        row("E and sign without digits", "5E-", 5.0);
        row("hex lower case", "&hff", 255.0);
        row("hex without digits", "&H", 0.0);
        row("hex has no fraction", "&H1.8", 1.0);
        row("octal lower case stops at 8", "&o78", 7.0);
        row("ampersand other letter", "&X1", 0.0);
        row("largest double", "1.7976931348623157e308", std::numeric_limits<double>::max());
        row("just past the largest", "2e308", kInf);
        // Exact: a reader that went through float or lost digits would be off by an ulp.
        row("one tenth", "0.1", 0.1);
        row("tie goes to even", "9007199254740993", 9007199254740992.0);
        // Past the digits kept for reading, a nonzero digit must still push a tie upwards.
        row("far digit breaks the tie",
            QByteArray("9007199254740993.") + QByteArray(1000, '0') + "1", 9007199254740994.0);
        row("far zeros keep the tie", QByteArray("9007199254740993.") + QByteArray(1000, '0'),
            9007199254740992.0);
        row("leading fraction zeros", QByteArray("0.") + QByteArray(300, '0') + "15", 1.5e-301);
        const int n = 40000;  // longer than any line edit holds
        row("many leading zeros", QByteArray(n, '0') + "5", 5.0);
        row("long exponent", QByteArray("1e") + QByteArray(n, '9'), kInf);
        row("long negative exponent", QByteArray("1e-") + QByteArray(n, '9'), 0.0);
        row("digits offset by exponent", QByteArray(n, '1') + "e-" + QByteArray::number(n - 1),
            1.1111111111111112);
        row("long hex", QByteArray("&H") + QByteArray(n, 'F'), kInf);
        row("tab and line feed", "\t1\n2 ", 12.0, true);
        row("blank after sign", "- 5", -5.0, true);
        row("carriage return is not ignored", "5\r0", 5.0, true);
        row("only whitespace", " \t\n", 0.0, true);
    }

    void leadingNumber() {
        QFETCH(QByteArray, text);
        QFETCH(double, expected);
        QFETCH(bool, anywhere);
        QVERIFY2(LeadingNumber(View(text), anywhere ? kSetPoint : ReadOptions{}) == expected,
                 qPrintable(QString::number(expected, 'g', 17)));
    }

    // Each byte value alone, in front of a digit and between two digits: only the number's own
    // characters may take part (signs, point, blank, exponent letters), and no byte may upset the
    // reader.
    void everyByteValue() {
        for (int b = 0; b < 256; ++b) {
            const QByteArray c(1, static_cast<char>(b));
            const int digit = b >= '0' && b <= '9' ? b - '0' : -1;
            const double before = digit >= 0                     ? digit * 10 + 5
                                  : c == "-"                     ? -5
                                  : c == "."                     ? 0.5
                                  : QByteArray(" +").contains(c) ? 5
                                                                 : 0;
            const double between = digit >= 0                       ? 505 + digit * 10
                                   : c == "."                       ? 5.5
                                   : QByteArray("EeDd").contains(c) ? 5e5
                                                                    : 5;
            const QByteArray where = "byte " + QByteArray::number(b);
            QVERIFY2(LeadingNumber(View(c)) == std::max(digit, 0), where + " alone");
            QVERIFY2(LeadingNumber(View(c + "5")) == before, where + " before a digit");
            QVERIFY2(LeadingNumber(View("5" + c + "5")) == between, where + " between digits");
        }
    }

    void roundHalfEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("expected");
        for (auto [value, expected] :
             {std::pair{2.5, 2.0}, {3.5, 4.0}, {2.4999, 2.0}, {2.5000001, 3.0}, {kInf, kInf}})
            QTest::addRow("%g", value) << value << expected;
    }

    void roundHalfEven() {
        QFETCH(double, value);
        QTEST(RoundHalfEven(value), "expected");
    }

    void toInt16_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<int>("expected");
        for (auto [value, fits, expected] : {std::tuple{32767.4, true, 32767},
                                             {32767.5, false, 0},
                                             {-32768.5, true, -32768},
                                             {-32769.0, false, 0},
                                             {std::numeric_limits<double>::quiet_NaN(), false, 0}})
            QTest::addRow("%g", value) << value << fits << expected;
    }

    void toInt16() {
        QFETCH(double, value);
        QFETCH(bool, fits);
        const auto result = ToInt16(value);
        QCOMPARE(result.has_value(), fits);
        if (fits) QTEST(int(*result), "expected");
    }
    // The forms the panel writes numbers in: plain, with a place for the sign, "#" (nothing for
    // zero, half away from zero) and at least three digits.
    void forms_data() {
        QTest::addColumn<char>("form");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        const auto row = [](char form, const char* name, double value, const char* expected) {
            QTest::addRow("%c %s", form, name) << form << value << QString(expected);
        };
        for (auto [name, value, plain, signed_, hash, three] :
             std::initializer_list<std::tuple<const char*, double, const char*, const char*,
                                              const char*, const char*>>{
                 {"zero", 0.0, "0", " 0", "", "000"},
                 {"negative zero", -0.0, "0", " 0", "", "000"},
                 {"negative", -5.0, "-5", "-5", "-5", "-005"},
                 {"four digits", 1234.0, "1234", " 1234", "1234", "1234"}}) {
            row('p', name, value, plain);
            row('s', name, value, signed_);
            row('#', name, value, hash);
            row('3', name, value, three);
        }
        row('p', "round thousand million", 1e9, "1000000000");
        row('p', "negative fraction", -2.25, "-2.25");
        row('#', "rounds to zero", 0.4, "");
        row('#', "half rounds away from zero", 12.5, "13");
        row('3', "smallest int", std::numeric_limits<int>::min(), "-2147483648");
    }
    void forms() {
        QFETCH(char, form);
        QFETCH(double, value);
        const std::string text = form == 'p'   ? PlainNumber(value)
                                 : form == 's' ? SignPositionNumber(value)
                                 : form == '#' ? HashPattern(value)
                                               : ThreeDigits(static_cast<int>(value));
        QTEST(QString::fromStdString(text), "expected");
    }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
