#pragma once

namespace vp::panel {

class Form1;

// The three TMP speed set-points: validated, shown red or white, and sent.
class SetPoints {
public:
    explicit SetPoints(Form1& form) : form_(form) {}

    void Connect();

private:
    Form1& form_;
};

}  // namespace vp::panel
