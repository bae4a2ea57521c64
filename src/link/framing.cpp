#include "link/framing.h"

#include "link/frame.h"
#include "record/traffic_recorder.h"
#include "messages/dispatcher.h"
#include "panel/form1.h"

namespace vp::link {

Framing::Framing(panel::Form1& form, messages::Dispatcher& dispatcher)
    : form_(form), dispatcher_(dispatcher) {}

void Framing::SendCommand(std::string_view body) {
    if (!form_.MSComm1->PortOpen()) {
        form_.txtStatus->setText(QStringLiteral("Not connected!"));
        return;
    }
    const std::string frame = Frame(body);
    // A frame the line did not take is not shown or counted as sent.
    if (form_.MSComm1->Output(QByteArray::fromStdString(frame)) != 0) return;
    if (recorder_) ShowNotice(recorder_->Sent(frame));
    form_.shpSend->SetFillColor(panel::kYellow);
    // Lighting a lit lamp leaves its timer running, so the lamp blinks at the poll rate.
    if (!form_.Timer3->isActive()) form_.Timer3->start();
    sent_.Increment();
    form_.lblSentMessages->SetCaption(QString::number(sent_.value()) + " sent messages");
}

void Framing::ReceiveText(const QByteArray& text) {
    const std::size_t messages =
        rxBuffer_.Append(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                         [this](std::string_view message) { OnMessage(message); });
    if (messages == 0) return;
    // The count and the lamp once per arrival: at full line rate one arrival holds a dozen
    // reports, and laying the caption out again for each would cost more than the reports.
    form_.lblReceivedMessages->SetCaption(QString::number(received_.value()) +
                                          " received messages");
    form_.shpRecv->SetFillColor(panel::kGreen);
    if (!form_.Timer4->isActive()) form_.Timer4->start();
}

void Framing::OnMessage(std::string_view message) {
    received_.Increment();
    if (recorder_) ShowNotice(recorder_->Received(message, !ChecksumMismatch(message)));
    dispatcher_.HandleMessage(message);
}

void Framing::ShowNotice(const std::optional<QString>& notice) {
    if (notice) form_.txtStatus->setText(*notice);
}

}  // namespace vp::link
