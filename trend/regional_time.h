#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <optional>

namespace vp::trend {

// The panel writes dates and times in the operator's regional forms, which Qt cannot always read
// back (a long time with its zone name, two-digit years). These readers try the regional forms
// first, then the common ISO and numeric forms, and say in FormsTried what they tried.

// A date text: the regional short and long forms, then yyyy-MM-dd, yyyy/MM/dd, dd.MM.yyyy and
// their one-digit and two-digit-year variants. A "-" is also read as "/", since the log's file
// names carry the short date with "/" replaced. Two-digit years fall in 2000..2099.
std::optional<QDate> ReadDateText(const QString& text, const QLocale& regional = QLocale::system());

// A time of day: the regional long and short forms, then HH:mm:ss, then hours, minutes, optional
// seconds and AM/PM, ignoring a zone name or anything else after them.
std::optional<QTime> ReadTimeText(const QString& text, const QLocale& regional = QLocale::system());

QString DateFormsTried(const QLocale& regional = QLocale::system());
QString TimeFormsTried(const QLocale& regional = QLocale::system());

}  // namespace vp::trend
