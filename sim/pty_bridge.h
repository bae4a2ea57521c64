// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>

#include "base/result.h"

class QSocketNotifier;

namespace vp::sim {

// The controller's end of a pseudo-terminal. The panel opens the slave side as its serial port.
//
// We hold the slave open ourselves, in raw mode, for as long as the bridge is open: otherwise
// bytes written before the panel opens are echoed back and CR becomes LF, and once the panel
// closes the port the master reports EIO/hang-up on every poll and a notifier spins.
class PtyBridge : public QObject {
    Q_OBJECT
public:
    explicit PtyBridge(QObject* parent = nullptr);
    ~PtyBridge() override;

    Result<> Open();
    // Closes both sides: the device vanishes and the panel's port sees a hang-up.
    void Close();
    bool IsOpen() const { return master_ >= 0; }
    QString SlavePath() const { return slave_path_; }

    // Queues bytes for the panel. With `pause_after`, the event loop gets a turn before anything
    // queued later is written. Bytes beyond the queue limit are dropped and counted.
    void Write(const QByteArray& bytes, bool pause_after = false);
    qint64 DroppedBytes() const { return dropped_bytes_; }

signals:
    void BytesRead(const QByteArray& bytes);

private:
    struct Chunk {
        QByteArray data;
        qsizetype offset = 0;
        bool pause_after = false;
    };

    void OnReadable();
    void Flush();

    int master_ = -1;
    int slave_ = -1;
    QString slave_path_;
    QSocketNotifier* read_notifier_ = nullptr;
    QSocketNotifier* write_notifier_ = nullptr;
    QTimer pause_timer_;
    QTimer read_retry_timer_;
    std::deque<Chunk> queue_;
    qsizetype queued_bytes_ = 0;
    qint64 dropped_bytes_ = 0;
};

}  // namespace vp::sim
