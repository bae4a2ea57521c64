#include "sim/replay.h"

#include <QFile>

#include "record/traffic_recorder.h"

namespace vp::sim {

std::optional<QList<ReplayMessage>> LoadReplay(const QString& path, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<QList<ReplayMessage>> {
        if (error) *error = path + ": " + why;
        return std::nullopt;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return fail(file.errorString());
    QList<ReplayMessage> messages;
    int lineNumber = 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        ++lineNumber;
        if (line.endsWith('\n')) line.chop(1);
        if (line.isEmpty() || line.startsWith('#')) continue;
        const QList<QByteArray> fields = line.split('\t');
        bool ok = false;
        const qint64 ms = fields.value(0).toLongLong(&ok);
        if (!ok || fields.size() < 3 || (fields[1] != "TX" && fields[1] != "RX"))
            return fail(QStringLiteral("line %1 is not a traffic record line").arg(lineNumber));
        if (fields[1] != "RX") continue;
        const auto bytes = record::TrafficRecorder::Unescape(fields[2].toStdString());
        if (!bytes) return fail(QStringLiteral("line %1 has a broken escape").arg(lineNumber));
        messages.append({ms, QByteArray::fromStdString(*bytes)});
    }
    return messages;
}

}  // namespace vp::sim
