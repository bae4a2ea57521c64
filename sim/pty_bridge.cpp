// SPDX-License-Identifier: MIT
#include "sim/pty_bridge.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vp::sim {

namespace {

// Replies are short and only come when asked; a queue this long means nobody reads.
constexpr qsizetype kMaxQueuedBytes = 1 << 20;
constexpr qsizetype kMaxReadPerEvent = 64 * 1024;

QString ErrnoText(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

}  // namespace

PtyBridge::PtyBridge(QObject* parent) : QObject(parent) {
    pause_timer_.setSingleShot(true);
    pause_timer_.setInterval(1);
    connect(&pause_timer_, &QTimer::timeout, this, &PtyBridge::Flush);
    // After EIO the master stays readable; look again later instead of spinning on it.
    read_retry_timer_.setSingleShot(true);
    read_retry_timer_.setInterval(200);
    connect(&read_retry_timer_, &QTimer::timeout, this, [this] {
        if (read_notifier_) read_notifier_->setEnabled(true);
    });
}

PtyBridge::~PtyBridge() {
    Close();
}

Result<> PtyBridge::Open() {
    if (IsOpen()) return {};
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return Fail(ErrnoText("posix_openpt"));
    char name[128] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        const QString text = ErrnoText("preparing the pseudo-terminal");
        ::close(master);
        return Fail(text);
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        const QString text = ErrnoText("opening the pseudo-terminal's device");
        ::close(master);
        return Fail(text);
    }
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&tio, B115200);
        ::cfsetospeed(&tio, B115200);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    const int flags = ::fcntl(master, F_GETFL);
    ::fcntl(master, F_SETFL, flags | O_NONBLOCK);

    master_ = master;
    slave_ = slave;
    slave_path_ = QString::fromLocal8Bit(name);
    read_notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(read_notifier_, &QSocketNotifier::activated, this, &PtyBridge::OnReadable);
    write_notifier_ = new QSocketNotifier(master_, QSocketNotifier::Write, this);
    write_notifier_->setEnabled(false);
    connect(write_notifier_, &QSocketNotifier::activated, this, &PtyBridge::Flush);
    return {};
}

void PtyBridge::Close() {
    pause_timer_.stop();
    read_retry_timer_.stop();
    // Notifiers go before their descriptor does.
    delete read_notifier_;
    read_notifier_ = nullptr;
    delete write_notifier_;
    write_notifier_ = nullptr;
    queue_.clear();
    queued_bytes_ = 0;
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = -1;
    slave_ = -1;
    slave_path_.clear();
}

void PtyBridge::Write(const QByteArray& bytes, bool pause_after) {
    if (!IsOpen() || bytes.isEmpty()) return;
    if (queued_bytes_ + bytes.size() > kMaxQueuedBytes) {
        dropped_bytes_ += bytes.size();
        return;
    }
    queue_.push_back({bytes, 0, pause_after});
    queued_bytes_ += bytes.size();
    if (!pause_timer_.isActive()) Flush();
}

void PtyBridge::Flush() {
    while (IsOpen() && !queue_.empty() && !pause_timer_.isActive()) {
        Chunk& chunk = queue_.front();
        const ssize_t n = ::write(master_, chunk.data.constData() + chunk.offset,
                                  static_cast<size_t>(chunk.data.size() - chunk.offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                write_notifier_->setEnabled(true);
                return;
            }
            // The line is gone (EIO and the like): what is queued can never arrive.
            dropped_bytes_ += queued_bytes_;
            queue_.clear();
            queued_bytes_ = 0;
            break;
        }
        chunk.offset += n;
        queued_bytes_ -= n;
        if (chunk.offset < chunk.data.size()) continue;
        const bool pause = chunk.pause_after;
        queue_.pop_front();
        if (pause) pause_timer_.start();  // also holds back what is queued later
    }
    if (write_notifier_) write_notifier_->setEnabled(false);
}

void PtyBridge::OnReadable() {
    QByteArray received;
    char buffer[4096];
    while (master_ >= 0 && received.size() < kMaxReadPerEvent) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        // EOF or EIO: nothing to read until the far side changes; pause instead of spinning.
        read_notifier_->setEnabled(false);
        read_retry_timer_.start();
        break;
    }
    // Last: a receiver may close the bridge.
    if (!received.isEmpty()) emit BytesRead(received);
}

}  // namespace vp::sim
