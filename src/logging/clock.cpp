// SPDX-License-Identifier: MIT
#include "logging/clock.h"

#include <QDate>
#include <QRegularExpression>

namespace vp::logging {

namespace {

// The long time format without its zone field ("t", "tttt"), and without the brackets, comma or
// blank that held it apart: "h:mm:ss AP t" -> "h:mm:ss AP", "HH:mm:ss (t)" -> "HH:mm:ss",
// "t HH:mm:ss" -> "HH:mm:ss". Quoted text is literal and kept as it is.
QString WithoutZone(const QString& format) {
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') quoted = !quoted;
        if (quoted || c != u't') kept += c;
    }
    static const QRegularExpression emptyBrackets(QStringLiteral("\\(\\s*\\)|\\[\\s*\\]"));
    static const QRegularExpression looseEnds(QStringLiteral("^[\\s,]+|[\\s,]+$"));
    static const QRegularExpression blanks(QStringLiteral("\\s{2,}"));
    return kept.remove(emptyBrackets).remove(looseEnds).replace(blanks, QStringLiteral(" "));
}

}  // namespace

QString LongTimeOfDayText(const QLocale& locale, QTime time) {
    return locale.toString(time, WithoutZone(locale.timeFormat(QLocale::LongFormat)));
}

QString SystemClock::ShortDateText() const {
    return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
}

QString SystemClock::LongTimeText() const {
    return LongTimeOfDayText(QLocale(), QTime::currentTime());
}

}  // namespace vp::logging
