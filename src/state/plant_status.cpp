// SPDX-License-Identifier: MIT
#include "state/plant_status.h"

#include <QDateTime>
#include <string>

#include "protocol/codes.h"
#include "protocol/result_codes.h"
#include "protocol/status_report.h"
#include "state/panel_state.h"

namespace vp::state {

namespace {

using protocol::GaugeField;
using protocol::TmpField;
using namespace protocol::StatusCode;

struct GaugeRow {
    Text value;
    Fill shape;
    Text state;
    std::string_view prefix;
};
// In the order of the report: TG1, 1G1, 2G1, 1G3.
const GaugeRow kGauges[] = {
    {Text::lblTG1, Fill::shpTG1, Text::lblTG1State, "TG1 state: "},
    {Text::lbl1G1, Fill::shp1G1, Text::lbl1G1State, "1G1 state: "},
    {Text::lbl2G1, Fill::shp2G1, Text::lbl2G1State, "2G1 state: "},
    {Text::lbl1G3, Fill::shp1G3, Text::lbl1G3State, "1G3 state: "},
};

struct ValveRow {
    Fill shape;
    Text status;
};
// In the order of the report: 3V1, 1V1, 2V1, 1V2, 2V2, 1V3, 2V3, 1V4.
const ValveRow kValves[] = {
    {Fill::shp3V1, Text::lbl3V1status}, {Fill::shp1V1, Text::lbl1V1status},
    {Fill::shp2V1, Text::lbl2V1status}, {Fill::shp1V2, Text::lbl1V2status},
    {Fill::shp2V2, Text::lbl2V2status}, {Fill::shp1V3, Text::lbl1V3status},
    {Fill::shp2V3, Text::lbl2V3status}, {Fill::shp1V4, Text::lbl1V4status},
};

struct TmpRow {
    Fill shape;
    Text status;
    Text state;
    Text speed;
    std::string_view prefix;
};
const TmpRow kTmps[] = {
    {Fill::shpTMP1, Text::lblTMP1status, Text::lblTMP1State, Text::lblTMP1speed, "TMP1 state: "},
    {Fill::shpTMP2, Text::lblTMP2status, Text::lblTMP2State, Text::lblTMP2speed, "TMP2 state: "},
};

// A code's look: the fill of its shape and the caption of its status label.
struct Look {
    int code;
    ColourValue fill;
    std::string_view caption;
};
const Look kValveLooks[] = {{ValveClosed, kYellow, "closed"}, {ValveOpen, kGreen, "open"}};
const Look kTmpLooks[] = {{PumpStopped, kYellow, "stopped"},
                          {PumpStopping, kMagenta, "stopping"},
                          {PumpAccelerating, kCyan, "accelerating"},
                          {PumpStarted, kGreen, "started"}};
const Look kRotaryLooks[] = {{PumpStopped, kYellow, "stopped"},
                             {PumpStarted, kGreen, "started"},
                             {PumpTripped, kBlue, "tripped"}};
constexpr Look kError = {0, kRed, "error"};

template <std::size_t N>
const Look& Find(const Look (&looks)[N], int code) {
    for (const Look& look : looks)
        if (look.code == code) return look;
    return kError;
}

struct Caption {
    int code;
    std::string_view text;
};
const Caption kModes[] = {{IdleMode, "Idle mode"},
                          {HighVacuum, "High vacuum"},
                          {PrimaryVacuum, "Primary vacuum"},
                          {UnsafeMode, "Unsafe mode"},
                          {Stop, "Stop"},
                          {GlowDischarge, "Glow discharge"}};
const Caption kBranch1[] = {{BranchActive, "Branch1: active"},
                            {BranchInactive, "Branch1: inactive"}};
const Caption kBranch2[] = {{BranchActive, "Branch2: active"},
                            {BranchInactive, "Branch2: inactive"}};

// A code outside its table leaves the caption as it was.
template <std::size_t N>
void ShowCaption(PanelState& state, Text label, const Caption (&captions)[N], int code) {
    for (const Caption& c : captions)
        if (c.code == code) return state.SetCaption(label, c.text);
}

}  // namespace

bool DecodeStatus(PanelState& state, std::string_view message) {
    auto report = protocol::ReadStatusReport(message);
    if (!report) return false;
    std::string text;  // one buffer for the composed captions

    for (std::size_t i = 0; i < std::size(kGauges); ++i) {
        const GaugeRow& row = kGauges[i];
        const GaugeField& gauge = report->gauges[i];
        if (gauge.state == protocol::ResultCode::Ok) {
            text.assign(gauge.pressureText).append("\r\nmBar");
            state.SetCaption(row.value, text);
            state.SetLastPressure(i, gauge.pressureText);
            state.SetFill(row.shape, kWhite);
        } else {
            state.SetCaption(row.value, "---");
            state.SetFill(row.shape, kRed);
        }
        text.assign(row.prefix).append(protocol::ResultText(gauge.state));
        state.SetCaption(row.state, text);
    }

    for (std::size_t i = 0; i < std::size(kValves); ++i) {
        const Look& look = Find(kValveLooks, report->valves[i]);
        state.SetFill(kValves[i].shape, look.fill);
        state.SetCaption(kValves[i].status, look.caption);
    }

    for (std::size_t i = 0; i < std::size(kTmps); ++i) {
        const TmpRow& row = kTmps[i];
        const TmpField& tmp = report->tmps[i];
        const Look& look = Find(kTmpLooks, tmp.state);
        state.SetFill(row.shape, look.fill);
        state.SetCaption(row.status, look.caption);
        text.assign(row.prefix).append(&look == &kError ? protocol::ResultText(tmp.state) : "OK");
        state.SetCaption(row.state, text);
        state.SetCaption(row.speed, tmp.speed);
    }

    state.SetCaption(Text::lblGlowDischargeSpeed, report->glowDischargeSpeed);
    state.SetCaption(Text::lblHighVacuumSpeed, report->highVacuumSpeed);

    const Look& rotary = Find(kRotaryLooks, report->rotary);
    state.SetFill(Fill::shpRotary, rotary.fill);
    state.SetCaption(Text::lblRotaryStatus, rotary.caption);

    ShowCaption(state, Text::lblCurrentMode, kModes, report->currentMode);
    state.SetFill(Fill::shpCurrentMode, kWhite);
    ShowCaption(state, Text::lblRequestedMode, kModes, report->requestedMode);
    state.SetFill(Fill::shpRequestedMode, kWhite);

    state.SetFill(Fill::shpPneumatics, PneumaticsOk(report->pneumatics) ? kGreen : kRed);
    state.SetFill(Fill::shpTMPCooling, TmpCoolingOk(report->tmpCooling) ? kGreen : kRed);

    ShowCaption(state, Text::lblBranch1, kBranch1, report->branch1);
    ShowCaption(state, Text::lblBranch2, kBranch2, report->branch2);
    state.SetFill(Fill::shpBranch1, kWhite);
    state.SetFill(Fill::shpBranch2, kWhite);

    state.SetCaption(Text::txtUptime, report->uptimeText);
    state.CountShownReport();
    state.TakeReport(std::move(*report), QDateTime::currentMSecsSinceEpoch());
    return true;
}

void GreyIndicators(PanelState& state) {
    for (std::size_t i = 0; i < kIndicatorCount; ++i)
        state.SetFill(static_cast<Fill>(i), kGreyText);
    state.UpdateLink([](LinkFacts& link) { link.stale = true; });
}

std::string_view ValveWord(int code) {
    return Find(kValveLooks, code).caption;
}
std::string_view TmpWord(int code) {
    return Find(kTmpLooks, code).caption;
}
std::string_view RotaryWord(int code) {
    return Find(kRotaryLooks, code).caption;
}
std::string_view ModeName(int code) {
    for (const Caption& c : kModes)
        if (c.code == code) return c.text;
    return {};
}
std::string_view BranchWord(int code) {
    return code == BranchActive ? "active" : code == BranchInactive ? "inactive" : "";
}
bool PneumaticsOk(int code) {
    return code == PneumaticPressureGood;
}
bool TmpCoolingOk(int code) {
    return code == TmpCoolingGood;
}

}  // namespace vp::state
