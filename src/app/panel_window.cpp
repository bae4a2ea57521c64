// SPDX-License-Identifier: MIT
#include "app/panel_window.h"

#include "app/panel.h"
#include "panel/form1.h"

namespace vp::app {

PanelWindow::PanelWindow(Panel& panel, const SteadyClock* viewClock)
    : form_(std::make_unique<panel::Form1>(panel.link(), panel.state(), viewClock)) {
    panel::Form1* form = form_.get();
    link::Link& link = panel.link();
    connect(&link, &link::Link::ConnectionShown, form,
            [form](bool open) { form->ShowPortLists(open); });
    // After the lamp and the counter have taken the arrival in.
    connect(&link, &link::Link::MessagesArrived, &form->view(), &panel::View::LineAnswered);
    connect(form, &panel::Form1::OperatorAction, &panel, &Panel::OperatorAction);
    connect(form, &panel::Form1::SetPointRefused, &panel, &Panel::SetPointRefused);
    connect(form, &panel::Form1::SendFailed, &panel, &Panel::SendFailed);

    form->Form_Load();
    // The first picture is drawn before the window shows, not a frame later.
    form->view().Render();
}

PanelWindow::~PanelWindow() = default;

}  // namespace vp::app
