#pragma once

namespace vp::panel {

class Form1;

// Right-button presses on the diagram open the pressed component's menu.
class ContextMenus {
public:
    explicit ContextMenus(Form1& form) : form_(form) {}

    void Connect();

private:
    Form1& form_;
};

}  // namespace vp::panel
