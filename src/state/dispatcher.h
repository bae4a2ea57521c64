// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string_view>

#include "state/panel_state.h"

namespace vp::state {

// The one place where a complete message from the controller takes effect: checksum test, error
// reports, then a handler by kind. Message: the line without its CR, checksum digits included.
// Returns the list that took the message as its newest entry, if one did: that is news.
std::optional<List> HandleMessage(PanelState& state, std::string_view message);

// "Clear": empties the three lists and the operation-error count.
void ClearErrors(PanelState& state);

}  // namespace vp::state
