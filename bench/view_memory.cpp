// SPDX-License-Identifier: MIT
// The memory of a view that a broker floods: one mosquitto on 127.0.0.1, one real view
// (`vacuum-panel-window --view`, offscreen) and mosquitto_pub publishing COUNT retained states of
// the largest size a view reads, as fast as the broker takes them.
//
//   bench_view_memory [COUNT] [VIEW_PROGRAM]
//
// The view's peak resident memory (VmHWM) is read once the flood has been published and the view
// has gone idle (its CPU time still for a second). Prints "figure<TAB>value<TAB>unit" lines.
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <cstdio>

#include "publish/state_reader.h"
#include "support/broker.h"

namespace {

long long StatusKb(qint64 pid, const char* field) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ')[0].toLongLong();
    return -1;
}

long long CpuTicks(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

int Fail(const char* why) {
    std::fprintf(stderr, "bench_view_memory: %s\n", why);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 3000;
    const QString program =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(VP_VIEW_PROGRAM);

    Broker broker;
    if (!broker.Start()) return Fail(qPrintable(broker.Error()));
    QProcess view;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    view.setProcessEnvironment(env);
    view.start(program, {"--view", broker.Url(QStringLiteral("plant"))});
    if (!view.waitForStarted()) return Fail("cannot start the view");
    QElapsedTimer waited;
    waited.start();
    while (!view.readAllStandardError().contains("broker connected")) {
        if (waited.elapsed() > 30000) return Fail("the view never connected");
        view.waitForReadyRead(100);
    }
    QThread::msleep(500);  // its subscription on its way
    const long long baseline = StatusKb(view.processId(), "VmRSS:");

    // A payload as large as a view reads (minus its line end), valid JSON that is no state.
    const QByteArray pad(vp::publish::kMaxStatePayload - 16, 'x');
    const QByteArray line = "{\"pad\":\"" + pad + "\"}\n";
    QProcess pub;
    pub.start(QStringLiteral("mosquitto_pub"),
              {"-p", QString::number(broker.port()), "-q", "1", "-r", "-t", "plant/state", "-l"});
    if (!pub.waitForStarted()) return Fail("cannot start mosquitto_pub");
    QElapsedTimer flood;
    flood.start();
    for (int i = 0; i < count; ++i) {
        pub.write(line);
        while (pub.bytesToWrite() > (8 << 20)) pub.waitForBytesWritten(1000);
    }
    pub.closeWriteChannel();
    if (!pub.waitForFinished(600000) || pub.exitCode() != 0) return Fail("mosquitto_pub failed");
    const double floodSeconds = flood.elapsed() / 1000.0;

    // Idle: no CPU time for a whole second, within two minutes.
    long long before = CpuTicks(view.processId());
    for (int i = 0; i < 120; ++i) {
        QThread::msleep(1000);
        const long long now = CpuTicks(view.processId());
        if (now == before) break;
        before = now;
    }
    const long long peak = StatusKb(view.processId(), "VmHWM:");
    std::printf("view_rss_before_flood\t%.1f\tMB\n", baseline / 1024.0);
    std::printf("view_peak_rss\t%.1f\tMB\n", peak / 1024.0);
    std::printf("flood_published\t%.1f\ts\n", floodSeconds);
    std::printf("payloads\t%d\t\n", count);
    ::kill(pid_t(view.processId()), SIGTERM);
    view.waitForFinished(10000);
    // What the view said (its refusals of the padding, rate-limited) shows that the flood came.
    std::fprintf(stderr, "%s", view.readAllStandardError().constData());
    return 0;
}
