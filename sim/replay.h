#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace vp::sim {

// One controller message of a traffic record, as the panel cut it from the line (no CR).
struct ReplayMessage {
    qint64 ms;  // when the panel received it, ms since 1970
    QByteArray message;
};

// Reads the received (RX) lines of a traffic record written by `vacuum-panel --record`.
// Comment lines and sent (TX) lines are skipped; a malformed line fails the whole load with
// its line number, so a damaged capture is never half played.
std::optional<QList<ReplayMessage>> LoadReplay(const QString& path, QString* error = nullptr);

}  // namespace vp::sim
