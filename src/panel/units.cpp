// SPDX-License-Identifier: MIT
#include "panel/units.h"

#include <cmath>

namespace vp::panel {

namespace {
constexpr double kTwipsPerPixel = 15.0;
}

int TwipsToPixels(int twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

float PixelsToTwips(double pixels) {
    return static_cast<float>(pixels * kTwipsPerPixel);
}

}  // namespace vp::panel
