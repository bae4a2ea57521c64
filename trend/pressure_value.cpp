// SPDX-License-Identifier: MIT
#include "trend/pressure_value.h"

#include <cmath>

namespace vp::trend {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The exponent is a 16-bit number on the panel's side, so five digits are the most it can hold.
constexpr qsizetype kMaxExponentDigits = 5;

}  // namespace

std::optional<double> ReadPressureText(QByteArrayView text) {
    // d . d d d E s e...
    if (text.size() < 7 || text.size() > 6 + kMaxExponentDigits) return std::nullopt;
    if (!IsDigit(text[0]) || text[1] != '.' || !IsDigit(text[2]) || !IsDigit(text[3]) ||
        !IsDigit(text[4]) || text[5] != 'E')
        return std::nullopt;
    const char sign = text[6];
    if (sign != '-' && sign != ' ') return std::nullopt;
    const QByteArrayView digits = text.sliced(7);
    if (digits.isEmpty()) return std::nullopt;
    int exponent = 0;
    for (char c : digits) {
        if (!IsDigit(c)) return std::nullopt;
        exponent = exponent * 10 + (c - '0');  // at most 99999: no overflow
    }
    if (sign == '-') exponent = -exponent;
    const double mantissa = (text[0] - '0') + (text[2] - '0') / 10.0 + (text[3] - '0') / 100.0 +
                            (text[4] - '0') / 1000.0;
    return mantissa * std::pow(10.0, exponent);
}

}  // namespace vp::trend
