// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace vp::app {

// The gateway's health as the service manager hears it (sd_notify): ready once its port has had
// its first try and the broker's client runs, a watchdog ping from the event loop itself (so a
// hung loop is restarted), the link's and the broker's state as its status, and stopping on the
// way out. Without NOTIFY_SOCKET in the environment every call does nothing.
class ServiceNotify : public QObject {
    Q_OBJECT
public:
    explicit ServiceNotify(QObject* parent = nullptr);

    void Ready();
    void Stopping();
    // The last word on each side; the manager shows "link connected: ...; broker connected: ..."
    // as the status.
    void SetLink(const QString& text);
    void SetBroker(const QString& text);

    void tmrWatchdog_Timer();
    // Half the manager's WatchdogSec, running only when the manager asks for pings.
    QTimer* tmrWatchdog;

private:
    void SendStatus();

    QString link_;
    QString broker_;
    QString sent_;
};

}  // namespace vp::app
