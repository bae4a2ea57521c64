#include "publish/option_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace vp::publish {
namespace {

std::optional<QByteArray> Refuse(const QString& reason, QString* why) {
    if (why) *why = reason;
    return std::nullopt;
}

QString Errno() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Why a file of this kind and mode cannot be taken, or an empty string.
QString KindFault(const struct stat& info, bool ownerOnly) {
    if (S_ISDIR(info.st_mode)) return QStringLiteral("is a directory");
    if (!S_ISREG(info.st_mode)) return QStringLiteral("not a regular file");
    if (ownerOnly && (info.st_mode & 077))
        return QStringLiteral("group or others may read or write it (mode %1); chmod 600 it")
            .arg(info.st_mode & 0777, 4, 8, QLatin1Char('0'));
    return {};
}

}  // namespace

std::optional<QByteArray> ReadOptionFile(const QString& path, qint64 maxSize, bool ownerOnly,
                                         QString* why) {
    const QByteArray name = QFile::encodeName(path);
    // Looked at before opening: opening a serial device alone can switch its lines.
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) return Refuse(Errno(), why);
    if (const QString fault = KindFault(info, ownerOnly); !fault.isEmpty())
        return Refuse(fault, why);
    // O_NONBLOCK: should the path have become a FIFO since, open returns at once all the same.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Refuse(Errno(), why);
    QByteArray content;
    QString fault;
    // The file actually opened is the one judged, so a swap since the look above changes nothing.
    if (::fstat(fd, &info) != 0) {
        fault = Errno();
    } else if (fault = KindFault(info, ownerOnly); fault.isEmpty()) {
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
    if (!fault.isEmpty()) return Refuse(fault, why);
    return content;
}

}  // namespace vp::publish
