// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <optional>

namespace vp::trend {

// The value in mbar of a pressure text as the panel logs it: units digit, ".", three digits, "E",
// exponent in sign-position form ("5.000E-3", "1.013E 3", "1.000E-15"). nullopt for any other
// text. Exponents far beyond a double's range give 0 or infinity; the caller decides about those.
std::optional<double> ReadPressureText(QByteArrayView text);

}  // namespace vp::trend
