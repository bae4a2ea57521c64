// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <optional>

namespace vp::trend {

// The panel writes dates and times in the regional forms of the PC it runs on, and its logs travel
// to PCs set up otherwise. These readers take the reader's regional forms first, then the forms
// common elsewhere, and say in the FormsTried texts what they tried.

struct DateReading {
    QDate date;
    // Day and month could be swapped (6/12/26 against 12/6/26); read the reader's way.
    bool ambiguous = false;
};

// A date text: `form` first when given (a Qt date form such as "M/d/yy"; one of day, month and
// year numbers alone is read by their order, whatever the digits and separators), then the
// reader's short and long forms, then numbers as the common regional short forms write them
// (year first with four digits, day first when dotted, else day and month in whichever order
// fits, the reader's when both do), then the long forms of C, en_US, en_GB, de_DE and fr_FR.
// A "-" reads as any separator, since the log's file names carry the short date with "/"
// replaced. Two-digit years fall in 2000..2099.
std::optional<DateReading> ReadDate(const QString& text, const QLocale& regional = QLocale(),
                                    const QString& form = {});
inline std::optional<QDate> ReadDateText(const QString& text, const QLocale& regional = QLocale()) {
    const auto reading = ReadDate(text, regional);
    return reading ? std::optional<QDate>(reading->date) : std::nullopt;
}

// Whether the reader's short date puts the day before the month.
bool DayFirst(const QLocale& regional);

// A time of day as milliseconds since midnight: hours, minutes, optional seconds, optional AM/PM
// (or a.m./p.m.), then anything after a blank (a zone name). This is how every regional long form
// the panel writes looks, and it is the hot path of reading a year of logs.
std::optional<int> ReadClockText(QByteArrayView text);

// A time of day: ReadClockText's forms, then the reader's long and short forms.
std::optional<QTime> ReadTimeText(const QString& text, const QLocale& regional = QLocale());

QString DateFormsTried(const QLocale& regional = QLocale());
QString TimeFormsTried(const QLocale& regional = QLocale());

}  // namespace vp::trend
