// SPDX-License-Identifier: MIT
#pragma once

// Bytes of the line for tests: views into them, one code as a byte, and a message signed the
// way the controller signs it (worked out here, not by the code under test).
#include <QByteArray>
#include <string_view>

namespace vp::test {

inline std::string_view View(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

inline QByteArray Bytes(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

inline QByteArray Byte(int code) {
    return QByteArray(1, static_cast<char>(code));
}

// The body, then the sum of its byte values modulo 256 as three digits: a message as the
// dispatcher receives it (no CR).
inline QByteArray Signed(const QByteArray& body) {
    unsigned sum = 0;
    for (char c : body) sum += static_cast<unsigned char>(c);
    return body + QByteArray::number(sum % 256).rightJustified(3, '0');
}

}  // namespace vp::test
