// SPDX-License-Identifier: MIT
#include "app/service_notify.h"

#include <systemd/sd-daemon.h>

#include <algorithm>
#include <chrono>

namespace vp::app {

namespace {
void Notify(const QString& state) {
    // Nothing to do outside a service; a manager that went away is no reason to stop the gateway.
    sd_notify(0, state.toUtf8().constData());
}
}  // namespace

ServiceNotify::ServiceNotify(QObject* parent) : QObject(parent), tmrWatchdog(new QTimer(this)) {
    tmrWatchdog->setObjectName(QStringLiteral("tmrWatchdog"));
    connect(tmrWatchdog, &QTimer::timeout, this, &ServiceNotify::tmrWatchdog_Timer);
    uint64_t usec = 0;
    // Twice per period, so one late tick on a loaded machine is not yet a restart.
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        const auto half = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::microseconds(usec / 2));
        tmrWatchdog->setInterval(std::max<std::chrono::milliseconds::rep>(half.count(), 1));
        tmrWatchdog->start();
    }
}

void ServiceNotify::Ready() {
    Notify(QStringLiteral("READY=1"));
    tmrWatchdog_Timer();
}

void ServiceNotify::Stopping() {
    tmrWatchdog->stop();
    Notify(QStringLiteral("STOPPING=1\nSTATUS=stopping"));
}

void ServiceNotify::SetLink(const QString& text) {
    link_ = text;
    SendStatus();
}

void ServiceNotify::SetBroker(const QString& text) {
    broker_ = text;
    SendStatus();
}

void ServiceNotify::tmrWatchdog_Timer() {
    if (tmrWatchdog->isActive()) Notify(QStringLiteral("WATCHDOG=1"));
}

void ServiceNotify::SendStatus() {
    // The link's lines name it themselves ("link connected: ...", "Port 3 open failed").
    QString status = link_.isEmpty() ? QStringLiteral("link not tried yet") : link_;
    if (!broker_.isEmpty()) status += QStringLiteral("; broker ") + broker_;
    if (status == sent_) return;
    sent_ = status;
    Notify(QStringLiteral("STATUS=") + status);
}

}  // namespace vp::app
