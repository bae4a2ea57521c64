// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>
#include <random>
#include <vector>

#include "sim/faults.h"
#include "sim/plant.h"
#include "sim/replay.h"

namespace vp::sim {

class PtyBridge;

// The vacuum controller at the far end of a pseudo-terminal: it answers the panel's frames
// from a plant model that moves in real time, and misbehaves on request (see faults.h).
class SimulatedController : public QObject {
    Q_OBJECT
public:
    explicit SimulatedController(QObject* parent = nullptr);
    ~SimulatedController() override;

    // Opens the pty and starts the plant clock; after Stop() it opens a new pty and re-points
    // the link made before.
    Result<> Start();
    // Closes master and slave and removes our link: the device vanishes for the panel.
    void Stop();
    // The slave path, e.g. /dev/pts/5; empty while stopped.
    QString DevicePath() const;
    // A symlink to the device at linkPath. Only a symbolic link to a pseudo-terminal is replaced
    // (ours from before, or one a stopped run left behind); anything else there is refused and
    // left as it is.
    Result<> MakeLink(const QString& linkPath);
    // Faults by name; faults.h lists them.
    Result<> InjectFault(const QString& request);
    // Plays a recorded session instead of the plant: from the first frame the panel sends, the
    // recorded controller messages go out at their recorded pace (or all at once when fast);
    // the panel's frames are still read and counted, but the plant no longer answers them.
    // A pause longer than maxGapMs (two sessions appended to one record, a plant switched off
    // overnight) is cut to maxGapMs; returns how many were.
    static constexpr qint64 kMaxReplayGapMs = 10'000;
    int Replay(QList<ReplayMessage> messages, bool fast, qint64 maxGapMs = kMaxReplayGapMs);
    int ReplayedMessages() const { return replayed_; }
    // For tests: read or advance the model.
    Plant& plant();
    int FramesReceived() const;
    int BadFramesReceived() const;  // wrong or missing checksum, or an overlong line
    int StatusReportsSent() const;  // replies, floods and pushed reports alike
    int PushedReports() const { return pushed_; }
    // Bytes the panel did not read in time and the pty queue had no room for.
    qint64 DroppedBytes() const;
    // Bodies of the frames received (without checksum and CR), in order; the last 1000.
    QList<QByteArray> ReceivedBodies() const;

signals:
    void BodyReceived(const QByteArray& body);

private:
    void OnBytes(const QByteArray& bytes);
    void HandleFrame(const QByteArray& frame);
    void SyncClock();
    QByteArray Noise();
    void RemoveLink();
    void PlayDue();
    void UpdatePush();
    void PushDue();

    PtyBridge* bridge_;
    Plant plant_;
    Faults faults_;
    QElapsedTimer clock_;
    qint64 synced_ms_ = 0;
    QByteArray rx_;
    int frames_received_ = 0;
    int bad_frames_ = 0;
    int status_reports_sent_ = 0;
    QList<QByteArray> bodies_;
    QString link_path_;
    std::minstd_rand noise_rng_{7};
    std::optional<QList<ReplayMessage>> replay_;
    std::vector<qint64> replayDue_;  // ms after the panel's first frame, per message
    bool replayFast_ = false;
    QElapsedTimer replayClock_;
    int replayed_ = 0;
    QTimer* push_timer_;
    QElapsedTimer push_clock_;
    int push_rate_ = 0;
    qint64 push_sent_ = 0;  // reports pushed since the last change of rate
    int pushed_ = 0;
};

}  // namespace vp::sim
