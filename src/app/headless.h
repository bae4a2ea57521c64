// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

#include "app/log_line.h"

namespace vp::app {

class Panel;

// The panel without a window, for the rack PC beside the controller: it opens its port at once
// as if Connect were pressed, and again every 5 s while the line is lost. Standard error gets
// one line per change of the link's state, and one when the pressure log fails and recovers.
class Headless : public QObject {
    Q_OBJECT
public:
    static constexpr int kRetryMs = 5000;

    explicit Headless(Panel& panel);
    // The port given, at the speed and parity the window chooses at start.
    void Start(int port);
    void tmrReconnect_Timer();
    QTimer* tmrReconnect;

signals:
    // The link's latest line, for the service manager's status.
    void LinkSaid(const QString& line);

private:
    void Say(Severity severity, const QString& line);
    void SayPort(const QString& line);
    void Watch(bool open);
    void LogFailed(const QString& notice);
    void LogTicked();

    Panel& panel_;
    QString portSaid_;
    std::optional<bool> open_;
    bool stale_ = false;
    QString logNotice_;  // the pressure log's failure last said, empty while it writes
    bool logFailed_ = false;
};

}  // namespace vp::app
