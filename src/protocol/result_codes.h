// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace vp::protocol {

// Text of a result code; "" for codes without a text (151, 153, 184..255, ...), "Unknown error
// code" for 0 only.
std::string_view ResultText(int code);

// True for the seventeen warning kinds 220..236.
bool IsWarningKind(int kind);

// The list text shown after the warning kind, e.g. " (OP_ERR_PNEUMATIC_PRESSURE)" for 220;
// "" for a kind that is not a warning.
std::string_view WarningText(int kind);

}  // namespace vp::protocol
