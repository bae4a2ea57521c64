#include "logging/clock.h"

#include <QDate>
#include <QLocale>
#include <QTime>

namespace vp::logging {

QString SystemClock::ShortDateText() const {
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}

QString SystemClock::LongTimeText() const {
    return QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat);
}

}  // namespace vp::logging
