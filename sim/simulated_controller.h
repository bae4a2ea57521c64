#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <random>

#include "sim/faults.h"
#include "sim/plant.h"

namespace vp::sim {

class PtyBridge;

// The vacuum controller at the far end of a pseudo-terminal: it answers the panel's frames
// from a plant model that moves in real time, and misbehaves on request (see faults.h).
class SimulatedController : public QObject {
    Q_OBJECT
public:
    explicit SimulatedController(QObject* parent = nullptr);
    ~SimulatedController() override;

    bool Start(QString* error = nullptr);  // opens the pty, starts the plant clock
    void Stop();                           // closes master and slave: the device vanishes for the panel
    QString DevicePath() const;            // slave path, e.g. /dev/pts/5
    bool MakeLink(const QString& linkPath, QString* error = nullptr);  // symlink to the device (replaced if it exists)
    bool InjectFault(const QString& spec, QString* error = nullptr);
    Plant& plant();  // for tests: read/advance the model
    int FramesReceived() const;
    int BadFramesReceived() const;
    int StatusReportsSent() const;
    QList<QByteArray> ReceivedBodies() const;  // bodies (without checksum/CR) in order; bounded (keep last 1000)

signals:
    void BodyReceived(const QByteArray& body);

private:
    void OnBytes(const QByteArray& bytes);
    void HandleFrame(const QByteArray& frame);
    void SyncClock();
    QByteArray Noise();
    void RemoveLink();

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
};

}  // namespace vp::sim
