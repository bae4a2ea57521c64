// SPDX-License-Identifier: MIT
#include "link/comm_port.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include "link/port_errors.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

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

// The notifier watches the port's descriptor, so it goes before the port closes it.
MSComm::~MSComm() {
    DropTail();
}

QString MSComm::DeviceName() const {
    return names_.contains(commPort_) ? names_.value(commPort_) : DefaultDeviceName(commPort_);
}

int MSComm::SetPortOpen(bool open) {
    if (!open) {
        receiveHold_.stop();
        DropTail();
        if (port_.isOpen()) port_.close();
        return kNoError;
    }
    if (port_.isOpen()) return kPortInUse;
    const auto settings = ParseSettings(settings_);
    if (!settings) return kInvalidSettings;
    pendingError_ = kNoError;
    // Qt's lock file is named after the path it is given: a panel reaching the device through a
    // symbolic link and another through its real name would both get it.
    const QString real = QFileInfo(DeviceName()).canonicalFilePath();
    const QString device = real.isEmpty() ? DeviceName() : real;
    port_.setPortName(device);
    port_.setBaudRate(settings->baudRate);
    port_.setParity(settings->parity);
    port_.setDataBits(settings->dataBits);
    port_.setStopBits(settings->stopBits);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (port_.open(QIODevice::ReadWrite)) {
        port_.clearError();
#ifdef Q_OS_UNIX
        tailWritable_ = new QSocketNotifier(port_.handle(), QSocketNotifier::Write, this);
        tailWritable_->setEnabled(false);
        connect(tailWritable_, &QSocketNotifier::activated, this, &MSComm::FlushTail);
#endif
        return kNoError;
    }
    const auto error = port_.error();
    port_.clearError();
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return kNoSuchPort;
        case QSerialPort::PermissionError:
            return PermissionFailure(device);
        default:
            return kCannotOpen;
    }
}

int MSComm::PermissionFailure(const QString& device) const {
#ifdef Q_OS_UNIX
    // Qt gives the same error for a port held by another program (its lock file) and for a
    // device this user may not open. Only the second is the user's to mend, so it says how.
    const QByteArray path = QFile::encodeName(device);
    struct stat st {};
    if (::faccessat(AT_FDCWD, path.constData(), R_OK | W_OK, AT_EACCESS) != 0 && errno == EACCES &&
        ::stat(path.constData(), &st) == 0) {
        const group* owner = ::getgrgid(st.st_gid);
        const QString group =
            owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(st.st_gid);
        qWarning(
            "%s: no permission to open %s; the usual remedy is membership of its group %s "
            "(usermod -aG %s USER, then log in again)",
            qPrintable(QCoreApplication::applicationName()), qPrintable(DeviceName()),
            qPrintable(group), qPrintable(group));
        return kCannotOpen;
    }
#else
    Q_UNUSED(device);
#endif
    return kPortInUse;
}

int MSComm::Output(const QByteArray& text) {
    if (!port_.isOpen()) return kCannotOpen;
    // While the end of an earlier text waits, the line is still backed up: it takes nothing new.
    if (!FlushTail()) return kWriteFailed;
    const qint64 written = WriteNow(text);
    if (written < 0 || (written == 0 && !text.isEmpty())) return kWriteFailed;
    if (written < text.size()) {
        tail_ = text.mid(written);
        if (tailWritable_) tailWritable_->setEnabled(true);
    }
    return kNoError;
}

qint64 MSComm::WriteNow(const QByteArray& bytes) {
#ifdef Q_OS_UNIX
    // QSerialPort keeps what the line refuses and sends it whenever the line frees up, so a
    // command reported unsent could reach the controller minutes later; its one way to drop it
    // (clear) also throws away what the line already holds. So the panel writes to the port's
    // non-blocking descriptor itself: 0 when the line has no room now, -1 on a failure.
    for (;;) {
        const ssize_t n = ::write(port_.handle(), bytes.constData(), size_t(bytes.size()));
        if (n >= 0) return n;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        if (errno != EINTR) return -1;
    }
#else
    // Elsewhere the port queues writes in the system (overlapped I/O) and refuses none for want
    // of room.
    const qint64 n = port_.write(bytes);
    port_.flush();
    return n;
#endif
}

bool MSComm::FlushTail() {
    if (!tail_.isEmpty()) {
        const qint64 written = WriteNow(tail_);
        if (written > 0) tail_.remove(0, written);
    }
    if (tailWritable_) tailWritable_->setEnabled(!tail_.isEmpty());
    return tail_.isEmpty();
}

void MSComm::DropTail() {
    tail_.clear();
    delete tailWritable_;
    tailWritable_ = nullptr;
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
    // the receive handler tell the operator; modem-line errors on a pty are not fatal. Writes
    // do not go through Qt's buffer, so these come from the read side.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) return;
    if (!port_.isOpen()) return;
    port_.clearError();
    DropTail();
    port_.close();
    receiveHold_.stop();
    pendingError_ = kReadError;
    commEvent_ = comEvReceive;
    emit OnComm();
}

}  // namespace vp::link
