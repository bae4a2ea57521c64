// SPDX-License-Identifier: MIT
#include "app/quit_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

namespace vp::app {

namespace {
int wakeFd[2] = {-1, -1};
volatile sig_atomic_t asked = 0;

void Wake(int signal) {
    if (asked) {
        // Asked a second time: whatever holds the clean end up, the signal's own action ends it.
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigaction(signal, &action, nullptr);
        raise(signal);
        return;
    }
    asked = 1;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(wakeFd[0], &byte, 1);
}
}  // namespace

void QuitOnTermination() {
    if (wakeFd[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, wakeFd) != 0) return;
    auto* notifier =
        new QSocketNotifier(wakeFd[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char byte;
        while (::read(wakeFd[1], &byte, 1) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = Wake;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // A closed terminal or a service manager's hang-up ends the gateway as cleanly as SIGTERM;
    // but a hang-up its starter chose to ignore (nohup) stays ignored.
    struct sigaction hangUp {};
    if (sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN)
        sigaction(SIGHUP, &action, nullptr);
}

}  // namespace vp::app
