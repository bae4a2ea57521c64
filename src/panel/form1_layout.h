// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

#include "panel/colours.h"
#include "panel/controls.h"

namespace vp::panel {

// The window's client area, in twips.
inline constexpr int kClientWidth = 12915;
inline constexpr int kClientHeight = 10170;

// One control of the window as its layout table gives it, so that the window can be drawn
// elsewhere (the browser's page is generated from these) without creating a widget.
struct LaidOutControl {
    enum class Type { Shape, Line, Label, TextBox, Button, ListBox, ComboBox, Frame };

    Type type;
    const char* name;
    const char* caption;  // drop-down lists: the items, separated by '|'
    // Twips on the client area; a line runs from (left, top) to (left + width, top + height).
    int left, top, width, height;
    Shape::Kind shape = Shape::Kind::Rectangle;
    bool hasColour = false;  // shapes: the fill; labels and buttons: the background
    ColourValue colour = 0;
    bool centred = false, transparent = false, wraps = false, bold = false;
    bool large = false;  // the mode buttons' 12 pt
};

// Every control of the window, lowest first, stacked as the window stacks them.
std::vector<LaidOutControl> LaidOutControls();

}  // namespace vp::panel
