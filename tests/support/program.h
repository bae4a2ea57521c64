// SPDX-License-Identifier: MIT
#pragma once

#include <signal.h>

#include <QProcess>
#include <utility>

// One vacuum-panel process as a rack PC or a service starts it: no display, no window system and
// no service manager's variables but those given; what it says on standard error kept, or
// appended to the file given. SIGHUP as nohup leaves it when asked, else its default.
struct Program {
    static constexpr int kWait = 20000;  // ms: a program starting on a loaded machine

    explicit Program(const QStringList& arguments,
                     const QList<std::pair<QString, QString>>& variables = {},
                     const QString& errorFile = {}, bool ignoreHangUp = false) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "NOTIFY_SOCKET",
                                 "WATCHDOG_USEC", "WATCHDOG_PID", "JOURNAL_STREAM"})
            environment.remove(name);
        for (const auto& [name, value] : variables) environment.insert(name, value);
        process.setProcessEnvironment(environment);
        process.setStandardOutputFile(QProcess::nullDevice());
        if (errorFile.isEmpty())
            QObject::connect(&process, &QProcess::readyReadStandardError,
                             [this] { err += process.readAllStandardError(); });
        else
            process.setStandardErrorFile(errorFile, QIODevice::Append);
        process.setChildProcessModifier(
            [ignoreHangUp] { ::signal(SIGHUP, ignoreHangUp ? SIG_IGN : SIG_DFL); });
        process.start(QStringLiteral(VP_PANEL_PROGRAM), arguments);
    }
    ~Program() {
        process.kill();
        process.waitForFinished();
    }
    qsizetype Said(const char* text) const { return err.count(text); }
    pid_t Pid() const { return pid_t(process.processId()); }
    // Never to pid 0 (a process already ended): that would be this test's own process group.
    void Signal(int signal) const {
        if (Pid() > 0) ::kill(Pid(), signal);
    }
    bool Ended() {
        return process.waitForFinished(kWait) && process.exitStatus() == QProcess::NormalExit;
    }
    bool EndedWith(int code) { return Ended() && process.exitCode() == code; }

    QProcess process;
    QByteArray err;
};
