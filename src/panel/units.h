// SPDX-License-Identifier: MIT
#pragma once

namespace vp::panel {

// The window is laid out in twips; at the usual screen resolution 15 twips make one pixel.
// These two are the only places that know the factor.
int TwipsToPixels(int twips);
float PixelsToTwips(double pixels);

}  // namespace vp::panel
