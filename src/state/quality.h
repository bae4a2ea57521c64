// SPDX-License-Identifier: MIT
#pragma once

namespace vp::state {

class PanelState;

// What the plant's state is worth to someone who cannot see the line: every reading leaving the
// panel carries it, and a reading is current only while it is Good.
enum class Quality {
    Starting,      // no report has come in this run yet
    Good,          // the port is open and the last report is fresh
    Stale,         // the watchdog greyed the picture, or the line reopened and has not reported
    Disconnected,  // the port is closed, or was lost
    Offline,       // the gateway ended cleanly; set only by a publisher as it leaves
};

// "starting", "good", "stale", "disconnected", "offline": the words on the network.
const char* QualityWord(Quality quality);

// Never Offline: the state cannot know that the gateway is going away.
Quality QualityOf(const PanelState& state);

}  // namespace vp::state
