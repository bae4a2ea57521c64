// SPDX-License-Identifier: MIT
// The window's layout as data: one table per part of the window, one row per control, in the
// order and units (twips) of the layout drawings, so the two can be read side by side.
#include "panel/form1_layout.h"

#include <QGroupBox>
#include <algorithm>
#include <variant>

#include "panel/form1.h"
#include "panel/units.h"

namespace vp::panel {

namespace {

using Kind = Shape::Kind;
constexpr Kind Rectangle = Kind::Rectangle;
constexpr Kind Oval = Kind::Oval;
constexpr Kind Circle = Kind::Circle;

constexpr unsigned Centred = Label::Centred;
constexpr unsigned Transparent = Label::Transparent;
constexpr unsigned Fits = Label::Fits;
constexpr unsigned Wraps = Label::Wraps;
constexpr unsigned Bold = Label::Bold;
constexpr unsigned ModeFont = 1u << 8;  // buttons: 12 pt bold on their own colour
// Text boxes that only show what the controller or the link says: what an operator typed there
// would stand as the plant's word until the next report, and a caret would blink in them.
constexpr unsigned Shows = 1u << 9;

// A label, button or box with no colour of its own takes the window's.
constexpr ColourValue kOwnColourNone = 0xFFFFFFFFu;

using Member = std::variant<Shape * Form1::*, Label * Form1::*, TextBox * Form1::*,
                            Button * Form1::*, ListBox * Form1::*, ComboBox * Form1::*>;

struct Row {
    Member member;
    const char* name;
    const char* caption;  // drop-down lists: the items, separated by '|'
    int left, top, width, height;
    unsigned look = 0;
    ColourValue colour = kOwnColourNone;  // shapes: fill; labels and buttons: background
    Kind shape = Rectangle;
};

#define M(control) &Form1::control, #control

Row S(Shape* Form1::*m, const char* n, Kind k, int l, int t, int w, int h, ColourValue fill) {
    return {m, n, "", l, t, w, h, 0, fill, k};
}
Row L(Label* Form1::*m, const char* n, const char* caption, int l, int t, int w, int h,
      unsigned look, ColourValue back = kOwnColourNone) {
    return {m, n, caption, l, t, w, h, look, back};
}
Row T(TextBox* Form1::*m, const char* n, int l, int t, int w, int h, unsigned look = 0) {
    return {m, n, "", l, t, w, h, look};
}
Row B(Button* Form1::*m, const char* n, const char* caption, int l, int t, int w, int h,
      unsigned look = 0, ColourValue back = kOwnColourNone) {
    return {m, n, caption, l, t, w, h, look, back};
}
Row LB(ListBox* Form1::*m, const char* n, int l, int t, int w, int h) {
    return {m, n, "", l, t, w, h};
}
Row CB(ComboBox* Form1::*m, const char* n, const char* items, int l, int t, int w, int h) {
    return {m, n, items, l, t, w, h};
}

constexpr ColourValue kGrey = kGreyText;
constexpr ColourValue kSetPointBlue = 0x00C0BBBB;

// clang-format off: one row per control, as in the layout drawings.
// Synoptic diagram: component shapes.
const Row kComponentShapes[] = {
    S(M(shpVessel), Circle, 360, 240, 1695, 1695, kWhite),
    S(M(shpTG1), Circle, 4680, 0, 975, 975, kWhite),
    S(M(shp1G1), Circle, 3720, 1440, 975, 975, kWhite),
    S(M(shp2G1), Circle, 5640, 1440, 975, 975, kWhite),
    S(M(shp1G3), Circle, 4560, 3600, 1215, 975, kWhite),
    S(M(shp1V1), Oval, 2280, 1200, 1215, 495, kRed),
    S(M(shp2V1), Oval, 6840, 1200, 1215, 495, kRed),
    S(M(shp3V1), Oval, 8280, 480, 495, 1215, kRed),
    S(M(shp1V2), Oval, 2280, 3960, 1215, 495, kRed),
    S(M(shp2V2), Oval, 6840, 3960, 1215, 495, kRed),
    S(M(shp1V3), Oval, 2280, 4920, 1215, 495, kRed),
    S(M(shp2V3), Oval, 4560, 2760, 1215, 495, kRed),
    S(M(shp1V4), Oval, 2280, 5640, 1215, 495, kRed),
    S(M(shpTMP1), Rectangle, 2400, 2280, 975, 1455, kRed),
    S(M(shpTMP2), Rectangle, 6960, 2280, 975, 1455, kRed),
    S(M(shpRotary), Rectangle, 4320, 5400, 975, 975, kRed),
    S(M(Shape14), Rectangle, 9360, 600, 255, 975, kWhite),
    S(M(shpTMPCooling), Rectangle, 495, 3120, 1320, 615, kGrey),
    S(M(shpPneumatics), Rectangle, 480, 2280, 1335, 615, kGrey),
};

// Synoptic diagram: pipes, from (X1, Y1) to (X2, Y2).
struct LineRow {
    Line* Form1::*member;
    const char* name;
    int x1, y1, x2, y2;
};
const LineRow kPipes[] = {
    {M(Line1), 1800, 1080, 9600, 1080},  {M(Line4), 2880, 1080, 2880, 5880},
    {M(Line6), 7440, 1080, 7440, 4680},  {M(Line3), 2880, 4680, 7440, 4680},
    {M(Line5), 2880, 1920, 3840, 1920},  {M(Line7), 7440, 1920, 6600, 1920},
    {M(Line11), 5160, 600, 5160, 2760},  {M(Line8), 6240, 3000, 5160, 3000},
    {M(Line13), 6240, 3000, 6240, 4680}, {M(Line10), 5160, 4200, 5160, 4680},
    {M(Line9), 3360, 5880, 4320, 5880},
};

// Synoptic diagram: labels.
const Row kDiagramLabels[] = {
    L(M(Label18), "vessel", 960, 990, 465, 195, Centred | Transparent | Fits),
    L(M(Label11), "TG1", 4965, 80, 405, 195, Centred | Transparent | Bold | Fits),
    L(M(Label12), "hpt", 5002, 250, 330, 195, Centred | Transparent | Fits | Wraps),
    L(M(lblTG1), "X.XXXE-X mBar", 4710, 480, 915, 390, Centred | Transparent),
    L(M(Label4), "1G1", 4020, 1515, 375, 195, Centred | Transparent | Bold | Fits),
    L(M(Label26), "hpt", 4035, 1695, 330, 195, Centred | Transparent | Fits | Wraps),
    L(M(lbl1G1), "X.XXXE-X mBar", 3765, 1920, 885, 375, Centred | Transparent),
    L(M(Label9), "2G1", 5940, 1515, 375, 195, Centred | Transparent | Bold | Fits),
    L(M(Label27), "mpt", 5955, 1695, 330, 195, Centred | Transparent | Fits | Wraps),
    L(M(lbl2G1), "X.XXXE-X mBar", 5670, 1920, 915, 390, Centred | Transparent),
    L(M(Label10), "1G3", 4980, 3675, 375, 195, Centred | Transparent | Bold | Fits),
    L(M(Label28), "ppt", 4920, 3855, 480, 195, Centred | Transparent | Fits | Wraps),
    L(M(lbl1G3), "X.XXXE-X mBar", 4710, 4080, 915, 390, Centred | Transparent),
    L(M(lbl1V1), "1V1", 2655, 1260, 465, 195, Centred | Transparent | Bold),
    L(M(lbl1V1status), "---", 2805, 1440, 165, 195, Centred | Transparent | Fits),
    L(M(lbl2V1), "2V1", 7215, 1260, 465, 195, Centred | Transparent | Bold),
    L(M(lbl2V1status), "---", 7365, 1440, 165, 195, Centred | Transparent | Fits),
    L(M(lbl3V1), "3V1", 8340, 990, 360, 195, Centred | Transparent | Bold | Fits),
    L(M(lbl3V1status), "---", 8760, 600, 165, 195, Transparent | Fits),
    L(M(lbl1V2), "1V2", 2715, 4050, 345, 195, Transparent | Bold | Fits),
    L(M(lbl1V2status), "---", 3480, 3960, 165, 195, Transparent | Fits),
    L(M(Label3), "mechanical", 2475, 4200, 825, 195, Centred | Transparent | Fits),
    L(M(lbl2V2), "2V2", 7275, 4050, 345, 195, Transparent | Bold | Fits),
    L(M(lbl2V2status), "---", 8040, 3960, 135, 195, Transparent | Fits),
    L(M(Label2), "mechanical", 7035, 4200, 825, 195, Centred | Transparent | Fits),
    L(M(lbl2V3), "2V3", 4995, 2850, 345, 195, Transparent | Bold | Fits),
    L(M(lbl2V3status), "---", 5520, 2640, 165, 195, Transparent | Fits),
    L(M(Label5), "mechanical", 4755, 3000, 825, 195, Centred | Transparent | Fits),
    L(M(lbl1V3), "1V3", 2715, 4980, 345, 195, Transparent | Bold | Fits),
    L(M(lbl1V3status), "---", 2805, 5160, 165, 195, Centred | Transparent | Fits),
    L(M(lbl1V4), "1V4", 2715, 5730, 345, 195, Transparent | Bold | Fits),
    L(M(lbl1V4status), "---", 2805, 5880, 165, 195, Centred | Transparent | Fits),
    L(M(lblTmp1), "TMP1", 2565, 2400, 645, 195, Centred | Transparent | Bold),
    L(M(Label16), "Atention!", 2400, 2760, 975, 195, Centred | Transparent | Bold),
    L(M(Label15), "To turn on: P@TG1 < 0.5mBar", 2460, 3000, 855, 615, Centred | Transparent),
    L(M(lblTMP1speed), "---/---", 3480, 3240, 345, 195, Transparent | Fits),
    L(M(lblTMP1status), "---", 3480, 3480, 165, 195, Transparent | Fits),
    L(M(lblTmp2), "TMP2", 7125, 2400, 645, 195, Centred | Transparent | Bold),
    L(M(Label17), "Atention!", 6960, 2760, 975, 195, Centred | Transparent | Bold),
    L(M(Label14), "To turn on: P@TG1 < 0.5mBar", 6990, 3000, 915, 585, Centred | Transparent),
    L(M(lblTMP2speed), "---/---", 8040, 3240, 345, 195, Transparent | Fits),
    L(M(lblTMP2status), "---", 8040, 3480, 165, 195, Transparent | Fits),
    L(M(lblRotary), "ROTARY", 4410, 5640, 795, 195, Centred | Transparent | Bold | Fits),
    L(M(lblRotaryStatus), "---", 4725, 5880, 165, 195, Centred | Transparent | Fits),
    L(M(Label19), "window", 9120, 1680, 825, 195, Centred | Transparent | Fits),
    L(M(Label13), "TMP cooling", 525, 3300, 1245, 255, Centred | Transparent | Bold),
    L(M(lblPneumatics), "Pneumatics", 525, 2460, 1245, 255, Centred | Transparent | Bold),
};

// Plant boxes on the left.
const Row kPlantBoxes[] = {
    S(M(shpBranch1), Rectangle, 240, 3960, 1800, 375, kGrey),
    L(M(lblBranch1), "Branch 1: ---", 360, 4050, 1080, 195, Transparent | Bold | Fits),
    S(M(shpBranch2), Rectangle, 240, 4560, 1800, 375, kGrey),
    L(M(lblBranch2), "Branch 2: ---", 360, 4650, 1080, 195, Transparent | Bold | Fits),
    S(M(shpTMP1OperatingHours), Rectangle, 240, 5160, 1800, 375, kGrey),
    L(M(lblTMP1OperatingHours), "TMP 1: ------", 360, 5250, 1050, 195, Transparent | Bold | Fits),
    S(M(shpTMP2OperatingHours), Rectangle, 240, 5760, 1800, 375, kGrey),
    L(M(lblTMP2OperatingHours), "TMP 2: ------", 360, 5850, 1050, 195, Transparent | Bold | Fits),
    L(M(lblUptime), "PIC uptime", 240, 6360, 1335, 255, Bold),
    T(M(txtUptime), 240, 6600, 1335, 285, Shows),
};

// Device states.
const Row kDeviceStates[] = {
    S(M(Shape9), Rectangle, 5520, 5040, 4080, 615, kGrey),
    S(M(Shape8), Rectangle, 5520, 5880, 4080, 1095, kGrey),
    L(M(lblTMP1State), "TMP1 state:", 5640, 5160, 1050, 195, Transparent | Bold | Fits),
    L(M(lblTMP2State), "TMP2 state:", 5640, 5400, 1050, 195, Transparent | Bold | Fits),
    L(M(lblTG1State), "TG1 state:", 5640, 6000, 915, 195, Transparent | Bold | Fits),
    L(M(lbl1G1State), "1G1 state:", 5640, 6240, 900, 195, Transparent | Bold | Fits),
    L(M(lbl2G1State), "2G1 state:", 5640, 6480, 900, 195, Transparent | Bold | Fits),
    L(M(lbl1G3State), "1G3 state:", 5640, 6720, 900, 195, Transparent | Bold | Fits),
};

// Error counts.
constexpr unsigned kCount = Transparent | Bold | Fits;
const Row kErrorCounts[] = {
    S(M(Shape4), Rectangle, 9840, 3360, 2880, 1335, kGrey),
    L(M(lblIcpcon1Errors), "Icpcon 1 errors: ---", 9960, 3480, 1605, 195, kCount),
    L(M(lblIcpcon2Errors), "Icpcon 2 errors: ---", 9960, 3720, 1605, 195, kCount),
    L(M(lblIcpcon3Errors), "Icpcon 3 errors: ---", 9960, 3960, 1605, 195, kCount),
    L(M(lblIcpcon4Errors), "Icpcon 4 errors: ---", 9960, 4200, 1605, 195, kCount),
    L(M(lblIcpcon5Errors), "Icpcon 5 errors: ---", 9960, 4440, 1605, 195, kCount),
    B(M(cmdIcpconErrorsReset), "Reset", 12000, 4320, 615, 255),
    S(M(Shape5), Rectangle, 9840, 4680, 2880, 1095, kGrey),
    L(M(lblTG1Errors), "TG1 errors: ---", 9960, 4800, 1215, 195, kCount),
    L(M(lbl1G1Errors), "1G1 errors: ---", 9960, 5040, 1200, 195, kCount),
    L(M(lbl2G1Errors), "2G1 errors: ---", 9960, 5280, 1200, 195, kCount),
    L(M(lbl1G3Errors), "1G3 errors: ---", 9960, 5520, 1200, 195, kCount),
    B(M(cmdGaugeErrorsReset), "Reset", 12000, 5400, 615, 255),
    S(M(Shape6), Rectangle, 9840, 5760, 2880, 615, kGrey),
    L(M(lblTMP1Errors), "TMP1 errors: ---", 9960, 5880, 1350, 195, kCount),
    L(M(lblTMP2Errors), "TMP2 errors: ---", 9960, 6120, 1350, 195, kCount),
    B(M(cmdTmpErrorsReset), "Reset", 12000, 6000, 615, 255),
};

// Speed set-points.
const Row kSetPoints[] = {
    S(M(Shape1), Rectangle, 10440, 120, 2295, 975, kSetPointBlue),
    L(M(Label20), "TMP speed", 10560, 240, 1695, 255, 0, kSetPointBlue),
    L(M(Label7), "(20-100% of 833Hz)", 10560, 480, 1695, 255, 0, kSetPointBlue),
    T(M(txtTMPspeed), 10560, 720, 615, 285, Centred),
    B(M(cmdTMPspeed), "Send", 11880, 720, 735, 285),
    S(M(Shape2), Rectangle, 10440, 1200, 2295, 975, kSetPointBlue),
    L(M(Label29), "TMP speed (high vacuum)", 10560, 1320, 1935, 255, 0, kSetPointBlue),
    L(M(Label21), "(20-100% of 833Hz)", 10560, 1560, 1695, 255, 0, kSetPointBlue),
    T(M(txtHighVacuumSpeed), 10560, 1800, 615, 285, Centred),
    L(M(lblHighVacuumSpeed), "---", 11400, 1845, 135, 195, Transparent | Fits),
    B(M(cmdHighVacuumSpeed), "Send", 11880, 1800, 735, 285),
    S(M(Shape3), Rectangle, 10440, 2280, 2295, 975, kSetPointBlue),
    L(M(Label31), "TMP speed (glow discharge)", 10560, 2400, 2055, 255, 0, kSetPointBlue),
    L(M(Label30), "(20-100% of 833Hz)", 10560, 2640, 1695, 255, 0, kSetPointBlue),
    T(M(txtGlowDischargeSpeed), 10560, 2880, 615, 285, Centred),
    L(M(lblGlowDischargeSpeed), "---", 11400, 2925, 135, 195, Transparent | Fits),
    B(M(cmdGlowDischargeSpeed), "Send", 11880, 2880, 735, 285),
};

// Operating modes: the board, the six buttons, then the two mode indicators.
const Row kOperatingModes[] = {
    S(M(Shape7), Rectangle, 10440, 6480, 2280, 1935, 0x0080FFFF),
    B(M(cmdIdleMode), "Idle", 10560, 6600, 975, 495, ModeFont, 0x0080FF80),
    B(M(cmdGlowDischarge), "Glow", 11640, 6600, 975, 495, ModeFont, 0x00FF00FF),
    B(M(cmdUnsafeMode), "Unsafe", 10560, 7200, 975, 495, ModeFont, 0x00C0C0FF),
    B(M(cmdHigh), "High", 11640, 7200, 975, 495, ModeFont, 0x000080FF),
    B(M(cmdPrimary), "Primary", 10560, 7800, 975, 495, ModeFont, 0x0000C0C0),
    B(M(cmdStop), "Stop", 11640, 7800, 975, 495, ModeFont, 0x00FFC0C0),
    S(M(shpCurrentMode), Rectangle, 10440, 8640, 1680, 615, kGrey),
    L(M(Label1), "Current mode", 10560, 8760, 945, 195, Transparent | Fits),
    L(M(lblCurrentMode), "---", 10560, 9000, 195, 195, Transparent | Bold | Fits),
    S(M(shpRequestedMode), Rectangle, 10440, 9360, 1680, 615, kGrey),
    L(M(Label32), "Requested mode", 10560, 9480, 1215, 195, Transparent | Fits),
    L(M(lblRequestedMode), "---", 10560, 9690, 195, 195, Transparent | Bold | Fits),
};

// The "Status" frame at 120, 7080, 10215 by 2895; its controls measured from its corner.
constexpr int kFrameLeft = 120, kFrameTop = 7080, kFrameWidth = 10215, kFrameHeight = 2895;
const Row kStatusFrame[] = {
    L(M(lblStatus), "Disconnected", 120, 240, 1815, 255, Bold),
    L(M(lblComStatus), "Com1,9600,n,1", 120, 480, 2175, 255, Bold),
    CB(M(Combo1), "2400|9600|38400|115200|460800|921600", 2760, 240, 975, 315),
    CB(M(Combo2), "n|e|o|m|s", 3960, 240, 975, 315),
    CB(M(Combo3), "Com1|Com2|Com3|Com4|Com5|Com6|Com7|Com8|Com9|Com10", 5160, 240, 975, 315),
    B(M(cmdConnect), "Connect", 6840, 240, 1095, 375),
    B(M(cmdDisconnect), "Disconnect", 8040, 240, 1095, 375),
    S(M(shpSend), Rectangle, 9240, 240, 855, 375, kMenuColour),
    L(M(Label22), "Send", 9465, 330, 405, 195, Centred | Transparent | Fits),
    S(M(shpRecv), Rectangle, 9240, 720, 855, 375, kMenuColour),
    L(M(Label23), "Receive", 9360, 810, 615, 195, Centred | Transparent | Fits),
    L(M(lblCrcErrors), "0 received crc errors", 4200, 720, 2805, 195, Bold | Fits | Wraps),
    L(M(lblSentMessages), "0 sent messages", 4200, 960, 2805, 195, Bold | Fits | Wraps),
    L(M(lblReceivedMessages), "0 received messages", 4200, 1200, 2805, 195, Bold | Fits | Wraps),
    B(M(cmdClearError), "Clear", 8040, 720, 1095, 375),
    L(M(Label6), "Status", 120, 840, 555, 195, Bold | Fits),
    T(M(txtStatus), 840, 840, 3015, 285, Shows),
    L(M(Label8), "Operation errors", 120, 1440, 2340, 195, Bold | Fits | Wraps),
    L(M(Label24), "Warnings", 3480, 1440, 2340, 195, Bold | Fits | Wraps),
    L(M(Label25), "Other messages", 6840, 1440, 2340, 195, Bold | Fits | Wraps),
    LB(M(lstErrors), 120, 1680, 3255, 1035),
    LB(M(lstWarnings), 3480, 1680, 3255, 1035),
    LB(M(lstMessages), 6840, 1680, 3255, 1035),
    L(M(lblOperationErrors), "", 5280, 1920, 885, 195, Fits),
};

// clang-format on
#undef M

QRect PixelRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}

QWidget* Create(const Row& row, Form1& form, QWidget* parent) {
    return std::visit(
        [&](auto member) -> QWidget* {
            using T = std::remove_pointer_t<std::remove_reference_t<decltype(form.*member)>>;
            T* control = nullptr;
            if constexpr (std::is_same_v<T, Shape>) {
                control = new Shape(row.shape, row.colour, parent);
            } else if constexpr (std::is_same_v<T, Label>) {
                control = new Label(QString::fromLatin1(row.caption), row.look,
                                    row.colour == kOwnColourNone ? 0 : row.colour, parent);
            } else if constexpr (std::is_same_v<T, TextBox>) {
                control = new TextBox(parent);
                if (row.look & Centred) control->setAlignment(Qt::AlignCenter);
                control->setReadOnly(row.look & Shows);
            } else if constexpr (std::is_same_v<T, Button>) {
                control = new Button(QString::fromLatin1(row.caption), parent);
                if (row.look & ModeFont) {
                    QFont f = control->font();
                    f.setPixelSize(16);  // 12 pt at the usual 96 dots per inch
                    f.setBold(true);
                    control->setFont(f);
                    // Drawn flat in their own colour, as the operator knows them.
                    control->setStyleSheet(
                        QStringLiteral("QPushButton { background-color: %1; border: 1px solid "
                                       "black; } QPushButton:pressed { border: 2px inset gray; }")
                            .arg(ScreenColour(row.colour).name()));
                }
            } else if constexpr (std::is_same_v<T, ListBox>) {
                control = new ListBox(parent);
            } else if constexpr (std::is_same_v<T, ComboBox>) {
                control = new ComboBox(parent);
                control->addItems(QString::fromLatin1(row.caption).split('|'));
                control->setCurrentIndex(-1);  // the window's load selects the defaults
            }
            control->setObjectName(QString::fromLatin1(row.name));
            if constexpr (std::is_same_v<T, Shape>)
                control->SetTwipsGeometry(row.left, row.top, row.width, row.height);
            else
                control->setGeometry(PixelRect(row.left, row.top, row.width, row.height));
            if constexpr (std::is_same_v<T, Label>) control->GrowToCaption();
            form.*member = control;
            return control;
        },
        row.member);
}

template <std::size_t N>
void CreateAll(const Row (&rows)[N], Form1& form, QWidget* parent) {
    for (const Row& row : rows) Create(row, form, parent);
}

LaidOutControl Describe(const Row& row, int left, int top) {
    using Type = LaidOutControl::Type;
    LaidOutControl c{Type::Shape,   row.name,  row.caption, left + row.left,
                     top + row.top, row.width, row.height};
    std::visit(
        [&](auto member) {
            using T = std::remove_pointer_t<
                std::remove_reference_t<decltype(std::declval<Form1&>().*member)>>;
            if constexpr (std::is_same_v<T, Shape>) c.type = Type::Shape;
            if constexpr (std::is_same_v<T, Label>) c.type = Type::Label;
            if constexpr (std::is_same_v<T, TextBox>) c.type = Type::TextBox;
            if constexpr (std::is_same_v<T, Button>) c.type = Type::Button;
            if constexpr (std::is_same_v<T, ListBox>) c.type = Type::ListBox;
            if constexpr (std::is_same_v<T, ComboBox>) c.type = Type::ComboBox;
        },
        row.member);
    c.shape = row.shape;
    c.hasColour = row.colour != kOwnColourNone;
    c.colour = c.hasColour ? row.colour : 0;
    c.centred = row.look & Centred;
    c.transparent = c.type == Type::Label && (row.look & Transparent);
    // As the window's labels break their captions: at blanks within the width, unless "fits".
    c.wraps = c.type == Type::Label && (!(row.look & Fits) || (row.look & Wraps));
    c.bold = (row.look & Bold) || (row.look & ModeFont);
    c.large = row.look & ModeFont;
    return c;
}

template <std::size_t N>
void DescribeAll(const Row (&rows)[N], std::vector<LaidOutControl>& out, int left = 0,
                 int top = 0) {
    for (const Row& row : rows) out.push_back(Describe(row, left, top));
}

// Where a control lies among its siblings, as StackDiagram stacks them.
int Layer(LaidOutControl::Type type) {
    switch (type) {
        case LaidOutControl::Type::Line:
            return 0;
        case LaidOutControl::Type::Shape:
            return 1;
        case LaidOutControl::Type::Label:
            return 2;
        default:
            return 3;
    }
}

}  // namespace

std::vector<LaidOutControl> LaidOutControls() {
    std::vector<LaidOutControl> window;
    DescribeAll(kComponentShapes, window);
    for (const LineRow& row : kPipes)
        window.push_back({LaidOutControl::Type::Line, row.name, "", row.x1, row.y1, row.x2 - row.x1,
                          row.y2 - row.y1});
    DescribeAll(kDiagramLabels, window);
    DescribeAll(kPlantBoxes, window);
    DescribeAll(kDeviceStates, window);
    DescribeAll(kErrorCounts, window);
    DescribeAll(kSetPoints, window);
    DescribeAll(kOperatingModes, window);
    window.push_back({LaidOutControl::Type::Frame, "Frame1", "Status", kFrameLeft, kFrameTop,
                      kFrameWidth, kFrameHeight});
    std::vector<LaidOutControl> frame;
    DescribeAll(kStatusFrame, frame, kFrameLeft, kFrameTop);

    const auto lowestFirst = [](const LaidOutControl& a, const LaidOutControl& b) {
        return Layer(a.type) < Layer(b.type);
    };
    std::stable_sort(window.begin(), window.end(), lowestFirst);
    std::stable_sort(frame.begin(), frame.end(), lowestFirst);
    window.insert(window.end(), frame.begin(), frame.end());
    return window;
}

void Form1::BuildControls() {
    CreateAll(kComponentShapes, *this, surface_);
    for (const LineRow& row : kPipes) {
        auto* line = new Line(QPoint(TwipsToPixels(row.x1), TwipsToPixels(row.y1)),
                              QPoint(TwipsToPixels(row.x2), TwipsToPixels(row.y2)), surface_);
        line->setObjectName(QString::fromLatin1(row.name));
        this->*row.member = line;
    }
    CreateAll(kDiagramLabels, *this, surface_);
    CreateAll(kPlantBoxes, *this, surface_);
    CreateAll(kDeviceStates, *this, surface_);
    CreateAll(kErrorCounts, *this, surface_);
    CreateAll(kSetPoints, *this, surface_);
    CreateAll(kOperatingModes, *this, surface_);

    Frame1 = new Frame(QStringLiteral("Status"), surface_);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(PixelRect(kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight));
    CreateAll(kStatusFrame, *this, Frame1);

    StackDiagram();
}

// Shapes, pipes and labels are painted on the window itself, beneath every windowed control
// (buttons, boxes, lists, the frame), as the layout was drawn; among them pipes lie lowest and
// labels on top. So lblOperationErrors, drawn where lstWarnings stands, stays beneath the list.
void Form1::StackDiagram() {
    for (QWidget* parent : {static_cast<QWidget*>(surface_), static_cast<QWidget*>(Frame1)}) {
        const QObjectList children = parent->children();
        for (QObject* child : children)
            if (auto* shape = qobject_cast<Shape*>(child)) shape->lower();
        for (QObject* child : children)
            if (auto* line = qobject_cast<Line*>(child)) line->lower();
        for (QObject* child : children) {
            auto* widget = qobject_cast<QWidget*>(child);
            if (widget && !qobject_cast<Shape*>(child) && !qobject_cast<Line*>(child) &&
                !qobject_cast<Label*>(child))
                widget->raise();
        }
    }
}

}  // namespace vp::panel
