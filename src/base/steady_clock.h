// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

namespace vp {

// A steady reading of time for pacing (the view's frames): the system's by default, a clock
// moved by hand in tests, so a pace is checked without waiting for it. Here rather than beside
// the view because the program's options name it in every build, with a window or without.
class SteadyClock {
public:
    virtual ~SteadyClock() = default;
    virtual std::chrono::milliseconds Now() const = 0;
};

class SystemSteadyClock final : public SteadyClock {
public:
    std::chrono::milliseconds Now() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
};

}  // namespace vp
