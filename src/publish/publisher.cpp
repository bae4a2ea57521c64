// SPDX-License-Identifier: MIT
#include "publish/publisher.h"

#include <QJsonDocument>
#include <QUuid>
#include <algorithm>
#include <climits>

#include "publish/meta.h"

namespace vp::publish {

namespace {

std::string Under(const QString& prefix, const QString& leaf) {
    return (prefix + '/' + leaf).toStdString();
}

// The view without what moves at every poll or every second, to tell a change of the plant
// from the mere passing of time.
QJsonObject WithoutCounters(QJsonObject view) {
    QJsonObject texts = view.value(QStringLiteral("texts")).toObject();
    for (const char* name : {"lblSentMessages", "lblReceivedMessages", "txtUptime"})
        texts.remove(QLatin1String(name));
    view.insert(QStringLiteral("texts"), texts);
    return view;
}

// The state without its pressures, which move at every poll while a pump runs: they have their
// own topics at their own pace, and the state follows them at that pace.
QJsonObject WithoutPressures(QJsonObject state) {
    QJsonObject gauges = state.value(QStringLiteral("gauges")).toObject();
    for (auto it = gauges.begin(); it != gauges.end(); ++it) {
        QJsonObject gauge = it.value().toObject();
        gauge.remove(QStringLiteral("mbar"));
        it.value() = gauge;
    }
    if (!gauges.isEmpty()) state.insert(QStringLiteral("gauges"), gauges);
    return state;
}

}  // namespace

const QByteArray Publisher::kOnline = QByteArrayLiteral("true");
const QByteArray Publisher::kOffline = QByteArrayLiteral("false");

Topics::Topics(const QString& prefix)
    : online(Under(prefix, "online")),
      state(Under(prefix, "state")),
      stats(Under(prefix, "stats")),
      view(Under(prefix, "view")),
      meta(Under(prefix, "meta")),
      events(Under(prefix, "events")),
      pressure(Under(prefix, "pressure")) {
    for (std::size_t g = 0; g < gauges.size(); ++g)
        gauges[g] = Under(prefix, QStringLiteral("gauge/") + kGaugeNames[g]);
}

Publisher::Publisher(MqttClient& client, state::PanelState& state, const QString& prefix,
                     const QString& version, QObject* parent)
    : QObject(parent),
      client_(client),
      state_(state),
      topics_(prefix),
      run_(QUuid::createUuid().toString(QUuid::WithoutBraces)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &Publisher::Check);
    connect(&state_, &state::PanelState::Changed, this, &Publisher::StateChanged);
    // Our own meta coming back tells us the subscription works; another run's after that is a
    // second gateway on the same prefix.
    connect(&client_, &MqttClient::MessageArrived, this, &Publisher::Heard);
    client_.Subscribe(topics_.meta, 1);
    meta_ = Compact(MetaObject(version, run_));
    // On connecting, once subscribed: it never changes, so sending it again costs one message.
    connect(&client_, &MqttClient::Connected, this, [this] { Send(topics_.meta, meta_); });
}

void Publisher::Begin() {
    begun_ = true;
    StateChanged();
}

void Publisher::StateChanged() {
    if (!begun_) return;
    const int due =
        std::max(kGatherMs, sinceState_.isValid()
                                ? int(std::max<qint64>(0, kPlantSpacingMs - sinceState_.elapsed()))
                                : 0);
    if (!timer_.isActive() || timer_.remainingTime() > due) timer_.start(due);
}

bool Publisher::Ready(const QElapsedTimer& since, int spacingMs, int& wait) {
    if (!since.isValid() || since.elapsed() >= spacingMs) return true;
    wait = std::min(wait, static_cast<int>(spacingMs - since.elapsed()));
    return false;
}

void Publisher::Send(const std::string& topic, const QByteArray& payload) {
    auto& [last, count] = sent_[topic];
    last = payload;
    ++count;
    client_.Publish(topic, payload, 1, true);
}

QByteArray Publisher::LastSent(const std::string& topic) const {
    const auto it = sent_.find(topic);
    return it == sent_.end() ? QByteArray() : it->second.first;
}

int Publisher::SentCount(const std::string& topic) const {
    const auto it = sent_.find(topic);
    return it == sent_.end() ? 0 : it->second.second;
}

void Publisher::Check() {
    timer_.stop();
    state_.CaughtUp();
    const state::Quality quality = state::QualityOf(state_);
    int wait = INT_MAX;

    const QJsonObject meaning = StateObject(state_, quality, 0);
    const bool pressuresOnly =
        !meaning_.isEmpty() && WithoutPressures(meaning) == WithoutPressures(meaning_);
    if (meaning != meaning_ &&
        Ready(sinceState_, pressuresOnly ? kGaugeSpacingMs : kPlantSpacingMs, wait)) {
        // The report that brought the plant to this meaning is the latest one; a change of the
        // line alone keeps the time of the report its sections come from.
        meaning_ = meaning;
        time_ = state_.Plant().reportUtcMs;
        published_ = StateObject(state_, quality, time_);
        ++publishedCount_;
        sinceState_.start();
        Send(topics_.state, Compact(published_));
    }

    const QJsonObject view = ViewObject(state_);
    if (view != view_) {
        const bool plant = view_.isEmpty() || WithoutCounters(view) != WithoutCounters(view_);
        if (Ready(sinceView_, plant ? kPlantSpacingMs : kCountersSpacingMs, wait)) {
            view_ = view;
            sinceView_.start();
            Send(topics_.view, Compact(view));
        }
    }

    const Pressures pressures = CurrentPressures(state_, quality);
    for (std::size_t g = 0; g < pressures.size(); ++g) {
        if (gaugeSent_[g] && pressures[g] == gauges_[g]) continue;
        if (!Ready(sinceGauge_[g], kGaugeSpacingMs, wait)) continue;
        gauges_[g] = pressures[g];
        gaugeSent_[g] = true;
        sinceGauge_[g].start();
        Send(topics_.gauges[g], GaugeJson(pressures[g]));
    }

    const QJsonObject stats = StatsObject(state_);
    if (stats != stats_ && Ready(sinceStats_, kStatsSpacingMs, wait)) {
        stats_ = stats;
        sinceStats_.start();
        Send(topics_.stats, Compact(stats));
    }

    if (wait != INT_MAX && (!timer_.isActive() || timer_.remainingTime() > wait))
        timer_.start(wait);
}

void Publisher::Heard(const QByteArray& topic, const QByteArray& payload) {
    if (topic.toStdString() != topics_.meta) return;
    const QString run = QJsonDocument::fromJson(payload).object().value("run").toString();
    if (run == run_) {
        ownMetaSeen_ = true;
        return;
    }
    // Before our own meta came back, another run's is the one we replace: a previous run.
    if (!ownMetaSeen_ || run.isEmpty() || !others_.insert(run).second) return;
    emit AnotherGateway(run);
    // Ours again, so that the other gateway learns of us as well.
    Send(topics_.meta, meta_);
}

void Publisher::PublishEvent(state::List list, std::string_view raw) {
    const auto& entries = state_.Entries(list);
    const std::string_view entry = entries.empty() ? std::string_view{} : entries.front();
    client_.Publish(topics_.events,
                    EventJson(QDateTime::currentDateTimeUtc(), ++seq_, list, entry, raw), 1, false);
}

void Publisher::PublishPressures() {
    client_.Publish(topics_.pressure,
                    PressureJson(QDateTime::currentDateTimeUtc(),
                                 CurrentPressures(state_, state::QualityOf(state_))),
                    1, false);
}

std::vector<MqttClient::Message> Publisher::Farewell() const {
    std::vector<MqttClient::Message> last;
    last.push_back(
        {topics_.state,
         Compact(StateObject(state_, state::Quality::Offline, state_.Plant().reportUtcMs)), 1,
         true});
    for (const std::string& gauge : topics_.gauges) last.push_back({gauge, "null", 1, true});
    last.push_back({topics_.online, kOffline, 1, true});
    return last;
}

void Publisher::Stop() {
    timer_.stop();
    client_.Stop(Farewell());
}

}  // namespace vp::publish
