// SPDX-License-Identifier: MIT
#include "text/number_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

namespace vp::text {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsWhitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Whole number after &H or &O: as many digits of the base as follow. Accumulated in a double so
// that any length saturates at infinity instead of overflowing.
double ReadRadix(std::string_view digits, int base) {
    double value = 0.0;
    for (char c : digits) {
        int d = HexValue(c);
        if (d < 0 || d >= base) break;
        value = value * base + d;
    }
    return value;
}

// Past these decimal exponents every double is infinite or zero, so the digits need not be read.
constexpr std::int64_t kExponentOverflow = 400;
constexpr std::int64_t kExponentUnderflow = -400;
// Enough significant digits to round any double correctly; the rest only matter as "nonzero".
constexpr std::size_t kMaxSignificant = 800;
// Saturation of the written exponent; far beyond anything that still changes the result.
constexpr std::int64_t kExponentCap = 1'000'000'000;

double ReadDecimal(std::string_view s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    const std::size_t intStart = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    const std::string_view intDigits = s.substr(intStart, i - intStart);
    std::string_view fracDigits;
    if (i < s.size() && s[i] == '.') {
        const std::size_t fracStart = ++i;
        while (i < s.size() && IsDigit(s[i])) ++i;
        fracDigits = s.substr(fracStart, i - fracStart);
    }
    if (intDigits.empty() && fracDigits.empty()) return 0.0;

    // An exponent letter counts only when digits follow it; "5E" and "5E+" read 5.
    std::int64_t exponent = 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            expNegative = s[j] == '-';
            ++j;
        }
        if (j < s.size() && IsDigit(s[j])) {
            for (; j < s.size() && IsDigit(s[j]); ++j) {
                if (exponent < kExponentCap) exponent = exponent * 10 + (s[j] - '0');
            }
            if (expNegative) exponent = -exponent;
        }
    }

    // Significant digits without leading zeros; value = digits * 10^(exponent - fraction length).
    std::string digits;
    bool seenNonZero = false;
    bool droppedNonZero = false;
    std::int64_t dropped = 0;
    auto take = [&](char c) {
        if (!seenNonZero && c == '0') return;
        seenNonZero = true;
        if (digits.size() < kMaxSignificant) {
            digits.push_back(c);
        } else {
            ++dropped;
            droppedNonZero = droppedNonZero || c != '0';
        }
    };
    for (char c : intDigits) take(c);
    for (char c : fracDigits) take(c);
    if (digits.empty()) return 0.0;

    std::int64_t scale = exponent - static_cast<std::int64_t>(fracDigits.size()) + dropped;
    if (droppedNonZero) {
        // A trailing 1 stands for every nonzero digit cut off, which keeps the rounding right.
        digits.push_back('1');
        --scale;
    }
    const std::int64_t magnitude = scale + static_cast<std::int64_t>(digits.size());
    double value;
    if (magnitude > kExponentOverflow) {
        value = std::numeric_limits<double>::infinity();
    } else if (magnitude < kExponentUnderflow) {
        value = 0.0;
    } else {
        digits.push_back('e');
        digits += std::to_string(scale);
        value = 0.0;
        // from_chars is locale-independent; out of range it leaves value alone, so decide here.
        auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        (void)ptr;
        if (ec == std::errc::result_out_of_range) {
            value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        }
    }
    return negative ? -value : value;
}

double Read(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    s.remove_prefix(i);
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h') return ReadRadix(s.substr(2), 16);
        if (s[1] == 'O' || s[1] == 'o') return ReadRadix(s.substr(2), 8);
    }
    return ReadDecimal(s);
}

}  // namespace

double LeadingNumber(std::string_view text, ReadOptions options) {
    // The controller's fields are mostly plain digits: read those at once. Up to 15 digits the
    // sum is exact, so it is the same number the full reading gives.
    if (!text.empty() && text.size() <= 15 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        double whole = 0;
        for (char c : text) whole = whole * 10 + (c - '0');
        return whole;
    }
    double value;
    if (options.ignoreWhitespaceAnywhere) {
        std::string squeezed;
        squeezed.reserve(text.size());
        for (char c : text) {
            if (!IsWhitespace(c)) squeezed.push_back(c);
        }
        value = Read(squeezed);
    } else {
        value = Read(text);
    }
    // "-0" reads as plain zero, so it never prints with a sign.
    return value == 0.0 ? 0.0 : value;
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double below = std::floor(value);
    const double fraction = value - below;
    double rounded;
    if (fraction < 0.5) {
        rounded = below;
    } else if (fraction > 0.5) {
        rounded = below + 1.0;
    } else {
        rounded = std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
    }
    return rounded == 0.0 ? 0.0 : rounded;
}

std::optional<std::int16_t> ToInt16(double value) {
    const double rounded = RoundHalfEven(value);
    if (!std::isfinite(rounded)) return std::nullopt;
    if (rounded < std::numeric_limits<std::int16_t>::min() ||
        rounded > std::numeric_limits<std::int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(rounded);
}

}  // namespace vp::text
