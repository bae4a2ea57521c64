// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace vp::protocol {

// Three zero-padded decimal digits: the sum of the body's byte values modulo 256.
std::string Checksum(std::string_view body);

// The line written to the controller: body, checksum digits, carriage return.
std::string Frame(std::string_view body);

// True when a received message (checksum digits included, no carriage return) does not carry
// the checksum of the bytes before its last three. The field is read as a leading number, so
// "007" matches sums of 7, 263, 519. A message shorter than three characters has no checksum
// field and always mismatches.
bool ChecksumMismatch(std::string_view message);

}  // namespace vp::protocol
