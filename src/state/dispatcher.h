#pragma once

#include <string_view>

namespace vp::state {

class PanelState;

// The one place where a complete message from the controller takes effect: checksum test, error
// reports, then a handler by kind. Message: the line without its CR, checksum digits included.
void HandleMessage(PanelState& state, std::string_view message);

// "Clear": empties the three lists and the operation-error count.
void ClearErrors(PanelState& state);

}  // namespace vp::state
