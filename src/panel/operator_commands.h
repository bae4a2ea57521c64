// SPDX-License-Identifier: MIT
#pragma once

namespace vp::panel {

class Form1;

// The command catalogue: every mode button, Reset button and menu entry sends its command.
class OperatorCommands {
public:
    explicit OperatorCommands(Form1& form) : form_(form) {}

    // Connects every control of the catalogue to its handler; called once by the window.
    void Connect();

    // One click of a catalogue control: "NNN_" for its fixed number, whatever the port says.
    void Command_Click(int commandNumber);

private:
    Form1& form_;
};

}  // namespace vp::panel
