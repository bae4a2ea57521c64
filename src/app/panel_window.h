// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <memory>

namespace vp {
class SteadyClock;
}
namespace vp::panel {
class Form1;
}

namespace vp::app {

class Panel;

// The panel's window, attached to a panel: it shows the panel's state, hands the operator's
// wishes to the panel's link, and passes what the operator did on to the panel for the journal.
// Attach it before the event loop runs, and let it go before the panel.
class PanelWindow : public QObject {
public:
    // The view paces itself by viewClock, the system's when null.
    explicit PanelWindow(Panel& panel, const SteadyClock* viewClock = nullptr);
    ~PanelWindow() override;

    panel::Form1& form() { return *form_; }

private:
    std::unique_ptr<panel::Form1> form_;
};

}  // namespace vp::app
