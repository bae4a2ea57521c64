#pragma once

#include <QString>

namespace vp::logging {

// The date and time texts of the operator's regional settings; tests replace it to set midnight.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QString ShortDateText() const = 0;  // regional short date
    virtual QString LongTimeText() const = 0;   // regional long time of day
};

// Reads the system clock and formats with the system locale.
class SystemClock final : public Clock {
public:
    QString ShortDateText() const override;
    QString LongTimeText() const override;
};

}  // namespace vp::logging
