// SPDX-License-Identifier: MIT
#include "panel/left_button_menu.h"

#include <QMouseEvent>

namespace vp::panel {

bool LeftButtonMenu::OtherButtonOnAnEntry(const QMouseEvent& event) const {
    return event.button() != Qt::LeftButton && actionAt(event.position().toPoint()) != nullptr;
}

void LeftButtonMenu::mousePressEvent(QMouseEvent* event) {
    if (!OtherButtonOnAnEntry(*event)) QMenu::mousePressEvent(event);
}

void LeftButtonMenu::mouseReleaseEvent(QMouseEvent* event) {
    if (!OtherButtonOnAnEntry(*event)) QMenu::mouseReleaseEvent(event);
}

}  // namespace vp::panel
