// SPDX-License-Identifier: MIT
#pragma once

#include <QMenu>
#include <Qt>
#include <functional>

namespace vp::panel {

class Form1;

// Right-button presses on the diagram open the pressed component's menu.
class ContextMenus {
public:
    explicit ContextMenus(Form1& form);

    // Connects the window surface and the component labels; called once by the window.
    void Connect();

    // A press on the window surface, in twips of the client area.
    void Form_MouseDown(Qt::MouseButton button, float x, float y);

    // A press on one of the labels that stand on a component; the position does not matter.
    void Label_MouseDown(QMenu* menu, Qt::MouseButton button);

    // Opens the menu at the pointer and returns when it closes; the chosen entry's command runs
    // inside. Tests put their own here to see which menu would open.
    std::function<void(QMenu*)> PopupMenu;

private:
    void Open(QMenu* menu);

    Form1& form_;
};

}  // namespace vp::panel
