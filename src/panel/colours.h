// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>

#include "state/colour_values.h"

namespace vp::panel {

using state::ColourValue;
using state::kBlue;
using state::kCyan;
using state::kGreen;
using state::kGreyText;
using state::kMagenta;
using state::kMenuColour;
using state::kRed;
using state::kWhite;
using state::kYellow;

// The one place that turns a colour value into a screen colour.
QColor ScreenColour(ColourValue value);

}  // namespace vp::panel
