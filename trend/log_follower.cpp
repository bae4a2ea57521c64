// SPDX-License-Identifier: MIT
#include "trend/log_follower.h"

#include <QDir>
#include <QFileInfo>
#include <utility>

namespace vp::trend {

LogFollower::LogFollower(QObject* parent) : QObject(parent) {
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &LogFollower::Notice);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &LogFollower::Notice);
    tmrPoll_.setInterval(kPollMsecs);
    connect(&tmrPoll_, &QTimer::timeout, this, &LogFollower::tmrPoll_Timer);
    tmrPoll_.start();
}

void LogFollower::Watch(const QStringList& paths) {
    if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
    seen_.clear();
    for (const QString& path : paths) {
        if (QFileInfo::exists(path)) watcher_.addPath(path);
        seen_.insert(path, Look(path));
    }
}

void LogFollower::tmrPoll_Timer() {
    bool moved = false;
    for (auto it = seen_.begin(); it != seen_.end(); ++it) {
        Seen now = Look(it.key());
        if (now != it.value()) {
            it.value() = std::move(now);
            moved = true;
        }
    }
    if (moved) emit changed();
}

LogFollower::Seen LogFollower::Look(const QString& path) {
    const QFileInfo info(path);
    Seen seen;
    if (!info.exists()) return seen;
    seen.modified = info.lastModified();
    if (info.isDir()) {
        seen.entries = QDir(path).entryList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name);
    } else {
        seen.size = info.size();
    }
    return seen;
}

void LogFollower::Notice() {
    // Whoever listens calls Watch() again after reading, which takes in the new state.
    emit changed();
}

}  // namespace vp::trend
