// SPDX-License-Identifier: MIT
#include "publish/remote_feed.h"

#include "publish/mqtt_client.h"
#include "publish/publisher.h"
#include "publish/state_reader.h"
#include "state/plant_status.h"

namespace vp::publish {

RemoteFeed::RemoteFeed(MqttClient& client, state::PanelState& state, const QString& prefix,
                       QObject* parent)
    : QObject(parent), Watchdog(new QTimer(this)), state_(state) {
    const Topics topics(prefix);
    viewTopic_ = QByteArray::fromStdString(topics.view);
    stateTopic_ = QByteArray::fromStdString(topics.state);
    onlineTopic_ = QByteArray::fromStdString(topics.online);
    Watchdog->setObjectName(QStringLiteral("Watchdog"));
    Watchdog->setSingleShot(true);
    Watchdog->setInterval(kWatchdogMs);
    connect(Watchdog, &QTimer::timeout, this, &RemoteFeed::Watchdog_Timer);
    connect(&client, &MqttClient::MessageArrived, this, &RemoteFeed::Take);
    client.Subscribe(topics.online, 1);
    client.Subscribe(topics.state, 1);
    client.Subscribe(topics.view, 1);
}

void RemoteFeed::Take(const QByteArray& topic, const QByteArray& payload) {
    if (topic == viewTopic_) return TakeView(payload);
    if (topic == stateTopic_) return TakeState(payload);
    if (topic != onlineTopic_) return;
    if (payload == Publisher::kOnline) {
        online_ = true;  // the colours come back with the next good state
    } else if (payload == Publisher::kOffline) {
        online_ = false;
        Watchdog->stop();
        state::GreyIndicators(state_);
    } else {
        emit Refused(QString::fromUtf8(topic) + ": neither true nor false");
    }
}

void RemoteFeed::TakeView(const QByteArray& payload) {
    if (const Result<> applied = ApplyViewJson(state_, payload); !applied.ok())
        return emit Refused(QString::fromUtf8(viewTopic_) + ": " + applied.error());
    lastView_ = payload;
    // A retained view may be older than what the plant's state or online flag says of it.
    if (!Live()) return state::GreyIndicators(state_);
    Fresh();
}

void RemoteFeed::TakeState(const QByteArray& payload) {
    const Result<PlantSummary> read = ReadStateJson(payload);
    if (!read.ok()) return emit Refused(QString::fromUtf8(stateTopic_) + ": " + read.error());
    const PlantSummary& summary = *read;
    const bool wasLive = Live();
    quality_ = summary.quality;
    state_.UpdateLink([&](state::LinkFacts& link) { link.connected = summary.connected; });
    if (!Live()) return state::GreyIndicators(state_);
    // The view may have come before the state that makes it current.
    if (!wasLive && !lastView_.isEmpty()) (void)ApplyViewJson(state_, lastView_);
    Fresh();
}

void RemoteFeed::Fresh() {
    state_.UpdateLink([](state::LinkFacts& link) { link.stale = false; });
    Watchdog->start();
}

void RemoteFeed::Watchdog_Timer() {
    state::GreyIndicators(state_);
}

}  // namespace vp::publish
