// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "publish/mqtt_client.h"
#include "publish/payloads.h"
#include "state/panel_state.h"
#include "state/quality.h"

namespace vp::publish {

// The topics under a plant's prefix.
struct Topics {
    explicit Topics(const QString& prefix);
    std::string online;                 // "true"/"false", retained; the client's will says "false"
    std::string state;                  // the plant's meaning, time and quality, retained
    std::string stats;                  // uptime and counters, retained
    std::string view;                   // what a remote view shows, retained
    std::string meta;                   // how to read the tree, retained
    std::string events;                 // list entries as they arrive, QoS 1, not retained
    std::string pressure;               // the four pressures at the log tick
    std::array<std::string, 4> gauges;  // gauge/TG1 ...: one pressure each, retained
};

// Carries the panel's state onto the broker, read-only: it reads the state and writes topics,
// and holds nothing that could reach the serial line.
//
// Each retained topic goes out only when its payload changed, at its own pace: `state` and `view`
// at most ten times a second, the status poll's rate, so a change reaches subscribers with the
// report that brought it and a flood faster than any poll is not passed on; a state whose
// pressures alone moved at most once a second, a view whose counters or uptime alone moved at
// most every 1.5 s; each gauge at most once a second; `stats` at most once a minute. The client
// sends each retained topic's newest value again after a reconnect.
class Publisher : public QObject {
    Q_OBJECT
public:
    static constexpr int kPlantSpacingMs = 100;
    // A view's counters and uptime alone: half the view's bytes of once a second, and still well
    // inside a remote view's 3 s watchdog.
    static constexpr int kCountersSpacingMs = 1500;
    static constexpr int kGaugeSpacingMs = 1000;
    static constexpr int kStatsSpacingMs = 60000;
    static constexpr int kGatherMs = 10;  // a poll, its answer and the lamps make one look

    Publisher(MqttClient& client, state::PanelState& state, const QString& prefix,
              const QString& version = {}, QObject* parent = nullptr);

    // The client takes messages from now on (it drops them before it is started): the first look
    // at the plant, and every change from then on.
    void Begin();

    // An entry that went into one of the three lists, with the message that put it there.
    void PublishEvent(state::List list, std::string_view raw);
    // The log tick: the pressures as far as they are current.
    void PublishPressures();
    // The truth left behind by a clean exit: the plant offline, no current pressure, online=false.
    std::vector<MqttClient::Message> Farewell() const;
    // Says the farewell and leaves the broker cleanly.
    void Stop();

    // The last state object published, and how many went out; empty and 0 before the first.
    const QJsonObject& Published() const { return published_; }
    int PublishedCount() const { return publishedCount_; }
    const QTimer& timer() const { return timer_; }
    const Topics& topics() const { return topics_; }
    // What went out on a retained topic last, and how many times; for tests and figures.
    QByteArray LastSent(const std::string& topic) const;
    int SentCount(const std::string& topic) const;
    const QString& run() const { return run_; }
    bool HeardItself() const { return ownMetaSeen_; }  // our own meta came back from the broker
    void Check();                                      // the gathering timer's handler

    static const QByteArray kOnline;
    static const QByteArray kOffline;

signals:
    // Another gateway publishes under the same prefix: its run's id, said once per run.
    void AnotherGateway(const QString& run);

private:
    void StateChanged();
    void Heard(const QByteArray& topic, const QByteArray& payload);
    // True when a topic last sent `since` may go again after `spacingMs`; else lowers `wait`.
    static bool Ready(const QElapsedTimer& since, int spacingMs, int& wait);
    void Send(const std::string& topic, const QByteArray& payload);

    MqttClient& client_;
    state::PanelState& state_;
    Topics topics_;
    QString run_;
    QByteArray meta_;
    QTimer timer_;

    QJsonObject meaning_;  // the state as last sent, without its time
    QJsonObject published_;
    std::int64_t time_ = 0;  // the time the last state said
    int publishedCount_ = 0;
    QJsonObject view_;
    QJsonObject stats_;
    std::array<std::optional<double>, 4> gauges_{};
    std::array<bool, 4> gaugeSent_{};
    QElapsedTimer sinceState_, sinceView_, sinceStats_;
    std::array<QElapsedTimer, 4> sinceGauge_;
    std::int64_t seq_ = 0;
    bool begun_ = false;
    bool ownMetaSeen_ = false;
    std::set<QString> others_;
    std::map<std::string, std::pair<QByteArray, int>> sent_;
};

}  // namespace vp::publish
