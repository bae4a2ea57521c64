// SPDX-License-Identifier: MIT
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>

// A raw pseudo-terminal for tests that need a real serial device. The slave stays open here so
// the line keeps its raw mode and the master sees no hang-up while the panel reopens the port.
class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        path_ = QString::fromLocal8Bit(ptsname(master_));
        slave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
        termios t{};
        if (slave_ >= 0 && tcgetattr(slave_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(slave_, TCSANOW, &t);
        }
    }
    ~PseudoTerminal() { Close(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return master_ >= 0 && slave_ >= 0; }
    const QString& path() const { return path_; }

    // Everything the far end has received so far.
    QByteArray ReadAll() {
        QByteArray all;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) break;
            all.append(buf, n);
        }
        received_ += all;
        return all;
    }
    const QByteArray& Received() {
        ReadAll();
        return received_;
    }

    bool Write(const QByteArray& bytes) {
        return ::write(master_, bytes.constData(), bytes.size()) == bytes.size();
    }

    void Close() {
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
        slave_ = master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
    QByteArray received_;
};
