// SPDX-License-Identifier: MIT
#include "panel/context_menus.h"

#include <QCursor>

#include "panel/form1.h"

namespace vp::panel {

namespace {

struct HitRow {
    Shape* Form1::*shape;
    QMenu* Form1::*menu;
};

// The components with a menu, in the order they are tried. Valves 1V2, 2V2, 2V3 and 1V4, gauge
// 1G3 and the pneumatics have none: the controller takes no command for them.
const HitRow kHitOrder[] = {
    {&Form1::shpTMP1, &Form1::mnuTmp1},
    {&Form1::shpTMP2, &Form1::mnuTmp2},
    {&Form1::shpRotary, &Form1::mnuRotary},
    {&Form1::shp1V1, &Form1::mnu1V1},
    {&Form1::shp2V1, &Form1::mnu2V1},
    {&Form1::shp3V1, &Form1::mnu3V1},
    {&Form1::shp1V3, &Form1::mnu1V3},
    {&Form1::shpTG1, &Form1::mnuTG1},
    {&Form1::shp1G1, &Form1::mnu1G1},
    {&Form1::shp2G1, &Form1::mnu2G1},
    {&Form1::shpTMPCooling, &Form1::mnuChiller},
};

struct LabelRow {
    Label* Form1::*label;
    QMenu* Form1::*menu;
};

// Labels standing on a component open its menu themselves. lbl3V1status is not here: it only
// grazes the 3V1 valve and has never opened anything.
const LabelRow kComponentLabels[] = {
    {&Form1::lblTmp1, &Form1::mnuTmp1},     {&Form1::Label15, &Form1::mnuTmp1},
    {&Form1::Label16, &Form1::mnuTmp1},     {&Form1::lblTmp2, &Form1::mnuTmp2},
    {&Form1::Label14, &Form1::mnuTmp2},     {&Form1::Label17, &Form1::mnuTmp2},
    {&Form1::lblRotary, &Form1::mnuRotary}, {&Form1::lblRotaryStatus, &Form1::mnuRotary},
    {&Form1::lbl1V1, &Form1::mnu1V1},       {&Form1::lbl1V1status, &Form1::mnu1V1},
    {&Form1::lbl2V1, &Form1::mnu2V1},       {&Form1::lbl2V1status, &Form1::mnu2V1},
    {&Form1::lbl3V1, &Form1::mnu3V1},       {&Form1::lbl1V3, &Form1::mnu1V3},
    {&Form1::lbl1V3status, &Form1::mnu1V3}, {&Form1::Label11, &Form1::mnuTG1},
    {&Form1::Label12, &Form1::mnuTG1},      {&Form1::lblTG1, &Form1::mnuTG1},
    {&Form1::Label4, &Form1::mnu1G1},       {&Form1::Label26, &Form1::mnu1G1},
    {&Form1::lbl1G1, &Form1::mnu1G1},       {&Form1::Label9, &Form1::mnu2G1},
    {&Form1::Label27, &Form1::mnu2G1},      {&Form1::lbl2G1, &Form1::mnu2G1},
    {&Form1::Label13, &Form1::mnuChiller},
};

// Open on all four sides: a press exactly on an edge is no hit. The far edges are summed in
// single precision, as the press coordinates are.
bool Hits(const Shape& shape, float x, float y) {
    const float left = static_cast<float>(shape.Left());
    const float top = static_cast<float>(shape.Top());
    const float right = left + static_cast<float>(shape.Width());
    const float bottom = top + static_cast<float>(shape.Height());
    return right > x && x > left && bottom > y && y > top;
}

}  // namespace

ContextMenus::ContextMenus(Form1& form)
    : PopupMenu([](QMenu* menu) { menu->exec(QCursor::pos()); }), form_(form) {}

void ContextMenus::Connect() {
    QObject::connect(
        form_.surface(), &Surface::MouseDown, &form_,
        [this](Qt::MouseButton button, float x, float y) { Form_MouseDown(button, x, y); });
    for (const LabelRow& row : kComponentLabels) {
        QMenu* menu = form_.*row.menu;
        QObject::connect(form_.*row.label, &Label::MouseDown, &form_,
                         [this, menu](Qt::MouseButton button) { Label_MouseDown(menu, button); });
    }
}

void ContextMenus::Form_MouseDown(Qt::MouseButton button, float x, float y) {
    if (button != Qt::RightButton) return;
    for (const HitRow& row : kHitOrder) {
        if (Hits(*(form_.*row.shape), x, y)) {
            Open(form_.*row.menu);
            return;
        }
    }
}

void ContextMenus::Label_MouseDown(QMenu* menu, Qt::MouseButton button) {
    if (button == Qt::RightButton) Open(menu);
}

void ContextMenus::Open(QMenu* menu) {
    if (PopupMenu && menu->menuAction()->isEnabled()) PopupMenu(menu);
}

}  // namespace vp::panel
