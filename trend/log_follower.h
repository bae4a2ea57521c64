// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace vp::trend {

// Tells when the watched logs or their folders change, so the viewer reads them again. The file
// system's notices come at once; the poll catches what they miss (network shares, a file that
// was replaced rather than appended to).
class LogFollower : public QObject {
    Q_OBJECT

public:
    static constexpr int kPollMsecs = 5000;

    explicit LogFollower(QObject* parent = nullptr);

    // Replaces what is watched; the present state counts as seen.
    void Watch(const QStringList& paths);

    bool IsWatching() const { return !seen_.isEmpty(); }

    // The poll timer's handler: emits changed() when a size, time or folder listing moved.
    void tmrPoll_Timer();

signals:
    void changed();

private:
    struct Seen {
        qint64 size = -1;
        QDateTime modified;
        QStringList entries;  // folders only
        bool operator==(const Seen&) const = default;
    };
    static Seen Look(const QString& path);
    void Notice();

    QFileSystemWatcher watcher_;
    QTimer tmrPoll_;
    QHash<QString, Seen> seen_;
};

}  // namespace vp::trend
