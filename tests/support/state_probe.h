// SPDX-License-Identifier: MIT
#pragma once

#include <QTimer>
#include <cstdint>

#include "state/link_display.h"
#include "state/panel_state.h"

namespace vp::test {

// What a test may reach inside the state: the CRC error count, to start it near its top, and
// the two lamps' timers, to stop them and drive their ticks by hand.
struct StateProbe {
    static void StartCrcErrors(state::PanelState& state, std::int32_t count) {
        state.crcErrors_ = protocol::Counter(count);
    }
    static QTimer& SendLamp(state::LinkDisplay& display) { return *display.Timer3; }
    static QTimer& ReceiveLamp(state::LinkDisplay& display) { return *display.Timer4; }
};

}  // namespace vp::test
