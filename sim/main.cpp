// SPDX-License-Identifier: MIT
// vacuum-controller-sim: serves a simulated vacuum controller on a pseudo-terminal.
#include <sys/socket.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <memory>

#include "base/program_name.h"
#include "sim/faults.h"
#include "sim/simulated_controller.h"

namespace {

int g_signal_fd = -1;

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signal_fd, &byte, 1);
}

// SIGINT and SIGTERM reach the event loop through a socket pair, so the link is removed on
// the way out.
bool QuitOnSignals(QCoreApplication& app) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    g_signal_fd = fds[0];
    auto* notifier = new QSocketNotifier(fds[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        notifier->setEnabled(false);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    return true;
}

void ReadFaultsFrom(int fd, vp::sim::SimulatedController& sim, QCoreApplication& app) {
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &app);
    auto pending = std::make_shared<QByteArray>();
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier, pending, fd, &sim] {
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            notifier->setEnabled(false);  // end of input: keep serving
            return;
        }
        pending->append(buffer, n);
        qsizetype nl;
        while ((nl = pending->indexOf('\n')) >= 0) {
            const QString request = QString::fromLocal8Bit(pending->left(nl)).trimmed();
            pending->remove(0, nl + 1);
            if (request.isEmpty()) continue;
            if (const vp::Result<> injected = sim.InjectFault(request); injected.ok()) {
                std::fprintf(stderr, "fault %s armed\n", qPrintable(request));
            } else {
                std::fprintf(stderr, "%s\n", qPrintable(injected.error()));
            }
        }
        if (pending->size() > 4096) pending->clear();
    });
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    vp::NameApplication(vp::kSimProgram);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated vacuum controller on a pseudo-terminal. Prints the device path, "
                       "then serves it until interrupted.\n\n") +
        vp::sim::Faults::Help());
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption link_option(
        QStringLiteral("link"),
        QStringLiteral("Make PATH a symbolic link to the device. PATH must be free or a link to "
                       "a pseudo-terminal; anything else there is left alone and refused."),
        QStringLiteral("PATH"));
    const QCommandLineOption fault_option(QStringLiteral("fault"),
                                          QStringLiteral("Arm a fault (see below); repeatable."),
                                          QStringLiteral("FAULT"));
    const QCommandLineOption interactive_option(
        QStringLiteral("interactive"),
        QStringLiteral("Read further faults from standard input, one per line."));
    const QCommandLineOption replay_option(
        QStringLiteral("replay"),
        QStringLiteral("Answer with the controller messages of a traffic record made by "
                       "vacuum-panel --record, at their recorded pace, from the panel's first "
                       "frame on. Pauses over %1 s are cut to %1 s; unreadable lines are left "
                       "out with a warning.")
            .arg(vp::sim::SimulatedController::kMaxReplayGapMs / 1000),
        QStringLiteral("FILE"));
    const QCommandLineOption fast_option(
        QStringLiteral("fast"), QStringLiteral("With --replay: send every message at once."));
    const QCommandLineOption strict_option(
        QStringLiteral("strict"),
        QStringLiteral("With --replay: refuse a record with an unreadable line (a last line cut "
                       "short is still only left out)."));
    parser.addOptions(
        {replay_option, fast_option, strict_option, link_option, fault_option, interactive_option});

    const auto fail = [](const QString& why) {
        std::fprintf(stderr, "%s: %s\n", vp::kSimProgram, qPrintable(why));
        return 2;
    };
    if (!parser.parse(QCoreApplication::arguments())) return fail(parser.errorText());
    if (parser.isSet(help)) parser.showHelp();
    if (parser.isSet(version)) parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument \"%1\" (see --help)")
                        .arg(parser.positionalArguments().constFirst()));
    for (const QCommandLineOption* option : {&fast_option, &strict_option}) {
        if (parser.isSet(*option) && !parser.isSet(replay_option))
            return fail(
                QStringLiteral("--%1 goes with --replay FILE").arg(option->names().constFirst()));
    }

    vp::sim::SimulatedController sim;
    if (parser.isSet(replay_option)) {
        QStringList warnings;
        auto messages = vp::sim::LoadReplay(parser.value(replay_option), &warnings,
                                            parser.isSet(strict_option));
        for (const QString& warning : warnings)
            std::fprintf(stderr, "%s: %s\n", vp::kSimProgram, qPrintable(warning));
        if (!messages.ok()) return fail(messages.error());
        const int shortened = sim.Replay(std::move(*messages), parser.isSet(fast_option));
        if (shortened > 0 && !parser.isSet(fast_option))
            std::fprintf(
                stderr, "%s: %d pause(s) in the record cut to %lld s\n", vp::kSimProgram, shortened,
                static_cast<long long>(vp::sim::SimulatedController::kMaxReplayGapMs / 1000));
    }
    if (const vp::Result<> started = sim.Start(); !started.ok()) {
        std::fprintf(stderr, "%s: %s\n", vp::kSimProgram, qPrintable(started.error()));
        return 1;
    }
    for (const QString& request : parser.values(fault_option)) {
        if (const vp::Result<> injected = sim.InjectFault(request); !injected.ok())
            return fail(injected.error());
    }
    if (parser.isSet(link_option)) {
        if (const vp::Result<> linked = sim.MakeLink(parser.value(link_option)); !linked.ok())
            return fail(linked.error());
    }
    if (!QuitOnSignals(app)) {
        std::fprintf(stderr, "%s: cannot watch for signals\n", vp::kSimProgram);
        return 1;
    }
    if (parser.isSet(interactive_option)) ReadFaultsFrom(STDIN_FILENO, sim, app);

    std::printf("%s\n", qPrintable(sim.DevicePath()));
    std::fflush(stdout);
    const int rc = QCoreApplication::exec();
    sim.Stop();
    // For whoever drives the simulator from a script: what went out, and what the line lost.
    std::fprintf(stderr, "status reports sent: %d, pushed: %d, bytes dropped: %lld\n",
                 sim.StatusReportsSent(), sim.PushedReports(),
                 static_cast<long long>(sim.DroppedBytes()));
    return rc;
}
