// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include "state/panel_state.h"
#include "state/quality.h"

namespace vp::publish {

class MqttClient;

// Feeds a view's state from a plant's topics on the broker: the picture from `view`, how good it
// is from `state`. The picture greys, as the panel's own watchdog greys it, when the plant goes
// offline, its quality is anything but good, or nothing arrives for the watchdog's period; it
// comes back with the next good state and view.
class RemoteFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int kWatchdogMs = 3000;  // the panel's watchdog period

    RemoteFeed(MqttClient& client, state::PanelState& state, const QString& prefix,
               QObject* parent = nullptr);

    void Take(const QByteArray& topic, const QByteArray& payload);
    void Watchdog_Timer();
    QTimer* Watchdog;

    state::Quality quality() const { return quality_; }

signals:
    // A payload that was not taken, and why: one line for the operator's log.
    void Refused(const QString& reason);

private:
    bool Live() const { return online_ && quality_ == state::Quality::Good; }
    void TakeView(const QByteArray& payload);
    void TakeState(const QByteArray& payload);
    void Fresh();  // the picture is current: not stale, and watched again

    state::PanelState& state_;
    QByteArray viewTopic_;
    QByteArray stateTopic_;
    QByteArray onlineTopic_;
    QByteArray lastView_;  // applied again when the plant's quality comes back
    bool online_ = true;   // until the plant says otherwise
    state::Quality quality_ = state::Quality::Starting;
};

}  // namespace vp::publish
