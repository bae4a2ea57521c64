// SPDX-License-Identifier: MIT
#pragma once

namespace vp::panel {

class Form1;
class TextBox;

// The three TMP speed set-points: validated, shown red or white, and sent.
class SetPoints {
public:
    explicit SetPoints(Form1& form) : form_(form) {}

    // Connects the three "Send" buttons; called once by the window.
    void Connect();

    void cmdTMPspeed_Click();
    void cmdGlowDischargeSpeed_Click();
    void cmdHighVacuumSpeed_Click();

private:
    void SendSetPoint(TextBox& box, int commandNumber);

    Form1& form_;
};

}  // namespace vp::panel
