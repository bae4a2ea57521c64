// SPDX-License-Identifier: MIT
#include "text/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace vp::text {

namespace {

// Whole numbers up to here print digit for digit; to_chars alone would write 1000000000 as
// "1e+09", which is no way to show an uptime.
constexpr double kWholeLimit = 1e15;

std::string Chars(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)ec;
    return std::string(buffer, end);
}

std::string Chars(std::int64_t value) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)ec;
    return std::string(buffer, end);
}

}  // namespace

std::string PlainNumber(double value) {
    if (value == 0.0) return "0";  // also -0
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < kWholeLimit) {
        return Chars(static_cast<std::int64_t>(value));
    }
    return Chars(value);
}

std::string SignPositionNumber(double value) {
    if (std::signbit(value) && value != 0.0) return PlainNumber(value);
    // Put in place: gcc 12 at -O3 takes " " + PlainNumber(...) for an overlapping copy.
    std::string text = PlainNumber(value);
    text.insert(text.begin(), ' ');
    return text;
}

std::string HashPattern(double value) {
    // The pattern has no decimals, so the value is rounded the way the pattern rounds: halves away
    // from zero.
    const double whole = std::isfinite(value) ? std::round(value) : value;
    if (whole == 0.0) return "";
    return PlainNumber(whole);
}

std::string ThreeDigits(int value) {
    const std::int64_t wide = value;
    std::string digits = Chars(wide < 0 ? -wide : wide);
    if (digits.size() < 3) digits = std::string(3 - digits.size(), '0') + digits;
    return wide < 0 ? "-" + digits : digits;
}

}  // namespace vp::text
