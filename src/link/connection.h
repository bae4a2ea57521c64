#pragma once

namespace vp::panel {
class Form1;
}

namespace vp::link {

class Framing;

// Connect and Disconnect, the half-second connection display, and the port's receive event.
// The connection state is never copied: every handler asks the port.
class Connection {
public:
    Connection(panel::Form1& form, Framing& framing);

    void cmdConnect_Click();
    void cmdDisconnect_Click();
    void Timer2_Timer();
    void MSComm1_OnComm();

private:
    void ShowPortError(int error);

    panel::Form1& form_;
    Framing& framing_;
};

}  // namespace vp::link
