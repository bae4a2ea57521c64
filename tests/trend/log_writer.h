// SPDX-License-Identifier: MIT
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTest>
#include <array>

#include "logging/pressure_log.h"
#include "support/fake_clock.h"

using Pressures = std::array<QByteArray, 4>;

// Writes logs through the panel's own writer, with the date and time the test sets.
class LogWriter {
public:
    explicit LogWriter(const QString& folder) : log_(clock_, folder) {
        QDir(folder).mkpath(QStringLiteral("log"));
    }

    // One record at date and time; returns the file it went to.
    QString Tick(const QString& date, const QString& time, const Pressures& pressures) {
        clock_.date = date;
        clock_.time = time;
        if (const vp::Result<> written = log_.Tick(pressures); !written.ok())
            qFatal("%s", qPrintable(written.error()));
        return log_.FilePath();
    }

private:
    FakeClock clock_;
    vp::logging::PressureLog log_;
};

inline const Pressures kHighVacuum = {"1.585E-7", "4.467E-7", "4.467E-7", "5.012E-3"};

inline void Append(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write(bytes);
}
