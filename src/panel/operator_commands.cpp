// SPDX-License-Identifier: MIT
#include "panel/operator_commands.h"

#include <string>
#include <variant>

#include "link/link.h"
#include "panel/form1.h"
#include "text/number_text.h"

namespace vp::panel {

namespace {

using Control = std::variant<Button * Form1::*, QAction * Form1::*>;

struct CommandRow {
    Control control;
    int number;
};

// The whole vocabulary, one row per control. The mode buttons and the "Mode" menu carry the
// same numbers on purpose: the controller cannot tell which of the two the operator used.
const CommandRow kCatalogue[] = {
    {&Form1::cmdIdleMode, 120},
    {&Form1::cmdHigh, 121},
    {&Form1::cmdPrimary, 122},
    {&Form1::cmdUnsafeMode, 123},
    {&Form1::cmdStop, 124},
    {&Form1::cmdGlowDischarge, 125},
    {&Form1::cmdTmpErrorsReset, 39},
    {&Form1::cmdGaugeErrorsReset, 91},
    {&Form1::cmdIcpconErrorsReset, 93},

    {&Form1::mnuTmp1On, 80},
    {&Form1::mnuTmp1Off, 81},
    {&Form1::mnuTmp2On, 82},
    {&Form1::mnuTmp2Off, 83},
    {&Form1::mnuRotaryOn, 109},
    {&Form1::mnuRotaryOff, 110},
    {&Form1::mnu1V1Open, 62},
    {&Form1::mnu1V1Close, 63},
    {&Form1::mnu2V1Open, 64},
    {&Form1::mnu2V1Close, 65},
    {&Form1::mnu1V3Open, 66},
    {&Form1::mnu1V3Close, 67},
    {&Form1::mnu3V1Open, 60},
    {&Form1::mnu3V1Close, 61},
    {&Form1::mnuTG1_filament_on, 106},
    {&Form1::mnuTG1_filament_off, 103},
    {&Form1::mnuTG1_degas, 101},
    {&Form1::mnu1G1_filament_on, 107},
    {&Form1::mnu1G1_filament_off, 104},
    {&Form1::mnu1G1_degas, 100},
    {&Form1::mnu2G1_kk_sensor_on, 105},
    {&Form1::mnu2G1_kk_sensor_off, 102},
    {&Form1::mnuChillerStart, 84},
    {&Form1::mnuChillerStop, 85},
    {&Form1::mnuBranch1Activate, 130},
    {&Form1::mnuBranch1Deactivate, 132},
    {&Form1::mnuBranch2Activate, 131},
    {&Form1::mnuBranch2Deactivate, 133},
    {&Form1::mnuIdle, 120},
    {&Form1::mnuHighVacuum, 121},
    {&Form1::mnuGlowDischarge, 125},
    {&Form1::mnuPrimaryVacuum, 122},
    {&Form1::mnuUnsafeMode, 123},
    {&Form1::mnuStop, 124},
};

}  // namespace

void OperatorCommands::Connect() {
    for (const CommandRow& row : kCatalogue) {
        const int number = row.number;
        const auto* button = std::get_if<Button * Form1::*>(&row.control);
        QObject* control = button ? static_cast<QObject*>(form_.*(*button))
                                  : form_.*std::get<QAction * Form1::*>(row.control);
        auto send = [this, number, control] {
            emit form_.OperatorAction(control->objectName(),
                                      QByteArray::fromStdString(text::ThreeDigits(number) + "_"));
            Command_Click(number);
        };
        if (button)
            QObject::connect(form_.*(*button), &QPushButton::clicked, &form_, send);
        else
            QObject::connect(static_cast<QAction*>(control), &QAction::triggered, &form_, send);
    }
}

void OperatorCommands::Command_Click(int commandNumber) {
    form_.Send(text::ThreeDigits(commandNumber) + "_");
}

}  // namespace vp::panel
