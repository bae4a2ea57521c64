// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace vp::state {

class PanelState;

// Writes a status report onto the plant's state: every shape and caption on every report, so the
// colours come back after the watchdog greyed them. False, and nothing changed, unless the
// report has its exact length.
bool DecodeStatus(PanelState& state, std::string_view message);

// Greys the 23 indicators: the plant picture is stale.
void GreyIndicators(PanelState& state);

// What a report's code means, in the diagram's own words: "error" for a code outside the
// valves', pumps' or rotary pump's table, empty for a mode or branch code outside its table.
std::string_view ValveWord(int code);
std::string_view TmpWord(int code);
std::string_view RotaryWord(int code);
std::string_view ModeName(int code);
std::string_view BranchWord(int code);  // "active" or "inactive"
bool PneumaticsOk(int code);
bool TmpCoolingOk(int code);

}  // namespace vp::state
