// SPDX-License-Identifier: MIT
#pragma once

#include <QTest>
#include <QTimer>
#include <memory>

#include "panel/form1.h"
#include "support/pseudo_terminal.h"
#include "support/windowed_panel.h"

// The panel with its port 3 served by a raw pseudo-terminal. Its own timers are stopped, so the
// far end sees only what the operator's handlers send. The view paces its renders by the clock
// given, the system's when none.
struct PanelOnPty {
    PseudoTerminal pty;
    std::unique_ptr<WindowedPanel> app;
    vp::panel::Form1* form;

    explicit PanelOnPty(const vp::SteadyClock* viewClock = nullptr)
        : app(std::make_unique<WindowedPanel>(vp::app::Panel::Options{.ports = {{3, pty.path()}}},
                                              viewClock)),
          form(&app->form()) {
        for (QTimer* timer : app->findChildren<QTimer*>()) timer->stop();
        for (QTimer* timer : app->link().findChildren<QTimer*>()) timer->stop();
    }

    // Shows the window and waits until it is on screen (offscreen), as real clicks need.
    bool Show() {
        form->show();
        return QTest::qWaitForWindowExposed(form);
    }

    bool Open() { return pty.ok() && app->link().MSComm1().SetPortOpen(true) == 0; }
    int Sent() { return app->link().SentMessageCount(); }
};
