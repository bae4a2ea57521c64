// SPDX-License-Identifier: MIT
#pragma once

#include <QMenu>

namespace vp::panel {

// A menu in which only the left button chooses an entry. Qt also lets the right and middle
// buttons choose, so one careless gesture (a second right click on a component, or the right
// press that opened its menu released over an entry) would switch a pump. Other buttons over an
// entry do nothing and the menu stays open; anywhere else they act as Qt's menus do (a press
// outside closes the menu). The keyboard chooses as before.
class LeftButtonMenu : public QMenu {
    Q_OBJECT
public:
    using QMenu::QMenu;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool OtherButtonOnAnEntry(const QMouseEvent& event) const;
};

}  // namespace vp::panel
