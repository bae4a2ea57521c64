// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <limits>

namespace vp::protocol {

// A signed 32-bit count of the panel's counters. At ten frames a second it takes about seven
// years to reach the top; there it stays, rather than wrapping to a negative count, and
// whatever is being counted goes on.
class Counter {
public:
    constexpr Counter() = default;
    // A count taken up where it stood, e.g. near the top to see what happens there.
    constexpr explicit Counter(std::int32_t start) : value_(start) {}

    std::int32_t value() const { return value_; }
    void Increment() {
        if (value_ < std::numeric_limits<std::int32_t>::max()) ++value_;
    }
    void Reset() { value_ = 0; }

private:
    std::int32_t value_ = 0;
};

}  // namespace vp::protocol
