// SPDX-License-Identifier: MIT
#include "link/link.h"

#include "link/port_errors.h"
#include "protocol/codes.h"
#include "protocol/frame.h"
#include "protocol/message_kind.h"
#include "record/traffic_recorder.h"

namespace vp::link {

namespace {
// A poll is the command numbered as the kind of message it asks for, without argument: "040_".
struct Poll {
    explicit constexpr Poll(int kind)
        : body{char('0' + kind / 100), char('0' + kind / 10 % 10), char('0' + kind % 10), '_'} {}
    constexpr operator std::string_view() const { return {body, sizeof body}; }
    char body[4];
};
namespace MessageKind = protocol::MessageKind;
constexpr Poll kStatusPoll{MessageKind::StatusReport};
constexpr Poll kSlowPolls[] = {
    Poll{MessageKind::TmpOperatingHours}, Poll{MessageKind::TmpErrorCounts},
    Poll{MessageKind::IcpconErrorCounts}, Poll{MessageKind::GaugeErrorCounts}};
}  // namespace

struct Link::TimerRow {
    QTimer* Link::*member;
    const char* name;
    int interval;  // ms; never changed at run time
};
const Link::TimerRow Link::kTimers[] = {
    {&Link::Timer1, "Timer1", 100},
    {&Link::Timer2, "Timer2", 500},
    {&Link::Timer5, "Timer5", 3000},
    {&Link::tmrTMPOperatingHours, "tmrTMPOperatingHours", 10000},
};

Link::Link(PortNames names, QObject* parent)
    : QObject(parent), port_(new MSComm(std::move(names), this)) {
    port_->setObjectName(QStringLiteral("MSComm1"));
    for (const TimerRow& row : kTimers) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QString::fromLatin1(row.name));
        timer->setInterval(row.interval);
        this->*row.member = timer;
    }
    connect(Timer1, &QTimer::timeout, this, &Link::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &Link::Timer2_Timer);
    connect(Timer5, &QTimer::timeout, this, &Link::Timer5_Timer);
    connect(tmrTMPOperatingHours, &QTimer::timeout, this, &Link::tmrTMPOperatingHours_Timer);
    connect(port_, &MSComm::OnComm, this, &Link::MSComm1_OnComm);
}

QString Link::ComText() const {
    return "Com" + QString::number(port_->CommPort()) + "," + port_->Settings();
}

QString Link::PortName() const {
    return "Port " + QString::number(port_->CommPort());
}

void Link::Load() {
    StatusSeen = 0;
    port_->SetSettings(QStringLiteral("9600,N,8,1"));
}

void Link::Start() {
    for (const TimerRow& row : kTimers) (this->*row.member)->start();
}

void Link::Connect() {
    const int error = port_->PortOpen() ? kNoError : port_->SetPortOpen(true);
    if (error == kNoError && port_->PortOpen()) {
        emit StatusText(PortName() + " open successfully");
        return;
    }
    ShowPortError(error);
    if (port_->PortOpen()) {
        port_->SetPortOpen(false);
        emit StatusText(PortName() + " Error");
    }
}

void Link::Disconnect() {
    if (port_->PortOpen()) {
        emit StatusText(PortName() + " closed");
        port_->SetPortOpen(false);
    } else {
        emit StatusText(PortName() + " not open");
    }
}

Result<> Link::SendCommand(std::string_view body) {
    if (!port_->PortOpen()) return Fail(QStringLiteral("Not connected!"));
    const std::string frame = protocol::Frame(body);
    // A frame the line did not take is not shown or counted as sent.
    if (const int error = port_->Output(QByteArray::fromStdString(frame)); error != kNoError)
        return Fail(PortErrorText(error, port_->CommPort()).value_or(PortName() + " Error"));
    if (recorder_) ShowNotice(recorder_->Sent(frame));
    sentMessageCount_.Increment();
    emit FrameSent(sentMessageCount_.value());
    return {};
}

void Link::ReceiveText(std::string_view text) {
    const std::size_t messages =
        rxBuffer_.Append(text, [this](std::string_view message) { OnMessage(message); });
    // Once per arrival: at full line rate one arrival holds a dozen reports.
    if (messages != 0) emit MessagesArrived(receivedMessageCount_.value());
}

void Link::OnMessage(std::string_view message) {
    receivedMessageCount_.Increment();
    if (recorder_) ShowNotice(recorder_->Received(message, !protocol::ChecksumMismatch(message)));
    // Only a report that will be drawn proves the picture fresh: one of the wrong length or with
    // a bad checksum changes nothing, so it must not hold off the grey. Once one has come, the
    // watchdog's period needs no further proof.
    if (StatusSeen == 0 && protocol::IsShownStatusReport(message)) StatusSeen = 1;
    emit MessageReceived(message);
}

// A poll the line refused needs no line of its own: no report comes back, and the watchdog greys
// the picture within its period.
void Link::Timer1_Timer() {
    if (port_->PortOpen()) (void)SendCommand(kStatusPoll);
}

void Link::tmrTMPOperatingHours_Timer() {
    if (port_->PortOpen()) (void)SendCommand(kSlowPolls[SlowPollStep]);
    SlowPollStep = static_cast<std::int16_t>((SlowPollStep + 1) % 4);
}

void Link::Timer2_Timer() {
    emit ConnectionShown(port_->PortOpen(), ComText());
}

void Link::Timer5_Timer() {
    if (StatusSeen != 0) {
        StatusSeen = 0;
        return;
    }
    emit ReportsStale();
}

void Link::MSComm1_OnComm() {
    if (port_->CommEvent() != MSComm::comEvReceive) return;
    const PortRead read = port_->Input();
    if (!read.text.isEmpty())
        ReceiveText(
            std::string_view(read.text.constData(), static_cast<std::size_t>(read.text.size())));
    if (read.error != kNoError) ShowPortError(read.error);
}

void Link::ShowPortError(int error) {
    if (const auto text = PortErrorText(error, port_->CommPort())) emit StatusText(*text);
}

void Link::ShowNotice(const Result<>& recorded) {
    if (!recorded.ok()) emit StatusText(recorded.error());
}

}  // namespace vp::link
