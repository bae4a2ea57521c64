// SPDX-License-Identifier: MIT
#pragma once

#include <QLocale>
#include <QString>
#include <QTime>

namespace vp::logging {

// The date and time texts of the operator's regional settings; tests replace it to set midnight.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QString ShortDateText() const = 0;  // regional short date
    virtual QString LongTimeText() const = 0;   // regional long time of day
};

// Reads the system clock and formats in the regional forms of the default locale (the system's,
// unless the program sets another).
class SystemClock final : public Clock {
public:
    QString ShortDateText() const override;
    QString LongTimeText() const override;
};

// The regional long time as a time of day: Qt's long time format also names the time zone
// ("23:34:58 UTC"), which the regional long time form does not.
QString LongTimeOfDayText(const QLocale& locale, QTime time);

}  // namespace vp::logging
