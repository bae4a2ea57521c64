#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <string>

#include "state/panel_state.h"

namespace vp::publish {

class MqttClient;

// Feeds a view's state from a plant's topics on the broker. The picture greys, as the panel's
// own watchdog greys it, when the plant goes offline or no state arrives for the watchdog's
// period; the next state brings it back.
class RemoteFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int kWatchdogMs = 3000;  // the panel's watchdog period

    RemoteFeed(MqttClient& client, state::PanelState& state, const QString& prefix,
               QObject* parent = nullptr);

    void Take(const QByteArray& topic, const QByteArray& payload);
    void Watchdog_Timer();
    QTimer* Watchdog;

signals:
    // A payload that was not taken, and why: one line for the operator's log.
    void Refused(const QString& reason);

private:
    state::PanelState& state_;
    QByteArray stateTopic_;
    QByteArray onlineTopic_;
    bool online_ = true;  // until the plant says otherwise
};

}  // namespace vp::publish
