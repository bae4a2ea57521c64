#include "publish/publisher.h"

#include <algorithm>

#include "publish/mqtt_client.h"
#include "publish/payloads.h"

namespace vp::publish {

namespace {

std::string Under(const QString& prefix, const char* leaf) {
    return (prefix + '/' + QLatin1String(leaf)).toStdString();
}

// The state without what moves at every poll or every second, to tell a change of the plant
// from the mere passing of time.
QJsonObject WithoutCounters(QJsonObject object) {
    object.remove(QStringLiteral("uptime_s"));
    QJsonObject link = object.value(QStringLiteral("link")).toObject();
    link.remove(QStringLiteral("sent"));
    link.remove(QStringLiteral("received"));
    object.insert(QStringLiteral("link"), link);
    QJsonObject panel = object.value(QStringLiteral("panel")).toObject();
    QJsonObject texts = panel.value(QStringLiteral("texts")).toObject();
    for (const char* name : {"lblSentMessages", "lblReceivedMessages", "txtUptime"})
        texts.remove(QLatin1String(name));
    panel.insert(QStringLiteral("texts"), texts);
    object.insert(QStringLiteral("panel"), panel);
    return object;
}

int Remaining(const QElapsedTimer& since, int spacingMs) {
    if (!since.isValid()) return 0;
    return static_cast<int>(std::max<qint64>(0, spacingMs - since.elapsed()));
}

}  // namespace

const QByteArray Publisher::kOnline = QByteArrayLiteral("true");
const QByteArray Publisher::kOffline = QByteArrayLiteral("false");

Topics::Topics(const QString& prefix)
    : online(Under(prefix, "online")),
      state(Under(prefix, "state")),
      events(Under(prefix, "events")),
      pressure(Under(prefix, "pressure")) {}

Publisher::Publisher(MqttClient& client, state::PanelState& state, const QString& prefix,
                     QObject* parent)
    : QObject(parent), client_(client), state_(state), topics_(prefix) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &Publisher::Check);
    connect(&state_, &state::PanelState::Changed, this, &Publisher::StateChanged);
    StateChanged();
}

void Publisher::StateChanged() {
    // Assume the plant moved: Check tells, and waits longer if only the counters did.
    const int due = std::max(kGatherMs, Remaining(sincePlant_, kPlantSpacingMs));
    if (!timer_.isActive() || timer_.remainingTime() > due) timer_.start(due);
}

void Publisher::Check() {
    state_.CaughtUp();
    const QJsonObject now = StateObject(state_);
    if (now == published_) return;
    if (published_.isEmpty() || WithoutCounters(now) != WithoutCounters(published_)) {
        if (const int wait = Remaining(sincePlant_, kPlantSpacingMs)) return timer_.start(wait);
        sincePlant_.start();
    } else if (const int wait = Remaining(sincePublish_, kCountersSpacingMs)) {
        return timer_.start(wait);
    }
    Send(now);
}

void Publisher::Send(const QJsonObject& object) {
    published_ = object;
    ++publishedCount_;
    sincePublish_.start();
    client_.Publish(topics_.state, Compact(object), 1, true);
}

void Publisher::PublishEvent(state::List list, std::string_view raw) {
    const auto& entries = state_.Entries(list);
    const std::string_view entry = entries.empty() ? std::string_view{} : entries.front();
    client_.Publish(topics_.events, EventJson(QDateTime::currentDateTimeUtc(), list, entry, raw), 1,
                    false);
}

void Publisher::PublishPressures(const std::array<std::string, 4>& pressures) {
    client_.Publish(topics_.pressure, PressureJson(QDateTime::currentDateTimeUtc(), pressures), 1,
                    false);
}

void Publisher::Stop() {
    timer_.stop();
    client_.Stop({MqttClient::Message{topics_.online, kOffline, 1, true}});
}

}  // namespace vp::publish
