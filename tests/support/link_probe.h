// SPDX-License-Identifier: MIT
#pragma once

#include <QTimer>
#include <cstdint>

#include "link/link.h"

namespace vp::test {

// What a test may reach inside a link: its timers, to stop them and drive their ticks by hand,
// the slow poll's step, and counters that start near their top.
struct LinkProbe {
    static QTimer& StatusPoll(link::Link& link) { return *link.Timer1; }
    static QTimer& ConnectionDisplay(link::Link& link) { return *link.Timer2; }
    static QTimer& Watchdog(link::Link& link) { return *link.Timer5; }
    static QTimer& SlowPoll(link::Link& link) { return *link.tmrTMPOperatingHours; }

    static int SlowPollStep(const link::Link& link) { return link.SlowPollStep; }
    static void StartCounts(link::Link& link, std::int32_t sent, std::int32_t received) {
        link.sentMessageCount_ = protocol::Counter(sent);
        link.receivedMessageCount_ = protocol::Counter(received);
    }
};

}  // namespace vp::test
