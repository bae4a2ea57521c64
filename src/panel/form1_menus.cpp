// SPDX-License-Identifier: MIT
// The menu bar as data: fourteen menus from left to right, each with its entries in order.
// The same menus open as pop-ups over the diagram.
#include <QMenuBar>
#include <vector>

#include "panel/form1.h"
#include "panel/left_button_menu.h"

namespace vp::panel {

namespace {

struct EntryRow {
    QAction* Form1::*member;
    const char* name;
    const char* caption;
};

struct MenuRow {
    QMenu* Form1::*member;
    const char* name;
    const char* caption;
    std::vector<EntryRow> entries;
};

#define M(control) &Form1::control, #control

const std::vector<MenuRow>& Menus() {
    static const std::vector<MenuRow> menus = {
        {M(mnuTmp1), "TMP1", {{M(mnuTmp1On), "Switch on"}, {M(mnuTmp1Off), "Switch off"}}},
        {M(mnuTmp2), "TMP2", {{M(mnuTmp2On), "Switch on"}, {M(mnuTmp2Off), "Switch off"}}},
        {M(mnuRotary), "Rotary", {{M(mnuRotaryOn), "Switch on"}, {M(mnuRotaryOff), "Switch off"}}},
        {M(mnu1V1), "1V1", {{M(mnu1V1Open), "Open"}, {M(mnu1V1Close), "Close"}}},
        {M(mnu2V1), "2V1", {{M(mnu2V1Open), "Open"}, {M(mnu2V1Close), "Close"}}},
        {M(mnu1V3), "1V3", {{M(mnu1V3Open), "Open"}, {M(mnu1V3Close), "Close"}}},
        {M(mnu3V1), "3V1", {{M(mnu3V1Open), "Open"}, {M(mnu3V1Close), "Close"}}},
        {M(mnuTG1),
         "TG1",
         {{M(mnuTG1_filament_on), "Switch on filament"},
          {M(mnuTG1_filament_off), "Switch off filament"},
          {M(mnuTG1_degas), "Degas"}}},
        {M(mnu1G1),
         "1G1",
         {{M(mnu1G1_filament_on), "Switch on filament"},
          {M(mnu1G1_filament_off), "Switch off filament"},
          {M(mnu1G1_degas), "Degas"}}},
        {M(mnu2G1),
         "2G1",
         {{M(mnu2G1_kk_sensor_on), "Switch on KK sensor"},
          {M(mnu2G1_kk_sensor_off), "Switch off KK sensor"}}},
        {M(mnuChiller), "Chiller", {{M(mnuChillerStart), "Start"}, {M(mnuChillerStop), "Stop"}}},
        {M(mnuBranch1),
         "Branch 1",
         {{M(mnuBranch1Activate), "Activate"}, {M(mnuBranch1Deactivate), "Deactivate"}}},
        {M(mnuBranch2),
         "Branch 2",
         {{M(mnuBranch2Activate), "Activate"}, {M(mnuBranch2Deactivate), "Deactivate"}}},
        {M(mnuMode),
         "Mode",
         {{M(mnuIdle), "Idle"},
          {M(mnuHighVacuum), "High vacuum"},
          {M(mnuGlowDischarge), "Glow Discharge"},
          {M(mnuPrimaryVacuum), "Primary vacuum"},
          {M(mnuUnsafeMode), "Unsafe mode"},
          {M(mnuStop), "Stop"}}},
    };
    return menus;
}

#undef M

}  // namespace

void Form1::BuildMenus() {
    for (const MenuRow& row : Menus()) {
        // Captions are set as plain text: no '&' in them, so no mnemonic is shown or implied.
        QMenu* menu = new LeftButtonMenu(QString::fromLatin1(row.caption), menuBar());
        menuBar()->addMenu(menu);
        menu->setObjectName(QString::fromLatin1(row.name));
        menu->setFont(font());
        this->*row.member = menu;
        for (const EntryRow& entry : row.entries) {
            QAction* action = menu->addAction(QString::fromLatin1(entry.caption));
            action->setObjectName(QString::fromLatin1(entry.name));
            this->*entry.member = action;
        }
    }
}

}  // namespace vp::panel
