#pragma once

#include <cstdint>

namespace vp::panel {
class Form1;
}

namespace vp::link {

class Framing;

// The panel asks on its own clock: the status poll, the rotating slow poll of the counters,
// the lamps going out, and the watchdog that greys the diagram when reports stop.
class Polls {
public:
    Polls(panel::Form1& form, Framing& framing);

    void Timer1_Timer();
    void tmrTMPOperatingHours_Timer();
    void Timer3_Timer();
    void Timer4_Timer();
    void Timer5_Timer();

    // Set when a status report was shown; consumed by the watchdog.
    void MarkStatusSeen() { StatusSeen = 1; }
    std::int16_t StatusSeen = 0;
    std::int16_t SlowPollStep = 0;

private:
    panel::Form1& form_;
    Framing& framing_;
};

}  // namespace vp::link
