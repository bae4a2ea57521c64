// SPDX-License-Identifier: MIT
#include "sim/replay.h"

#include <QFile>

#include "record/traffic_recorder.h"

namespace vp::sim {

namespace {

// A long damaged capture must not bury the terminal.
constexpr int kMaxWarnings = 20;

// The message of an RX line, nothing for a TX line; a refusal says why it is no traffic record
// line.
Result<std::optional<ReplayMessage>> ReadLine(const QByteArray& line) {
    const QList<QByteArray> fields = line.split('\t');
    bool ok = false;
    const qint64 ms = fields.value(0).toLongLong(&ok);
    if (!ok || fields.size() < 3 || (fields[1] != "TX" && fields[1] != "RX"))
        return Fail(QStringLiteral("is not a traffic record line"));
    if (fields[1] != "RX") return std::optional<ReplayMessage>();
    const auto bytes = record::TrafficRecorder::Unescape(fields[2].toStdString());
    if (!bytes) return Fail(QStringLiteral("has a broken escape"));
    return std::optional(ReplayMessage{ms, QByteArray::fromStdString(*bytes)});
}

}  // namespace

Result<QList<ReplayMessage>> LoadReplay(const QString& path, QStringList* warnings, bool strict) {
    const auto fail = [&](const QString& why) { return Fail(path + ": " + why); };
    QStringList said;
    int unsaid = 0;
    const auto warn = [&](const QString& what) {
        if (said.size() < kMaxWarnings) {
            said << path + ": " + what;
        } else {
            ++unsaid;
        }
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return fail(file.errorString());
    QList<ReplayMessage> messages;
    int lineNumber = 0, sent = 0, comments = 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        ++lineNumber;
        if (!line.endsWith('\n')) {
            // The recorder ends every line it writes; this one was cut off mid-write.
            warn(QStringLiteral("line %1 is cut short (no line end), left out").arg(lineNumber));
            break;
        }
        line.chop(1);
        if (line.isEmpty() || line.startsWith('#')) {
            ++comments;
            continue;
        }
        const Result<std::optional<ReplayMessage>> message = ReadLine(line);
        if (!message.ok()) {
            const QString text = QStringLiteral("line %1 %2").arg(lineNumber).arg(message.error());
            if (strict) return fail(text);
            warn(text + QStringLiteral(", left out"));
        } else if (*message) {
            messages.append(**message);
        } else {
            ++sent;
        }
    }
    if (file.error() != QFileDevice::NoError) return fail(file.errorString());
    if (unsaid > 0) said << QStringLiteral("%1: %2 more line(s) left out").arg(path).arg(unsaid);
    if (lineNumber == 0) return fail(QStringLiteral("the file is empty: nothing to replay"));
    if (messages.isEmpty())
        return fail(QStringLiteral("nothing to replay: none of its %1 line(s) is a controller "
                                   "message (RX line); %2 panel frame(s) (TX), %3 comment or "
                                   "empty line(s), %4 unreadable")
                        .arg(lineNumber)
                        .arg(sent)
                        .arg(comments)
                        .arg(lineNumber - sent - comments));
    if (warnings) *warnings << said;
    return messages;
}

}  // namespace vp::sim
