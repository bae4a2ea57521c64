// SPDX-License-Identifier: MIT
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>

// Fills a pseudo-terminal's line towards its far end, as a controller that has stopped reading
// leaves it: writes on the device side until the line has no room. The filler is 'x' without a
// carriage return, so the far end sees it only as junk before the next frame. The kernel frees
// room a little later now and then, so a test that holds the line full calls this again.
inline qint64 FillLine(const QString& device) {
    const int fd = ::open(QFile::encodeName(device).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    const QByteArray filler(512, 'x');
    qint64 total = 0;
    for (int size : {512, 1}) {
        for (;;) {
            const ssize_t n = ::write(fd, filler.constData(), size_t(size));
            if (n <= 0) break;
            total += n;
        }
    }
    ::close(fd);
    return total;
}

// The frames in what the far end read, filler dropped.
inline QByteArray WithoutFiller(QByteArray bytes) {
    return bytes.replace('x', QByteArray());
}
