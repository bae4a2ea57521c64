// SPDX-License-Identifier: MIT
#include "publish/option_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace vp::publish {
namespace {

QString Errno() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Whether a file of this kind and mode can be taken.
Result<> TakesKind(const struct stat& info, bool ownerOnly) {
    if (S_ISDIR(info.st_mode)) return Fail(QStringLiteral("is a directory"));
    if (!S_ISREG(info.st_mode)) return Fail(QStringLiteral("not a regular file"));
    if (ownerOnly && (info.st_mode & 077))
        return Fail(QStringLiteral("group or others may read or write it (mode %1); chmod 600 it")
                        .arg(info.st_mode & 0777, 4, 8, QLatin1Char('0')));
    return {};
}

}  // namespace

Result<QByteArray> ReadOptionFile(const QString& path, qint64 maxSize, bool ownerOnly) {
    const QByteArray name = QFile::encodeName(path);
    // Looked at before opening: opening a serial device alone can switch its lines.
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) return Fail(Errno());
    if (Result<> kind = TakesKind(info, ownerOnly); !kind.ok()) return Fail(kind.error());
    // O_NONBLOCK: should the path have become a FIFO since, open returns at once all the same.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Fail(Errno());
    QByteArray content;
    QString fault;
    // The file actually opened is the one judged, so a swap since the look above changes nothing.
    if (::fstat(fd, &info) != 0) {
        fault = Errno();
    } else if (Result<> kind = TakesKind(info, ownerOnly); !kind.ok()) {
        fault = kind.error();
    } else {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) fault = Errno();
            if (n <= 0) break;
            content.append(buffer, n);
            if (content.size() > maxSize) {
                fault = QStringLiteral("too large (more than %1 bytes)").arg(maxSize);
                break;
            }
        }
    }
    ::close(fd);
    if (!fault.isEmpty()) return Fail(fault);
    return content;
}

}  // namespace vp::publish
