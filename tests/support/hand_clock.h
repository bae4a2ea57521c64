// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

#include "base/steady_clock.h"

// A steady clock that moves only when the test moves it: a pace is checked at the very
// millisecond it turns, without waiting for it.
class HandClock final : public vp::SteadyClock {
public:
    std::chrono::milliseconds Now() const override { return now; }

    std::chrono::milliseconds now{std::chrono::hours(1)};
};
