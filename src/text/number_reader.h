// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vp::text {

// The controller's numeric fields and the operator's set-points are read leniently, the way the
// panel always has: the longest leading part that forms a number counts, anything after it is
// ignored, and text with nothing readable reads 0.
//
// Accepted: leading blanks; optional sign; digits with an optional decimal point; an optional
// exponent introduced by E or D (either case) with an optional sign; or a whole number after an
// &H (hexadecimal) or &O (octal) prefix.
struct ReadOptions {
    // Set-point boxes ignore blanks, tabs and line feeds anywhere in the text ("5 0" reads 50).
    bool ignoreWhitespaceAnywhere = false;
};

double LeadingNumber(std::string_view text, ReadOptions options = {});

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);

// RoundHalfEven into a 16-bit signed integer; nullopt when the value does not fit or is not finite.
std::optional<std::int16_t> ToInt16(double value);

}  // namespace vp::text
