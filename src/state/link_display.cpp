// SPDX-License-Identifier: MIT
#include "state/link_display.h"

#include "state/panel_state.h"
#include "state/plant_status.h"
#include "text/number_text.h"

namespace vp::state {

namespace {
constexpr int kLampMs = 100;

std::string Counted(std::int32_t count, std::string_view what) {
    return text::PlainNumber(count).append(what);
}
}  // namespace

LinkDisplay::LinkDisplay(PanelState& state, QObject* parent)
    : QObject(parent), Timer3(new QTimer(this)), Timer4(new QTimer(this)), state_(state) {
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer4->setObjectName(QStringLiteral("Timer4"));
    for (QTimer* lamp : {Timer3, Timer4}) lamp->setInterval(kLampMs);
    connect(Timer3, &QTimer::timeout, this, &LinkDisplay::Timer3_Timer);
    connect(Timer4, &QTimer::timeout, this, &LinkDisplay::Timer4_Timer);
}

void LinkDisplay::Load(const QString& comText) {
    state_.ClearLastPressures();
    for (List list : {List::lstErrors, List::lstWarnings, List::lstMessages})
        state_.ClearList(list);
    GreyIndicators(state_);
    state_.SetNotice(Text::lblComStatus, comText.toStdString());
}

void LinkDisplay::FrameSent(std::int32_t sentCount) {
    state_.SetFill(Fill::shpSend, kYellow);
    // Lighting a lit lamp leaves its timer running, so the lamp blinks at the poll rate.
    if (!Timer3->isActive()) Timer3->start();
    state_.SetCaption(Text::lblSentMessages, Counted(sentCount, " sent messages"));
    state_.UpdateLink([&](LinkFacts& link) { link.sent = sentCount; });
}

void LinkDisplay::MessagesArrived(std::int32_t receivedCount) {
    state_.SetCaption(Text::lblReceivedMessages, Counted(receivedCount, " received messages"));
    state_.UpdateLink([&](LinkFacts& link) { link.received = receivedCount; });
    state_.SetFill(Fill::shpRecv, kGreen);
    if (!Timer4->isActive()) Timer4->start();
}

void LinkDisplay::ShowStatusText(const QString& text) {
    state_.SetNotice(Text::txtStatus, text.toStdString());
}

void LinkDisplay::ShowConnection(bool open, const QString& comText) {
    state_.UpdateLink([&](LinkFacts& link) {
        // A report from before the port opened says nothing of the plant now.
        if (link.connected != open) link.reported = false;
        link.connected = open;
    });
    if (open) {
        state_.SetCaption(Text::lblStatus, "Connected");
        state_.SetNotice(Text::lblComStatus, comText.toStdString());
    } else {
        state_.SetCaption(Text::lblStatus, "Disconnected");
    }
}

void LinkDisplay::ReportsStale() {
    GreyIndicators(state_);
}

void LinkDisplay::Timer3_Timer() {
    state_.SetFill(Fill::shpSend, kMenuColour);
    Timer3->stop();
}

void LinkDisplay::Timer4_Timer() {
    state_.SetFill(Fill::shpRecv, kMenuColour);
    Timer4->stop();
}

}  // namespace vp::state
