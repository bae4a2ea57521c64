// SPDX-License-Identifier: MIT
#include "app/log_line.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QMutex>
#include <cstdio>
#include <cstdlib>

#include "base/program_name.h"

namespace vp::app {

namespace {
// Qt's messages may come from the broker client's thread as well.
QMutex lastMutex;
QString lastMessage;

void QtMessageLine(QtMsgType type, const QMessageLogContext&, const QString& message) {
    {
        const QMutexLocker lock(&lastMutex);
        if (message == lastMessage && type != QtFatalMsg) return;
        lastMessage = message;
    }
    const Severity severity = type == QtWarningMsg                          ? Severity::Warning
                              : type == QtCriticalMsg || type == QtFatalMsg ? Severity::Error
                                                                            : Severity::Info;
    // The parts name the program themselves, as the line does already.
    static const QString kName = ProgramSays(kPanelProgram, QString());
    LogLine(severity, message.startsWith(kName) ? message.mid(kName.size()) : message);
    if (type == QtFatalMsg) std::abort();
}
}  // namespace

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
                                               : ProgramSays(kPanelProgram, QString()).toLatin1();
    line += text.toLocal8Bit();
    line += '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

void LogQtMessages() {
    qInstallMessageHandler(QtMessageLine);
}

void ForgetRepeatedMessage() {
    const QMutexLocker lock(&lastMutex);
    lastMessage.clear();
}

}  // namespace vp::app
