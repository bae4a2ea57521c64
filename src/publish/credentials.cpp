// SPDX-License-Identifier: MIT
#include "publish/credentials.h"

#include <QList>

#include "publish/option_file.h"

namespace vp::publish {
namespace {

// Two short lines; anything bigger is not a credentials file.
constexpr qint64 kMaxFileSize = 4096;

Failure Refuse(const QString& path, const QString& why) {
    return Fail(QStringLiteral("credentials file %1: %2").arg(path, why));
}

std::string Line(const QByteArray& line) {
    return (line.endsWith('\r') ? line.chopped(1) : line).toStdString();
}

}  // namespace

Result<Credentials> ReadCredentials(const QString& path) {
    const Result<QByteArray> content = ReadOptionFile(path, kMaxFileSize, true);
    if (!content.ok()) return Refuse(path, content.error());
    if (content->contains('\0')) return Refuse(path, QStringLiteral("holds a NUL byte"));

    const QList<QByteArray> lines = content->split('\n');
    Credentials credentials{Line(lines.value(0)), Line(lines.value(1))};
    if (credentials.user.empty()) return Refuse(path, QStringLiteral("the user line is empty"));
    return credentials;
}

}  // namespace vp::publish
