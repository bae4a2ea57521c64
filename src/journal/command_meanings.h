// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace vp::journal {

// What a command the operator caused means, from the frame's body ("121_" -> "mode High vacuum",
// "034_050" -> "TMP speed set-point 50 %"), so the journal reads without the command catalogue
// at hand. A number outside the catalogue is named as a number.
std::string CommandMeaning(std::string_view body);

}  // namespace vp::journal
