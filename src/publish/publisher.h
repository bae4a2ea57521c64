#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <array>
#include <string>
#include <string_view>

#include "state/panel_state.h"

namespace vp::publish {

class MqttClient;

// The topics under a plant's prefix.
struct Topics {
    explicit Topics(const QString& prefix);
    std::string online;    // "true"/"false", retained; the client's will says "false"
    std::string state;     // the whole plant, retained
    std::string events;    // list entries as they arrive, QoS 1, not retained
    std::string pressure;  // the four pressures at the log tick
};

// Carries the panel's state onto the broker, read-only: it reads the state and writes topics,
// and holds nothing that could reach the serial line.
//
// The retained state goes out when the plant changed, at most ten times a second: the status
// poll's own rate, so a change reaches subscribers with the report that brought it, and a flood
// of reports faster than any poll is not passed on. A change of the counters or the uptime alone
// goes out at most once a second, since those move at every poll. Nothing goes out when nothing
// changed.
class Publisher : public QObject {
    Q_OBJECT
public:
    static constexpr int kPlantSpacingMs = 100;
    static constexpr int kCountersSpacingMs = 1000;
    static constexpr int kGatherMs = 10;  // a poll, its answer and the lamps make one look

    Publisher(MqttClient& client, state::PanelState& state, const QString& prefix,
              QObject* parent = nullptr);

    // An entry that went into one of the three lists, with the message that put it there.
    void PublishEvent(state::List list, std::string_view raw);
    void PublishPressures(const std::array<std::string, 4>& pressures);
    // Says online=false and leaves the broker cleanly.
    void Stop();

    // The last state object published, and how many went out; empty and 0 before the first.
    const QJsonObject& Published() const { return published_; }
    int PublishedCount() const { return publishedCount_; }
    const QTimer& timer() const { return timer_; }
    void Check();  // the gathering timer's handler

    static const QByteArray kOnline;
    static const QByteArray kOffline;

private:
    void StateChanged();
    void Send(const QJsonObject& object);

    MqttClient& client_;
    state::PanelState& state_;
    Topics topics_;
    QTimer timer_;
    QJsonObject published_;
    int publishedCount_ = 0;
    QElapsedTimer sincePlant_;    // since the plant's last change went out
    QElapsedTimer sincePublish_;  // since anything went out
};

}  // namespace vp::publish
