// SPDX-License-Identifier: MIT
#pragma once

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "panel/form1.h"
#include "sim/simulated_controller.h"
#include "state/panel_state.h"
#include "support/windowed_panel.h"

// The whole panel, window and own timers included, on port 3 served by the simulated controller
// through a symbolic link to its pseudo-terminal. The view paces its renders by the clock given,
// the system's when none.
struct LivePanel {
    static constexpr int kWait = 10000;  // ms; generous for a loaded CI machine
    static constexpr unsigned kGrey = 0x80000011u;

    QTemporaryDir dir;
    QString link;
    std::unique_ptr<vp::sim::SimulatedController> sim;
    std::unique_ptr<WindowedPanel> panel;
    vp::panel::Form1* form = nullptr;

    bool Start(QString* error, const vp::SteadyClock* viewClock = nullptr) {
        sim = std::make_unique<vp::sim::SimulatedController>();
        if (const vp::Result<> started = sim->Start(); !started.ok()) {
            if (error) *error = started.error();
            return false;
        }
        link = dir.filePath("controller");
        if (const vp::Result<> linked = sim->MakeLink(link); !linked.ok()) {
            if (error) *error = linked.error();
            return false;
        }
        panel = std::make_unique<WindowedPanel>(vp::app::Panel::Options{.ports = {{3, link}}},
                                                viewClock);
        form = &panel->form();
        return true;
    }
    void Stop() {
        panel.reset();
        sim.reset();
    }

    // Connect pressed; the status box says so at once, as the operator sees it.
    QString Connect() {
        form->cmdConnect->click();
        form->view().Render();
        return form->txtStatus->text();
    }
    bool Live() const { return form->shpTG1->FillColor() != kGrey; }
    int Shown() const { return panel->state().ShownReports(); }
    int Received() const { return panel->link().ReceivedMessageCount(); }
    int Sent() const { return panel->link().SentMessageCount(); }
    int Crc() const { return panel->state().CrcErrors(); }
    std::vector<vp::panel::Shape*> Indicators() const {
        std::vector<vp::panel::Shape*> shapes;
        for (std::size_t i = 0; i < vp::state::kIndicatorCount; ++i)
            shapes.push_back(form->findChild<vp::panel::Shape*>(
                vp::state::Name(static_cast<vp::state::Fill>(i))));
        return shapes;
    }
};
