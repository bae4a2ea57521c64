// SPDX-License-Identifier: MIT
#pragma once

// Controller lines made from the line layout alone, for benchmarks, the soak run and the fuzz
// seed corpus: a status report whose pressures, pump speeds and uptime differ from one
// sequence number to the next.

#include <cstdint>
#include <string>

namespace vp::bench {

inline std::string Digits(std::uint64_t value, int width) {
    std::string text(static_cast<std::size_t>(width), '0');
    for (int i = width - 1; i >= 0 && value > 0; --i, value /= 10)
        text[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    return text;
}

// Body plus three checksum digits and CR, as the controller sends it.
inline std::string Framed(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body) sum += c;
    return body + Digits(sum % 256, 3) + '\r';
}

inline std::string ShortReply(const std::string& kind, unsigned char result) {
    return kind + '_' + static_cast<char>(result);
}

// Report number `n`; with `changing` false every n gives the same report.
inline std::string StatusReportBody(std::uint32_t n, bool changing = true) {
    if (!changing) n = 0;
    constexpr char kOk = static_cast<char>(150);
    std::string body = "111_";
    body += kOk;  // the reply's result code
    for (std::uint32_t g = 0; g < 4; ++g) {
        body += kOk;
        body += Digits(1000 + (n * 37 + g * 1111) % 9000, 4);  // mantissa 1.000 .. 9.999
        body += Digits(20 - 2 - (n + g) % 7, 2);               // 1E-2 .. 1E-8
    }
    for (int v = 0; v < 8; ++v) body += static_cast<char>(v % 2 ? 191 : 190);
    for (std::uint32_t t = 0; t < 2; ++t) {
        body += static_cast<char>(196);
        body += Digits(20 + (n + t * 13) % 81, 3);
        body += Digits(100, 3);
    }
    body += "050100";
    body += static_cast<char>(196);  // rotary started
    body += static_cast<char>(200);  // high vacuum, current
    body += static_cast<char>(200);  // and requested
    body += static_cast<char>(207);
    body += static_cast<char>(209);
    body += static_cast<char>(205);
    body += static_cast<char>(206);
    body += Digits(3600 + n, 10);
    return body;
}

inline std::string StatusReportLine(std::uint32_t n, bool changing = true) {
    return Framed(StatusReportBody(n, changing));
}

}  // namespace vp::bench
