#include "app/log_line.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <cstdio>

namespace vp::app {

bool StandardErrorIsJournal() {
    // "device:inode" of the stream; a stderr redirected since then is not the journal any more.
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    const qsizetype colon = stream.indexOf(':');
    if (colon <= 0) return false;
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = stream.left(colon).toULongLong(&deviceOk);
    const qulonglong inode = stream.mid(colon + 1).toULongLong(&inodeOk);
    struct stat info {};
    return deviceOk && inodeOk && ::fstat(STDERR_FILENO, &info) == 0 && info.st_dev == device &&
           info.st_ino == inode;
}

void LogLine(Severity severity, const QString& text) {
    // One write per line, so lines of two threads never interleave.
    QByteArray line = StandardErrorIsJournal() ? '<' + QByteArray::number(int(severity)) + '>'
                                               : QByteArrayLiteral("vacuum-panel: ");
    line += text.toLocal8Bit();
    line += '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

}  // namespace vp::app
