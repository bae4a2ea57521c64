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

}  // namespace vp::state
