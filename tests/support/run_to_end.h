// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>

// A program run to its end as a user or a script runs one, with what it said.
struct Run {
    bool finished = false;  // ended by itself, in time, and not by a signal
    int exitCode = -1;
    QByteArray out, err;
};

inline Run RunToEnd(
    const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
    const QString& folder = {}, int waitMs = 20000) {
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!folder.isEmpty()) process.setWorkingDirectory(folder);
    process.start(program, arguments);
    Run run;
    run.finished = process.waitForFinished(waitMs) && process.exitStatus() == QProcess::NormalExit;
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}
