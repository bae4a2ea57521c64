// SPDX-License-Identifier: MIT
#include "app/rate_limited_line.h"

namespace vp::app {

RateLimitedLine::RateLimitedLine(std::function<void(const QString&)> say, QObject* parent)
    : QObject(parent), Timer(new QTimer(this)), say_(std::move(say)) {
    Timer->setSingleShot(true);
    Timer->setInterval(kSpacingMs);
    connect(Timer, &QTimer::timeout, this, &RateLimitedLine::Timer_Timer);
}

void RateLimitedLine::Say(const QString& line) {
    if (Timer->isActive()) {
        ++held_;
        last_ = line;
        return;
    }
    say_(line);
    Timer->start();
}

void RateLimitedLine::Timer_Timer() {
    if (held_ == 0) return;  // quiet for a minute: the next line is said at once
    say_(QStringLiteral("%1 more in the last minute, the last: %2").arg(held_).arg(last_));
    held_ = 0;
    Timer->start();
}

}  // namespace vp::app
