// SPDX-License-Identifier: MIT
#include "app/headless.h"

#include "app/panel.h"
#include "link/port_defaults.h"

namespace vp::app {

Headless::Headless(Panel& panel) : tmrReconnect(new QTimer(this)), panel_(panel) {
    tmrReconnect->setObjectName(QStringLiteral("tmrReconnect"));
    tmrReconnect->setInterval(kRetryMs);
    connect(tmrReconnect, &QTimer::timeout, this, &Headless::tmrReconnect_Timer);
    connect(&panel.link(), &link::Link::StatusText, this, &Headless::SayPort);
    connect(&panel.link(), &link::Link::ConnectionShown, this, &Headless::Watch);
    connect(&panel.link(), &link::Link::ReportsStale, this, [this] {
        if (stale_) return;
        stale_ = true;
        Say(Severity::Warning, QStringLiteral("link stale: no status report for 3 s"));
    });
    connect(&panel, &Panel::PressureLogFailed, this, &Headless::LogFailed);
    connect(&panel, &Panel::PressuresLogged, this, &Headless::LogTicked);
}

void Headless::Start(int port) {
    panel_.link().MSComm1().SetCommPort(static_cast<std::int16_t>(port));
    panel_.link().MSComm1().SetSettings(link::StartSettings());
    tmrReconnect_Timer();
    tmrReconnect->start();
}

void Headless::tmrReconnect_Timer() {
    if (!panel_.link().PortOpen()) panel_.link().Connect();
}

void Headless::Say(Severity severity, const QString& line) {
    LogLine(severity, line);
    emit LinkSaid(line);
}

void Headless::SayPort(const QString& line) {
    // A port that stays away gives the same text at every try, between the link's own lines:
    // once is enough.
    if (line == portSaid_) return;
    portSaid_ = line;
    // The port's own texts: its opening and closing are news, anything else a failure.
    const bool news = line.endsWith(QLatin1String(" open successfully")) ||
                      line.endsWith(QLatin1String(" closed"));
    Say(news ? Severity::Info : Severity::Error, line);
}

void Headless::Watch(bool open) {
    if (open_ != open) {
        open_ = open;
        if (open) {
            // A failure after this connection is news again.
            portSaid_.clear();
            ForgetRepeatedMessage();
            Say(Severity::Info, "link connected: " + panel_.link().ComText());
        } else {
            Say(Severity::Warning, QStringLiteral("link closed"));
        }
    }
    if (stale_ && !panel_.state().Link().stale) {
        stale_ = false;
        Say(Severity::Info, QStringLiteral("link live"));
    }
}

// A folder the gateway may not write fails every minute the same way: said once, and once more
// when the log writes again, not sixty times an hour.
void Headless::LogFailed(const QString& notice) {
    logFailed_ = true;
    if (notice == logNotice_) return;
    logNotice_ = notice;
    LogLine(Severity::Error, notice);
}

void Headless::LogTicked() {
    if (!logFailed_ && !logNotice_.isEmpty()) {
        logNotice_.clear();
        LogLine(Severity::Info, QStringLiteral("pressure log written again"));
    }
    logFailed_ = false;
}

}  // namespace vp::app
