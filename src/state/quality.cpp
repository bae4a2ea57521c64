// SPDX-License-Identifier: MIT
#include "state/quality.h"

#include "state/panel_state.h"

namespace vp::state {

const char* QualityWord(Quality quality) {
    switch (quality) {
        case Quality::Starting:
            return "starting";
        case Quality::Good:
            return "good";
        case Quality::Stale:
            return "stale";
        case Quality::Disconnected:
            return "disconnected";
        case Quality::Offline:
            break;
    }
    return "offline";
}

Quality QualityOf(const PanelState& state) {
    // Until the first report, whatever the port: its display follows half a second behind, and
    // the state's link.connected tells a port that never opens.
    if (!state.Plant().report) return Quality::Starting;
    if (!state.Link().connected) return Quality::Disconnected;
    // A report kept from before the line was lost says nothing about the plant now.
    if (state.Link().stale || !state.Link().reported) return Quality::Stale;
    return Quality::Good;
}

}  // namespace vp::state
