// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "logging/clock.h"

// The date and time the test sets, as the panel's regional clock would give them.
class FakeClock final : public vp::logging::Clock {
public:
    QString ShortDateText() const override { return date; }
    QString LongTimeText() const override { return time; }

    QString date = QStringLiteral("2026-12-05");
    QString time = QStringLiteral("14:03:27");
};
