// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <array>

#include "base/result.h"
#include "logging/clock.h"

namespace vp::logging {

// The daily pressure log: one file a day under <folder>/log, named by the regional short date,
// a record a tick. The folder "log" is never created here: its absence is reported, not mended.
class PressureLog {
public:
    // folder: where "log" is looked for; empty means the current directory at each tick. A
    // service names the daily files' folder itself: subfolder empty.
    explicit PressureLog(const Clock& clock, QString folder = {},
                         QString subfolder = QStringLiteral("log"));

    // Appends one record of the four pressure texts (TG1, 1G1, 2G1, 1G3), writing the three
    // header lines first when the day's file does not exist. Fails with the operator's notice
    // ("Could not open log file for writing: " and the reason) when anything failed.
    Result<> Tick(const std::array<QByteArray, 4>& pressures);

    // Path of the day's file for the clock's current date.
    QString FilePath() const;

private:
    // One date text a tick names the file and heads it, so the two never straddle midnight.
    QString FilePathFor(const QString& dateText) const;

    const Clock& clock_;
    QString folder_;
    QString subfolder_;
};

}  // namespace vp::logging
