#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string_view>

#include "link/counter.h"
#include "link/rx_buffer.h"

namespace vp::panel {
class Form1;
}
namespace vp::messages {
class Dispatcher;
}

namespace vp::link {

}
namespace vp::record {
class TrafficRecorder;
}
namespace vp::link {

// Frames go out through SendCommand and come in through ReceiveText; both count what they move
// and light their lamp.
class Framing {
public:
    Framing(panel::Form1& form, messages::Dispatcher& dispatcher);

    // Frames the body (checksum, CR), writes it in one write, counts it and lights the send
    // lamp; with the port closed it only says "Not connected!".
    void SendCommand(std::string_view body);

    // Takes whatever the port delivered and hands each complete message to the dispatcher.
    void ReceiveText(const QByteArray& text);

    // Every frame written and every message cut is also given to the recorder, if any.
    void SetRecorder(record::TrafficRecorder* recorder) { recorder_ = recorder; }

    const RxBuffer& rxBuffer() const { return rxBuffer_; }
    Counter& SentMessageCount() { return sent_; }
    Counter& ReceivedMessageCount() { return received_; }

private:
    void OnMessage(std::string_view message);
    void ShowNotice(const std::optional<QString>& notice);

    panel::Form1& form_;
    messages::Dispatcher& dispatcher_;
    record::TrafficRecorder* recorder_ = nullptr;
    RxBuffer rxBuffer_;
    Counter sent_;
    Counter received_;
};

}  // namespace vp::link
