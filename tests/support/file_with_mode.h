// SPDX-License-Identifier: MIT
#pragma once

#include <sys/stat.h>

#include <QDir>
#include <QFile>

// Writes a file of the test's own with the given mode (credentials and keys are refused unless
// 0600); its path, or empty when it cannot be written.
inline QString FileWithMode(const QDir& dir, const QString& name, const QByteArray& content,
                            int mode) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0)
        return {};
    file.close();
    ::chmod(QFile::encodeName(path).constData(), mode_t(mode));
    return path;
}
