#include "app/headless.h"

#include <cstdio>

#include "app/panel.h"

namespace vp::app {

Headless::Headless(Panel& panel) : tmrReconnect(new QTimer(this)), panel_(panel) {
    tmrReconnect->setObjectName(QStringLiteral("tmrReconnect"));
    tmrReconnect->setInterval(kRetryMs);
    connect(tmrReconnect, &QTimer::timeout, this, &Headless::tmrReconnect_Timer);
    connect(&panel.link(), &link::Link::StatusText, this, &Headless::Say);
    connect(&panel.link(), &link::Link::ConnectionShown, this, &Headless::Watch);
    connect(&panel.link(), &link::Link::ReportsStale, this, [this] {
        if (stale_) return;
        stale_ = true;
        Say(QStringLiteral("link stale: no status report for 3 s"));
    });
}

void Headless::Start(int port) {
    panel_.link().MSComm1().SetCommPort(static_cast<std::int16_t>(port));
    panel_.link().MSComm1().SetSettings(QStringLiteral("115200,n,8,1"));
    tmrReconnect_Timer();
    tmrReconnect->start();
}

void Headless::tmrReconnect_Timer() {
    if (!panel_.link().PortOpen()) panel_.link().Connect();
}

void Headless::Say(const QString& line) {
    // A port that stays away gives the same text at every try: once is enough.
    if (line == said_) return;
    said_ = line;
    std::fprintf(stderr, "vacuum-panel: %s\n", qPrintable(line));
}

void Headless::Watch(bool open) {
    if (open_ != open) {
        open_ = open;
        Say(open ? "link connected: " + panel_.link().ComText() : QStringLiteral("link closed"));
    }
    if (stale_ && !panel_.state().Link.stale) {
        stale_ = false;
        Say(QStringLiteral("link live"));
    }
}

}  // namespace vp::app
