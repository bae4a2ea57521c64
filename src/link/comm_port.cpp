#include "link/comm_port.h"

#include "link/port_errors.h"

namespace vp::link {

QString DefaultDeviceName(int port) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

std::optional<LineSettings> ParseSettings(const QString& text) {
    const QStringList parts = text.split(',');
    if (parts.size() != 4) return std::nullopt;
    LineSettings s;
    bool ok = false;
    s.baudRate = parts[0].trimmed().toInt(&ok);
    if (!ok || s.baudRate <= 0) return std::nullopt;
    const QString parity = parts[1].trimmed().toLower();
    if (parity == "n")
        s.parity = QSerialPort::NoParity;
    else if (parity == "e")
        s.parity = QSerialPort::EvenParity;
    else if (parity == "o")
        s.parity = QSerialPort::OddParity;
    else if (parity == "m")
        s.parity = QSerialPort::MarkParity;
    else if (parity == "s")
        s.parity = QSerialPort::SpaceParity;
    else
        return std::nullopt;
    const int data = parts[2].trimmed().toInt(&ok);
    if (!ok || data < 5 || data > 8) return std::nullopt;
    s.dataBits = static_cast<QSerialPort::DataBits>(data);
    const QString stop = parts[3].trimmed();
    if (stop == "1")
        s.stopBits = QSerialPort::OneStop;
    else if (stop == "2")
        s.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;
    return s;
}

MSComm::MSComm(PortNames names, QObject* parent) : QObject(parent), names_(std::move(names)) {
    receiveHold_.setSingleShot(true);
    receiveHold_.setTimerType(Qt::PreciseTimer);
    connect(&receiveHold_, &QTimer::timeout, this, &MSComm::DeliverReceive);
    connect(&port_, &QSerialPort::readyRead, this, &MSComm::OnReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &MSComm::OnError);
}

QString MSComm::DeviceName() const {
    return names_.contains(commPort_) ? names_.value(commPort_) : DefaultDeviceName(commPort_);
}

int MSComm::SetPortOpen(bool open) {
    if (!open) {
        receiveHold_.stop();
        if (port_.isOpen()) port_.close();
        return kNoError;
    }
    if (port_.isOpen()) return kPortInUse;
    const auto settings = ParseSettings(settings_);
    if (!settings) return kInvalidSettings;
    pendingError_ = kNoError;
    port_.setPortName(DeviceName());
    port_.setBaudRate(settings->baudRate);
    port_.setParity(settings->parity);
    port_.setDataBits(settings->dataBits);
    port_.setStopBits(settings->stopBits);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (port_.open(QIODevice::ReadWrite)) {
        port_.clearError();
        return kNoError;
    }
    const auto error = port_.error();
    port_.clearError();
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return kNoSuchPort;
        case QSerialPort::PermissionError:
            // Qt reports a port held by another program (its lock file) as a permission error.
            return kPortInUse;
        default:
            return kCannotOpen;
    }
}

int MSComm::Output(const QByteArray& text) {
    if (!port_.isOpen()) return kCannotOpen;
    if (port_.write(text) != text.size()) return kWriteFailed;
    // Hand the frame to the line now rather than on the next turn of the event loop, and learn
    // at once when the line did not take it.
    port_.flush();
    if (!port_.isOpen()) return kWriteFailed;
    const auto error = port_.error();
    if (error == QSerialPort::WriteError || error == QSerialPort::ResourceError)
        return kWriteFailed;
    return kNoError;
}

PortRead MSComm::Input() {
    PortRead read;
    read.error = pendingError_;
    pendingError_ = kNoError;
    if (port_.isOpen()) read.text = port_.readAll();
    return read;
}

void MSComm::OnReadyRead() {
    // A controller pushing reports at full line rate wakes the port every few milliseconds, and
    // every receive event redraws the window. One event per screen frame at most carries the
    // same text in fewer, larger arrivals; after a quiet spell the event goes out at once.
    if (receiveHold_.isActive()) return;
    const qint64 since = lastReceive_.isValid() ? lastReceive_.elapsed() : kReceiveGapMs;
    if (since < kReceiveGapMs) {
        receiveHold_.start(static_cast<int>(kReceiveGapMs - since));
        return;
    }
    DeliverReceive();
}

void MSComm::DeliverReceive() {
    if (!port_.isOpen()) return;
    lastReceive_.start();
    commEvent_ = comEvReceive;
    emit OnComm();
}

void MSComm::OnError(QSerialPort::SerialPortError error) {
    // A vanished device (USB adapter pulled, the other end of a pty closed) makes Qt report
    // read errors in a tight loop while the port still counts as open. Close it once and let
    // the receive handler tell the operator; modem-line errors on a pty are not fatal.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) return;
    if (!port_.isOpen()) return;
    port_.clearError();
    port_.close();
    receiveHold_.stop();
    pendingError_ = kReadError;
    commEvent_ = comEvReceive;
    emit OnComm();
}

}  // namespace vp::link
