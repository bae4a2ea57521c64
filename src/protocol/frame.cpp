// SPDX-License-Identifier: MIT
#include "protocol/frame.h"

#include <cstdint>

#include "text/number_reader.h"
#include "text/number_text.h"

namespace vp::protocol {

namespace {

// Unsigned, so a long body wraps instead of overflowing; only the low eight bits are used.
std::uint32_t ByteSum(std::string_view bytes) {
    std::uint32_t sum = 0;
    for (char c : bytes) sum += static_cast<unsigned char>(c);
    return sum;
}

constexpr std::size_t kChecksumDigits = 3;

}  // namespace

std::string Checksum(std::string_view body) {
    return text::ThreeDigits(static_cast<int>(ByteSum(body) % 256));
}

std::string Frame(std::string_view body) {
    std::string frame;
    frame.reserve(body.size() + kChecksumDigits + 1);
    frame.append(body);
    frame.append(Checksum(body));
    frame.push_back('\r');
    return frame;
}

bool ChecksumMismatch(std::string_view message) {
    // No checksum field at all (a lone CR gives an empty message): fail it, so it is counted and
    // dropped instead of blocking the messages behind it.
    if (message.size() < kChecksumDigits) return true;
    const std::size_t bodyLength = message.size() - kChecksumDigits;
    const double sum = ByteSum(message.substr(0, bodyLength)) % 256;
    const double field = text::RoundHalfEven(text::LeadingNumber(message.substr(bodyLength)));
    return sum != field;
}

}  // namespace vp::protocol
