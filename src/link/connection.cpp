#include "link/connection.h"

#include "link/framing.h"
#include "link/port_errors.h"
#include "panel/form1.h"

namespace vp::link {

namespace {
QString Port(const panel::Form1& form) {
    return "Port " + QString::number(form.MSComm1->CommPort());
}
}  // namespace

Connection::Connection(panel::Form1& form, Framing& framing) : form_(form), framing_(framing) {}

void Connection::cmdConnect_Click() {
    MSComm& port = *form_.MSComm1;
    const int error = port.PortOpen() ? kNoError : port.SetPortOpen(true);
    if (error == kNoError && port.PortOpen()) {
        form_.txtStatus->setText(Port(form_) + " open successfully");
        return;
    }
    ShowPortError(error);
    if (port.PortOpen()) {
        port.SetPortOpen(false);
        form_.txtStatus->setText(Port(form_) + " Error");
    }
}

void Connection::cmdDisconnect_Click() {
    MSComm& port = *form_.MSComm1;
    if (port.PortOpen()) {
        form_.txtStatus->setText(Port(form_) + " closed");
        port.SetPortOpen(false);
    } else {
        form_.txtStatus->setText(Port(form_) + " not open");
    }
}

void Connection::Timer2_Timer() {
    MSComm& port = *form_.MSComm1;
    if (port.PortOpen()) {
        form_.lblStatus->SetCaption(QStringLiteral("Connected"));
        form_.lblComStatus->SetCaption("Com" + QString::number(port.CommPort()) + "," +
                                       port.Settings());
        for (auto* list : {form_.Combo1, form_.Combo2, form_.Combo3}) list->setEnabled(false);
    }
    if (!port.PortOpen()) {
        form_.lblStatus->SetCaption(QStringLiteral("Disconnected"));
        for (auto* list : {form_.Combo1, form_.Combo2, form_.Combo3}) list->setEnabled(true);
    }
}

void Connection::MSComm1_OnComm() {
    MSComm& port = *form_.MSComm1;
    if (port.CommEvent() != MSComm::comEvReceive) return;
    const PortRead read = port.Input();
    if (!read.text.isEmpty()) framing_.ReceiveText(read.text);
    if (read.error != kNoError) ShowPortError(read.error);
}

void Connection::ShowPortError(int error) {
    if (const auto text = PortErrorText(error, form_.MSComm1->CommPort()))
        form_.txtStatus->setText(*text);
}

}  // namespace vp::link
