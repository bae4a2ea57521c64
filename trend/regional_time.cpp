// SPDX-License-Identifier: MIT
#include "trend/regional_time.h"

#include <QStringList>
#include <array>

namespace vp::trend {

namespace {

// Where the panel's logs come from most: their short and long forms are read on any PC.
const std::array<QLocale, 5>& CommonLocales() {
    static const std::array<QLocale, 5> locales = {QLocale::c(), QLocale("en_US"), QLocale("en_GB"),
                                                   QLocale("de_DE"), QLocale("fr_FR")};
    return locales;
}

// Qt reads "yy" as 19yy; no log of this panel predates 2000.
QDate FixCentury(QDate date, const QString& form) {
    if (date.isValid() && !form.contains(QStringLiteral("yyyy")) && date.year() < 2000)
        return date.addYears(100);
    return date;
}

std::optional<QDate> QtForms(const QString& text, const QLocale& locale) {
    for (const QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QString form = locale.dateFormat(type);
        const QDate date = FixCentury(locale.toDate(text, form), form);
        if (date.isValid()) return date;
    }
    return std::nullopt;
}

enum class Order { kDayMonth, kMonthDay, kYearFirst };

// Three numbers between two like separators, as every numeric short date is written.
struct Numbers {
    std::array<int, 3> value{};
    std::array<qsizetype, 3> digits{};
    QChar separator;
};

std::optional<Numbers> SplitNumbers(const QString& text) {
    Numbers n;
    qsizetype i = 0;
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            if (i >= text.size() || (k == 2 && text[i] != n.separator)) return std::nullopt;
            n.separator = text[i++];
            if (!QStringView(u"/.-").contains(n.separator)) return std::nullopt;
        }
        const qsizetype start = i;
        while (i < text.size() && i - start < 4 && text[i].isDigit()) {
            n.value[k] = n.value[k] * 10 + text[i].digitValue();
            ++i;
        }
        n.digits[k] = i - start;
        if (n.digits[k] == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    return n;
}

// With `order` the form is known; without, the numbers tell it where they can.
std::optional<DateReading> NumericDate(const QString& text, std::optional<Order> order,
                                       bool dayFirst) {
    const auto n = SplitNumbers(text);
    if (!n) return std::nullopt;
    bool ambiguous = false;
    if (!order) {
        const int a = n->value[0], b = n->value[1];
        if (n->digits[0] == 4) {
            order = Order::kYearFirst;
        } else if (n->separator == u'.' || (a > 12 && b <= 12)) {
            order = Order::kDayMonth;  // a dotted date is day first wherever it is written
        } else if (b > 12 && a <= 12) {
            order = Order::kMonthDay;
        } else {
            ambiguous = a != b;
            order = dayFirst ? Order::kDayMonth : Order::kMonthDay;
        }
    }
    const int yearAt = *order == Order::kYearFirst ? 0 : 2;
    int year = n->value[yearAt];
    if (n->digits[yearAt] == 2) {
        year += 2000;
    } else if (n->digits[yearAt] != 4) {
        return std::nullopt;
    }
    const int first = n->value[yearAt == 0 ? 1 : 0], second = n->value[yearAt == 0 ? 2 : 1];
    const QDate date =
        *order == Order::kDayMonth ? QDate(year, second, first) : QDate(year, first, second);
    if (!date.isValid()) return std::nullopt;
    return DateReading{date, ambiguous};
}

// The order of a form made of day, month and year numbers alone ("M/d/yy", "dd.MM.yyyy").
std::optional<Order> OrderOfForm(const QString& form) {
    for (const QChar c : form) {
        if (c.isLetter() && c != u'd' && c != u'M' && c != u'y') return std::nullopt;
    }
    const qsizetype d = form.indexOf(u'd'), m = form.indexOf(u'M'), y = form.indexOf(u'y');
    if (d < 0 || m < 0 || y < 0 || form.count(u'd') > 2 || form.count(u'M') > 2)
        return std::nullopt;
    if (y < d && y < m) return Order::kYearFirst;
    return d < m ? Order::kDayMonth : Order::kMonthDay;
}

// Blanks as the regional forms write them: space, no-break space, narrow no-break space.
qsizetype SkipBlanks(QByteArrayView text, qsizetype i) {
    for (;;) {
        if (i < text.size() && text[i] == ' ') {
            i += 1;
        } else if (text.sliced(i).startsWith("\xC2\xA0")) {
            i += 2;
        } else if (text.sliced(i).startsWith("\xE2\x80\xAF")) {
            i += 3;
        } else {
            return i;
        }
    }
}

}  // namespace

bool DayFirst(const QLocale& regional) {
    const QString form = regional.dateFormat(QLocale::ShortFormat);
    const qsizetype d = form.indexOf(u'd'), m = form.indexOf(u'M');
    return d >= 0 && (m < 0 || d < m);
}

std::optional<DateReading> ReadDate(const QString& text, const QLocale& regional,
                                    const QString& form) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 64) return std::nullopt;
    const bool dayFirst = DayFirst(regional);
    if (!form.isEmpty()) {
        if (const auto order = OrderOfForm(form)) {
            if (auto reading = NumericDate(trimmed, order, dayFirst)) return reading;
        } else {
            const QDate date = FixCentury(regional.toDate(trimmed, form), form);
            if (date.isValid()) return DateReading{date};
        }
    }
    if (const auto date = QtForms(trimmed, regional)) {
        const auto numeric = NumericDate(trimmed, std::nullopt, dayFirst);
        return DateReading{*date, numeric && numeric->ambiguous};
    }
    if (auto reading = NumericDate(trimmed, std::nullopt, dayFirst)) return reading;
    for (const QLocale& locale : CommonLocales()) {
        if (const auto date = QtForms(trimmed, locale)) return DateReading{*date};
    }
    return std::nullopt;
}

std::optional<int> ReadClockText(QByteArrayView text) {
    const auto digit = [&](qsizetype i) {
        return i < text.size() && text[i] >= '0' && text[i] <= '9';
    };
    const auto number = [&](qsizetype i) { return (text[i] - '0') * 10 + (text[i + 1] - '0'); };
    if (!digit(0)) return std::nullopt;
    qsizetype i = digit(1) ? 2 : 1;
    int hour = i == 2 ? number(0) : text[0] - '0';
    if (i >= text.size() || (text[i] != ':' && text[i] != '.') || !digit(i + 1) || !digit(i + 2))
        return std::nullopt;
    const int minute = number(i + 1);
    i += 3;
    int second = 0;
    if (i < text.size() && (text[i] == ':' || text[i] == '.') && digit(i + 1) && digit(i + 2)) {
        second = number(i + 1);
        i += 3;
    }
    // AM or PM, also as a.m. or p.m., and only as a word of its own: "AMT" is a zone.
    qsizetype k = SkipBlanks(text, i);
    if (k < text.size() && QByteArrayView("AaPp").contains(text[k])) {
        const bool pm = text[k] == 'P' || text[k] == 'p';
        ++k;
        if (k < text.size() && text[k] == '.') ++k;
        k = SkipBlanks(text, k);
        if (k < text.size() && (text[k] == 'M' || text[k] == 'm')) {
            ++k;
            if (k < text.size() && text[k] == '.') ++k;
            if (k == text.size() || SkipBlanks(text, k) > k) {
                if (hour < 1 || hour > 12) return std::nullopt;
                hour = hour % 12 + (pm ? 12 : 0);
                i = k;
            }
        }
    }
    // Whatever follows after a blank is the zone's name.
    if (i < text.size() && SkipBlanks(text, i) == i) return std::nullopt;
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return ((hour * 60 + minute) * 60 + second) * 1000;
}

std::optional<QTime> ReadTimeText(const QString& text, const QLocale& regional) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 64) return std::nullopt;
    if (const auto ms = ReadClockText(trimmed.toUtf8()))
        return QTime::fromMSecsSinceStartOfDay(*ms);
    for (const QLocale::FormatType type : {QLocale::LongFormat, QLocale::ShortFormat}) {
        const QTime time = regional.toTime(trimmed, type);
        if (time.isValid()) return time;
    }
    return std::nullopt;
}

QString DateFormsTried(const QLocale& regional) {
    return QStringLiteral(
               "regional %1 and %2; numbers year first, d.M.y, d/M/y or M/d/y; the "
               "short and long forms of C, en_US, en_GB, de_DE and fr_FR")
        .arg(regional.dateFormat(QLocale::ShortFormat), regional.dateFormat(QLocale::LongFormat));
}

QString TimeFormsTried(const QLocale& regional) {
    return QStringLiteral("h:mm[:ss] [AM|PM] [zone], regional %1, %2")
        .arg(regional.timeFormat(QLocale::LongFormat), regional.timeFormat(QLocale::ShortFormat));
}

}  // namespace vp::trend
