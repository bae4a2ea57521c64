#pragma once

#include <QTest>
#include <QTimer>
#include <memory>

#include "panel/form1.h"
#include "support/pseudo_terminal.h"

// The window with its port 3 served by a raw pseudo-terminal. Its own timers are stopped, so
// the far end sees only what the operator's handlers send.
struct PanelOnPty {
    PseudoTerminal pty;
    std::unique_ptr<vp::panel::Form1> form;

    PanelOnPty() : form(std::make_unique<vp::panel::Form1>(vp::link::PortNames{{3, pty.path()}})) {
        for (QTimer* timer : {form->Timer1, form->Timer2, form->Timer3, form->Timer4, form->Timer5,
                              form->tmrTMPOperatingHours, form->tmrLogData})
            timer->stop();
    }

    // Shows the window and waits until it is on screen (offscreen), as real clicks need.
    bool Show() {
        form->show();
        return QTest::qWaitForWindowExposed(form.get());
    }

    bool Open() { return pty.ok() && form->MSComm1->SetPortOpen(true) == 0; }
    int Sent() { return form->framing().SentMessageCount().value(); }
};
