// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "base/result.h"

namespace vp::sim {

// One controller message of a traffic record, as the panel cut it from the line (no CR).
struct ReplayMessage {
    qint64 ms;  // when the panel received it, ms since 1970
    QByteArray message;
};

// Reads the received (RX) lines of a traffic record written by `vacuum-panel --record`.
// Comment lines and sent (TX) lines are skipped. A last line without its line end was cut short
// by a crash or a full disk and is left out with a warning. Any other malformed line is left out
// with a warning naming it, or, when `strict`, fails the whole load. A record without a single
// controller message fails too: there would be nothing to answer the panel with.
Result<QList<ReplayMessage>> LoadReplay(const QString& path, QStringList* warnings = nullptr,
                                        bool strict = false);

}  // namespace vp::sim
