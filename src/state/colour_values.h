// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace vp::state {

// Colours as the system speaks them: 0x00BBGGRR, or a system colour 0x800000nn.
using ColourValue = std::uint32_t;

inline constexpr ColourValue kWhite = 0x00FFFFFF;
inline constexpr ColourValue kRed = 0x000000FF;
inline constexpr ColourValue kYellow = 0x0000FFFF;
inline constexpr ColourValue kGreen = 0x0000FF00;
inline constexpr ColourValue kMagenta = 0x00FF00FF;
inline constexpr ColourValue kCyan = 0x00FFFF00;
inline constexpr ColourValue kBlue = 0x00FF0000;
inline constexpr ColourValue kGreyText = 0x80000011;    // stale indicator
inline constexpr ColourValue kMenuColour = 0x80000004;  // lamp at rest

}  // namespace vp::state
