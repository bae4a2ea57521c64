// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace vp::app {

// A line that may come in floods (a broker full of bad payloads): the first is said at once, the
// rest counted and summed up at most once a minute with the last of them.
class RateLimitedLine : public QObject {
    Q_OBJECT
public:
    static constexpr int kSpacingMs = 60 * 1000;

    explicit RateLimitedLine(std::function<void(const QString&)> say, QObject* parent = nullptr);

    void Say(const QString& line);
    void Timer_Timer();  // the minute's summing up
    QTimer* Timer;

private:
    std::function<void(const QString&)> say_;
    int held_ = 0;
    QString last_;
};

}  // namespace vp::app
