// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <string_view>

#include "base/result.h"
#include "link/comm_port.h"
#include "protocol/counter.h"
#include "protocol/rx_buffer.h"

namespace vp::record {
class TrafficRecorder;
}

namespace vp::test {
struct LinkProbe;
}

namespace vp::link {

// The serial link to the controller: the port, the frames going out and the messages cut from
// what comes in, the counters of both, the status and slow polls, the connection display's tick
// and the watchdog. It is told to connect, disconnect and send, and signals what happened; it
// knows nothing of how any of it is shown.
class Link : public QObject {
    Q_OBJECT
public:
    explicit Link(PortNames names = {}, QObject* parent = nullptr);

    MSComm& MSComm1() { return *port_; }
    const MSComm& MSComm1() const { return *port_; }
    bool PortOpen() const { return port_->PortOpen(); }
    // "Com<port>,<settings>", as the connection display writes it.
    QString ComText() const;

    // The port's settings as the window loads, before the operator's choices.
    void Load();
    // Starts the polls, the connection display and the watchdog.
    void Start();

    void Connect();
    void Disconnect();

    // Frames the body (checksum, CR), writes it in one write, counts it. Fails, writing and
    // counting nothing, with "Not connected!" while the port is closed, or with the port's text
    // when the line refuses the frame; the caller shows it.
    Result<> SendCommand(std::string_view body);

    // Takes whatever the port delivered and signals each complete message, in order.
    void ReceiveText(std::string_view text);

    // Every frame written and every message cut is also given to the recorder, if any.
    void SetRecorder(record::TrafficRecorder* recorder) { recorder_ = recorder; }

    // The tick handlers, public so that tests drive them without waiting.
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer5_Timer();
    void tmrTMPOperatingHours_Timer();
    void MSComm1_OnComm();

    std::int32_t SentMessageCount() const { return sentMessageCount_.value(); }
    std::int32_t ReceivedMessageCount() const { return receivedMessageCount_.value(); }
    const protocol::RxBuffer& rxBuffer() const { return rxBuffer_; }

signals:
    void FrameSent(std::int32_t sentCount);
    // One complete message: the line without its CR, checksum digits included. The view is valid
    // only during the call.
    void MessageReceived(std::string_view message);
    // After an arrival that held messages, once: the count so far.
    void MessagesArrived(std::int32_t receivedCount);
    // A line for the status box: port opened, closed, failed, record trouble.
    void StatusText(const QString& text);
    // The half-second connection display: whether the port is open, and its "Com" text.
    void ConnectionShown(bool open, const QString& comText);
    // No status report was shown for a whole watchdog period.
    void ReportsStale();

private:
    void OnMessage(std::string_view message);
    void ShowPortError(int error);
    void ShowNotice(const Result<>& recorded);
    QString PortName() const;

    friend struct test::LinkProbe;
    struct TimerRow;
    static const TimerRow kTimers[];

    QTimer* Timer1;                // 100 ms status poll
    QTimer* Timer2;                // 500 ms connection display
    QTimer* Timer5;                // 3 s watchdog
    QTimer* tmrTMPOperatingHours;  // 10 s rotating slow poll

    std::int16_t StatusSeen = 0;  // a shown status report arrived since the watchdog's last tick
    std::int16_t SlowPollStep = 0;
    protocol::Counter sentMessageCount_;
    protocol::Counter receivedMessageCount_;

    MSComm* port_;
    record::TrafficRecorder* recorder_ = nullptr;
    protocol::RxBuffer rxBuffer_;
};

}  // namespace vp::link
