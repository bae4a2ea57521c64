// SPDX-License-Identifier: MIT
#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QtGlobal>
#include <functional>
#include <utility>

// Root may open and write almost anything, and CI runs as root. So checks of what an ordinary
// user may not do run `body` in a child process which, as root, becomes "nobody" first; anyone
// else stays who they are. Gives back the child's exit code (-1 if it could not run) and what
// it wrote on standard error, where Qt's warnings go as in the programs.
inline std::pair<int, QByteArray> RunUnprivileged(const std::function<int()>& body) {
    int err[2];
    if (::pipe(err) != 0) return {-1, "no pipe"};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(err[1], STDERR_FILENO);
        ::close(err[0]);
        qInstallMessageHandler(nullptr);
        const passwd* nobody = getpwnam("nobody");
        if (geteuid() == 0 && (!nobody || ::setgroups(0, nullptr) != 0 ||
                               ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0))
            ::_exit(99);
        ::_exit(body());
    }
    ::close(err[1]);
    QByteArray text;
    char buf[512];
    for (ssize_t n; (n = ::read(err[0], buf, sizeof buf)) > 0;) text.append(buf, n);
    ::close(err[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return {WIFEXITED(status) && WEXITSTATUS(status) != 99 ? WEXITSTATUS(status) : -1, text};
}
