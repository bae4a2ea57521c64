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
    stateTopic_ = QByteArray::fromStdString(topics.state);
    onlineTopic_ = QByteArray::fromStdString(topics.online);
    Watchdog->setObjectName(QStringLiteral("Watchdog"));
    Watchdog->setSingleShot(true);
    Watchdog->setInterval(kWatchdogMs);
    connect(Watchdog, &QTimer::timeout, this, &RemoteFeed::Watchdog_Timer);
    connect(&client, &MqttClient::MessageArrived, this, &RemoteFeed::Take);
    client.Subscribe(topics.state, 1);
    client.Subscribe(topics.online, 1);
}

void RemoteFeed::Take(const QByteArray& topic, const QByteArray& payload) {
    if (topic == stateTopic_) {
        if (const auto reason = ApplyStateJson(state_, payload))
            return emit Refused(QString::fromUtf8(topic) + ": " + *reason);
        // A retained state may come after the plant said it is gone: it is the last one seen.
        if (!online_) return state::GreyIndicators(state_);
        Watchdog->start();
    } else if (topic == onlineTopic_) {
        if (payload == Publisher::kOnline) {
            online_ = true;  // the colours come back with the next state
        } else if (payload == Publisher::kOffline) {
            online_ = false;
            Watchdog->stop();
            state::GreyIndicators(state_);
        } else {
            emit Refused(QString::fromUtf8(topic) + ": neither true nor false");
        }
    }
}

void RemoteFeed::Watchdog_Timer() {
    state::GreyIndicators(state_);
}

}  // namespace vp::publish
