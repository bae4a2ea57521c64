#include "link/polls.h"

#include "link/framing.h"
#include "panel/form1.h"

namespace vp::link {

namespace {
// Operating hours, TMP error counts, icpcon error counts, gauge error counts.
constexpr std::string_view kSlowPolls[] = {"040_", "038_", "092_", "090_"};
}  // namespace

Polls::Polls(panel::Form1& form, Framing& framing) : form_(form), framing_(framing) {}

void Polls::Timer1_Timer() {
    if (form_.MSComm1->PortOpen()) framing_.SendCommand("111_");
}

void Polls::tmrTMPOperatingHours_Timer() {
    if (form_.MSComm1->PortOpen()) framing_.SendCommand(kSlowPolls[SlowPollStep]);
    SlowPollStep = static_cast<std::int16_t>((SlowPollStep + 1) % 4);
}

void Polls::Timer3_Timer() {
    form_.shpSend->SetFillColor(panel::kMenuColour);
    form_.Timer3->stop();
}

void Polls::Timer4_Timer() {
    form_.shpRecv->SetFillColor(panel::kMenuColour);
    form_.Timer4->stop();
}

void Polls::Timer5_Timer() {
    if (StatusSeen != 0) {
        StatusSeen = 0;
        return;
    }
    form_.GreyIndicators();
}

}  // namespace vp::link
