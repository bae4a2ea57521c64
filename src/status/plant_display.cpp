#include "status/plant_display.h"

#include "messages/result_codes.h"
#include "panel/form1.h"
#include "status/status_report.h"

namespace vp::status {

namespace {

using panel::ColourValue;
using panel::Form1;
using panel::Label;
using panel::Shape;

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

struct GaugeRow {
    Label* Form1::*value;
    Shape* Form1::*shape;
    Label* Form1::*state;
    const char* prefix;
};
// In the order of the report: TG1, 1G1, 2G1, 1G3.
const GaugeRow kGauges[] = {
    {&Form1::lblTG1, &Form1::shpTG1, &Form1::lblTG1State, "TG1 state: "},
    {&Form1::lbl1G1, &Form1::shp1G1, &Form1::lbl1G1State, "1G1 state: "},
    {&Form1::lbl2G1, &Form1::shp2G1, &Form1::lbl2G1State, "2G1 state: "},
    {&Form1::lbl1G3, &Form1::shp1G3, &Form1::lbl1G3State, "1G3 state: "},
};

struct ValveRow {
    Shape* Form1::*shape;
    Label* Form1::*status;
};
// In the order of the report: 3V1, 1V1, 2V1, 1V2, 2V2, 1V3, 2V3, 1V4.
const ValveRow kValves[] = {
    {&Form1::shp3V1, &Form1::lbl3V1status}, {&Form1::shp1V1, &Form1::lbl1V1status},
    {&Form1::shp2V1, &Form1::lbl2V1status}, {&Form1::shp1V2, &Form1::lbl1V2status},
    {&Form1::shp2V2, &Form1::lbl2V2status}, {&Form1::shp1V3, &Form1::lbl1V3status},
    {&Form1::shp2V3, &Form1::lbl2V3status}, {&Form1::shp1V4, &Form1::lbl1V4status},
};

struct TmpRow {
    Shape* Form1::*shape;
    Label* Form1::*status;
    Label* Form1::*state;
    Label* Form1::*speed;
    const char* prefix;
};
const TmpRow kTmps[] = {
    {&Form1::shpTMP1, &Form1::lblTMP1status, &Form1::lblTMP1State, &Form1::lblTMP1speed,
     "TMP1 state: "},
    {&Form1::shpTMP2, &Form1::lblTMP2status, &Form1::lblTMP2State, &Form1::lblTMP2speed,
     "TMP2 state: "},
};

// A code's look: the fill of its shape and the caption of its status label.
struct Look {
    int code;
    ColourValue fill;
    const char* caption;
};
const Look kValveLooks[] = {{190, panel::kYellow, "closed"}, {191, panel::kGreen, "open"}};
const Look kTmpLooks[] = {{193, panel::kYellow, "stopped"},
                          {195, panel::kMagenta, "stopping"},
                          {194, panel::kCyan, "accelerating"},
                          {196, panel::kGreen, "started"}};
const Look kRotaryLooks[] = {{193, panel::kYellow, "stopped"},
                             {196, panel::kGreen, "started"},
                             {198, panel::kBlue, "tripped"}};
constexpr Look kError = {0, panel::kRed, "error"};

template <std::size_t N>
const Look* Find(const Look (&looks)[N], int code) {
    for (const Look& look : looks)
        if (look.code == code) return &look;
    return nullptr;
}

struct Caption {
    int code;
    const char* text;
};
const Caption kModes[] = {{199, "Idle mode"},   {200, "High vacuum"}, {201, "Primary vacuum"},
                          {202, "Unsafe mode"}, {203, "Stop"},        {204, "Glow discharge"}};
const Caption kBranch1[] = {{205, "Branch1: active"}, {206, "Branch1: inactive"}};
const Caption kBranch2[] = {{205, "Branch2: active"}, {206, "Branch2: inactive"}};

// A code outside its table leaves the caption as it was.
template <std::size_t N>
void ShowCaption(Label* label, const Caption (&captions)[N], int code) {
    for (const Caption& c : captions)
        if (c.code == code) return label->SetCaption(QString::fromLatin1(c.text));
}

}  // namespace

PlantDisplay::PlantDisplay(panel::Form1& form) : form_(form) {}

bool PlantDisplay::DecodeStatus(std::string_view message) {
    const auto report = ReadStatusReport(message);
    if (!report) return false;
    Form1& f = form_;

    for (std::size_t i = 0; i < std::size(kGauges); ++i) {
        const GaugeRow& row = kGauges[i];
        const GaugeField& gauge = report->gauges[i];
        if (gauge.state == 150) {
            (f.*row.value)->SetCaption(Latin1(gauge.pressureText) + "\r\nmBar");
            lastPressures_[i] = QByteArray::fromStdString(gauge.pressureText);
            (f.*row.shape)->SetFillColor(panel::kWhite);
        } else {
            (f.*row.value)->SetCaption(QStringLiteral("---"));
            (f.*row.shape)->SetFillColor(panel::kRed);
        }
        (f.*row.state)->SetCaption(row.prefix + Latin1(messages::ResultText(gauge.state)));
    }

    for (std::size_t i = 0; i < std::size(kValves); ++i) {
        const Look* look = Find(kValveLooks, report->valves[i]);
        if (!look) look = &kError;
        (f.*kValves[i].shape)->SetFillColor(look->fill);
        (f.*kValves[i].status)->SetCaption(QString::fromLatin1(look->caption));
    }

    for (std::size_t i = 0; i < std::size(kTmps); ++i) {
        const TmpRow& row = kTmps[i];
        const TmpField& tmp = report->tmps[i];
        const Look* look = Find(kTmpLooks, tmp.state);
        (f.*row.shape)->SetFillColor(look ? look->fill : kError.fill);
        (f.*row.status)->SetCaption(QString::fromLatin1(look ? look->caption : kError.caption));
        (f.*row.state)
            ->SetCaption(row.prefix +
                         (look ? QStringLiteral("OK") : Latin1(messages::ResultText(tmp.state))));
        (f.*row.speed)->SetCaption(Latin1(tmp.speed));
    }

    f.lblGlowDischargeSpeed->SetCaption(Latin1(report->glowDischargeSpeed));
    f.lblHighVacuumSpeed->SetCaption(Latin1(report->highVacuumSpeed));

    const Look* rotary = Find(kRotaryLooks, report->rotary);
    if (!rotary) rotary = &kError;
    f.shpRotary->SetFillColor(rotary->fill);
    f.lblRotaryStatus->SetCaption(QString::fromLatin1(rotary->caption));

    ShowCaption(f.lblCurrentMode, kModes, report->currentMode);
    f.shpCurrentMode->SetFillColor(panel::kWhite);
    ShowCaption(f.lblRequestedMode, kModes, report->requestedMode);
    f.shpRequestedMode->SetFillColor(panel::kWhite);

    f.shpPneumatics->SetFillColor(report->pneumatics == 207 ? panel::kGreen : panel::kRed);
    f.shpTMPCooling->SetFillColor(report->tmpCooling == 209 ? panel::kGreen : panel::kRed);

    ShowCaption(f.lblBranch1, kBranch1, report->branch1);
    ShowCaption(f.lblBranch2, kBranch2, report->branch2);
    f.shpBranch1->SetFillColor(panel::kWhite);
    f.shpBranch2->SetFillColor(panel::kWhite);

    f.txtUptime->setText(Latin1(report->uptimeText));
    shown_.Increment();
    return true;
}

}  // namespace vp::status
