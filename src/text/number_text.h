// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace vp::text {

// Plain decimal text: shortest digits, "-" for negatives, no leading blank (12, 0, -3).
// Whole numbers print without a fraction; others in their shortest general form.
std::string PlainNumber(double value);

// Sign-position form: one blank before zero or a positive number, "-" before a negative one.
std::string SignPositionNumber(double value);

// The "######" pattern: the whole number without leading zeros or separators; zero gives "".
std::string HashPattern(double value);

// Three digits with leading zeros (the "000" pattern); for values 0..999.
std::string ThreeDigits(int value);

}  // namespace vp::text
