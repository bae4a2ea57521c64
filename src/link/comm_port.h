// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <optional>

class QSocketNotifier;

namespace vp::link {

// Port number -> device path, from the command line (--port N=DEVICE).
using PortNames = QMap<int, QString>;

// Device of port n when no mapping names one: COMn on Windows, /dev/ttyS(n-1) elsewhere.
QString DefaultDeviceName(int port);

// Settings text "speed,parity,data,stop" checked when the port opens.
struct LineSettings {
    qint32 baudRate = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};
std::optional<LineSettings> ParseSettings(const QString& text);

// What Input gives back: the waiting bytes, or the error number of a failed read.
struct PortRead {
    QByteArray text;
    int error = 0;
};

// The serial port as the panel uses it: a property set over QSerialPort. Settings are free
// text while the port is closed and checked only when it opens; failures come back as the
// error numbers of port_errors.h, never as exceptions.
class MSComm : public QObject {
    Q_OBJECT
public:
    static constexpr int comEvReceive = 2;
    // Shortest gap between two receive events: one frame of a 60 Hz screen.
    static constexpr qint64 kReceiveGapMs = 16;

    explicit MSComm(PortNames names = {}, QObject* parent = nullptr);
    ~MSComm() override;

    std::int16_t CommPort() const { return commPort_; }
    void SetCommPort(std::int16_t port) { commPort_ = port; }

    const QString& Settings() const { return settings_; }
    void SetSettings(const QString& settings) { settings_ = settings; }

    bool PortOpen() const { return port_.isOpen(); }
    // Opening returns the error number of a failure (0 on success); closing cannot fail.
    int SetPortOpen(bool open);

    // Writes the whole text; 0 when the line took it, an error number when not. A text the line
    // cannot take now (the far end has stopped reading) is refused whole: nothing of it goes out
    // later, and the port stays open.
    int Output(const QByteArray& text);
    PortRead Input();
    int CommEvent() const { return commEvent_; }

    QString DeviceName() const;

signals:
    void OnComm();

private:
    void OnReadyRead();
    void DeliverReceive();
    void OnError(QSerialPort::SerialPortError error);
    int PermissionFailure(const QString& device) const;
    qint64 WriteNow(const QByteArray& bytes);
    bool FlushTail();
    void DropTail();

    PortNames names_;
    std::int16_t commPort_ = 1;
    QString settings_;
    int commEvent_ = 0;
    int pendingError_ = 0;
    QTimer receiveHold_;         // a receive event waiting for kReceiveGapMs to pass
    QElapsedTimer lastReceive_;  // when the last receive event went out
    // The end of a text the line took only in part: it goes out before anything else, as soon
    // as the line has room, so texts never interleave.
    QByteArray tail_;
    QSocketNotifier* tailWritable_ = nullptr;
    QSerialPort port_;
};

}  // namespace vp::link
