// SPDX-License-Identifier: MIT
// The lenient number reading the controller's fields and the set-point boxes go through, and
// the number texts that show its results: any bytes, no undefined behaviour, and the 16-bit
// conversion never hands out a value that does not fit.
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "text/number_reader.h"
#include "text/number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const bool anywhere : {false, true}) {
        const double value = vp::text::LeadingNumber(text, {.ignoreWhitespaceAnywhere = anywhere});
        const double rounded = vp::text::RoundHalfEven(value);
        if (std::isfinite(value) && !std::isfinite(rounded)) std::abort();
        if (const auto whole = vp::text::ToInt16(value)) {
            if (!std::isfinite(value) || std::fabs(static_cast<double>(*whole) - value) > 0.5)
                std::abort();
        }
        (void)vp::text::PlainNumber(value);
        (void)vp::text::SignPositionNumber(value);
        (void)vp::text::HashPattern(value);
    }
    return 0;
}
