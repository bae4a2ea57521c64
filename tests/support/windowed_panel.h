// SPDX-License-Identifier: MIT
#pragma once

#include <utility>

#include "app/panel.h"
#include "app/panel_window.h"
#include "panel/form1.h"

// The panel with its window attached, as the window's program runs it; the window goes first.
struct WindowedPanel : vp::app::Panel {
    explicit WindowedPanel(Options options = {}, const vp::SteadyClock* viewClock = nullptr)
        : Panel(std::move(options)), window(*this, viewClock) {}
    vp::panel::Form1& form() { return window.form(); }

    vp::app::PanelWindow window;
};
