#include "publish/credentials.h"

#include <sys/stat.h>

#include <QFile>

namespace vp::publish {
namespace {

// Two short lines; anything bigger is not a credentials file.
constexpr qint64 kMaxFileSize = 4096;

std::optional<Credentials> Refuse(const QString& path, const QString& why, QString* error) {
    if (error) *error = QStringLiteral("credentials file %1: %2").arg(path, why);
    return std::nullopt;
}

std::string Line(const QByteArray& line) {
    return (line.endsWith('\r') ? line.chopped(1) : line).toStdString();
}

}  // namespace

std::optional<Credentials> ReadCredentials(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return Refuse(path, file.errorString(), error);
    // The mode of the file actually opened, so a swap between check and read changes nothing.
    struct stat info {};
    if (fstat(file.handle(), &info) != 0 || !S_ISREG(info.st_mode))
        return Refuse(path, QStringLiteral("not a regular file"), error);
    if (info.st_mode & 077) {
        return Refuse(path,
                      QStringLiteral("group or others may read or write it (mode %1); chmod 600 it")
                          .arg(info.st_mode & 0777, 4, 8, QLatin1Char('0')),
                      error);
    }
    const QByteArray content = file.read(kMaxFileSize + 1);
    if (content.size() > kMaxFileSize) return Refuse(path, QStringLiteral("too large"), error);
    if (content.contains('\0')) return Refuse(path, QStringLiteral("holds a NUL byte"), error);

    const QList<QByteArray> lines = content.split('\n');
    Credentials credentials{Line(lines.value(0)), Line(lines.value(1))};
    if (credentials.user.empty())
        return Refuse(path, QStringLiteral("the user line is empty"), error);
    return credentials;
}

}  // namespace vp::publish
