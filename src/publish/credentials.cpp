#include "publish/credentials.h"

#include <QList>

#include "publish/option_file.h"

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
    QString why;
    const std::optional<QByteArray> content = ReadOptionFile(path, kMaxFileSize, true, &why);
    if (!content) return Refuse(path, why, error);
    if (content->contains('\0')) return Refuse(path, QStringLiteral("holds a NUL byte"), error);

    const QList<QByteArray> lines = content->split('\n');
    Credentials credentials{Line(lines.value(0)), Line(lines.value(1))};
    if (credentials.user.empty())
        return Refuse(path, QStringLiteral("the user line is empty"), error);
    return credentials;
}

}  // namespace vp::publish
