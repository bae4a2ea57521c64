// End-to-end measurements: the simulated controller as its own process on a pseudo-terminal,
// the panel's window in this process (offscreen), port 3 mapped to the simulator's link.
//
//   bench_link idle SECONDS   normal 10 Hz polling of a moving plant: CPU share, peak memory
//   bench_link full SECONDS   status reports pushed at 921,600 bit/s: every one shown? CPU share
//   bench_link soak SECONDS   full pace with faults mixed in: memory growth, list sizes
//
// Each prints "figure<TAB>value<TAB>unit" lines for bench/run, then a verdict line.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <optional>

#include "panel/form1.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A line of /proc/self/status in kB, e.g. "VmRSS" or "VmHWM".
double StatusKb(const char* name) {
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(key.size()).trimmed().split(' ')[0].toDouble();
    return -1;
}

double MaxRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss);
}

void Figure(const char* name, double value, const char* unit) {
    std::printf("%s\t%.6g\t%s\n", name, value, unit);
    std::fflush(stdout);
}

// Runs the event loop for `ms` milliseconds, or until `done` says so (asked every 10 ms).
template <typename Done>
bool RunFor(int ms, Done done) {
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    check.start(10);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}
// Without a check: nothing but the panel's own work wakes the process.
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class Bench {
public:
    bool Start() {
        link_ = dir_.filePath(QStringLiteral("controller"));
        sim_.setProgram(QStringLiteral(VP_SIM_PROGRAM));
        sim_.setArguments({QStringLiteral("--link"), link_, QStringLiteral("--interactive")});
        sim_.start();
        if (!sim_.waitForStarted(5000) || !RunFor(5000, [&] { return sim_.canReadLine(); })) {
            std::fprintf(stderr, "bench_link: the simulator did not start\n");
            return false;
        }
        form_.emplace(vp::link::PortNames{{3, link_}});
        form_->show();
        form_->cmdConnect->click();
        if (form_->txtStatus->text() != QStringLiteral("Port 3 open successfully")) {
            std::fprintf(stderr, "bench_link: %s\n", qPrintable(form_->txtStatus->text()));
            return false;
        }
        // Pumps on: pressures fall and speeds climb, so the display has something to redraw.
        form_->mnuRotaryOn->trigger();
        form_->mnuTmp1On->trigger();
        form_->mnuTmp2On->trigger();
        return RunFor(5000, [&] { return form_->display().ShownReports().value() > 0; });
    }

    void Fault(const char* request) {
        sim_.write(QByteArray(request) + '\n');
        sim_.waitForBytesWritten(1000);
    }

    // Waits until nothing more arrives for half a second.
    void Settle() {
        int last = -1;
        while (last != Received()) {
            last = Received();
            RunFor(500);
        }
    }

    struct SimCounts {
        long sent;    // every status report
        long pushed;  // those of them pushed unasked
    };
    // Stops the simulator and gives what it counted.
    std::optional<SimCounts> StopSim() {
        form_->cmdDisconnect->click();
        sim_.terminate();
        sim_.waitForFinished(5000);
        const QString said = QString::fromLocal8Bit(sim_.readAllStandardError());
        const auto match =
            QRegularExpression(QStringLiteral("status reports sent: (\\d+), pushed: (\\d+), "
                                              "bytes dropped: (\\d+)"))
                .match(said);
        if (!match.hasMatch()) return std::nullopt;
        Figure("simulator bytes dropped", match.captured(3).toDouble(), "bytes");
        return SimCounts{match.captured(1).toLong(), match.captured(2).toLong()};
    }

    int Received() { return form_->framing().ReceivedMessageCount().value(); }
    vp::panel::Form1& form() { return *form_; }

private:
    QTemporaryDir dir_;
    QString link_;
    QProcess sim_;
    std::optional<vp::panel::Form1> form_;
};

int Idle(Bench& bench, int seconds) {
    RunFor(2000);  // let start-up and the first redraws pass
    const int received = bench.Received();
    const double cpu = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunFor(seconds * 1000);
    const double share = (CpuSeconds() - cpu) / (wall.elapsed() / 1000.0) * 100;
    Figure("idle polling: panel CPU", share, "% of one core");
    Figure("idle polling: peak resident memory (VmHWM)", StatusKb("VmHWM") / 1024, "MB");
    Figure("idle polling: peak resident memory (ru_maxrss)", MaxRssKb() / 1024, "MB");
    Figure("idle polling: messages handled", bench.Received() - received, "messages");
    return 0;
}

int Full(Bench& bench, int seconds) {
    const double cpu = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    bench.Fault("push=921600");
    RunFor(seconds * 1000);
    const double share = (CpuSeconds() - cpu) / (wall.elapsed() / 1000.0) * 100;
    bench.Fault("push=0");
    // Polls go on being answered; stop them so the last report can be counted.
    bench.form().Timer1->stop();
    bench.form().tmrTMPOperatingHours->stop();
    bench.Settle();
    const int shown = bench.form().display().ShownReports().value();
    // The simulator counts every report since it started, and the panel was connected before
    // the first one: the two totals must agree.
    const auto sent = bench.StopSim();
    Figure("full line rate: panel CPU", share, "% of one core");
    Figure("full line rate: reports shown", shown, "reports");
    Figure("full line rate: crc errors", bench.form().dispatcher().CrcErrorCount().value(), "");
    if (!sent) {
        std::fprintf(stderr, "bench_link: the simulator gave no count\n");
        return 1;
    }
    Figure("full line rate: reports sent by simulator", static_cast<double>(sent->sent), "reports");
    Figure("full line rate: reports pushed per second", sent->pushed / (seconds * 1.0),
           "reports/s");
    Figure("full line rate: reports lost", static_cast<double>(sent->sent - shown), "reports");
    return sent->sent == shown ? 0 : 1;
}

int Soak(Bench& bench, int seconds) {
    static const char* const kFaults[] = {
        "bad-checksum", "error-report=170", "warning=221",      "wrong-length=40", "noise",
        "split",        "flood=200",        "error-report=199", "warning=235",     "silence=0.5",
    };
    bench.Fault("push=921600");
    RunFor(10000);  // the lists fill and every cache warms before the first reading
    const double rssStart = StatusKb("VmRSS");
    std::int64_t handledStart = bench.Received();
    int maxList = 0;
    std::int32_t lastReceived = 0, lastCrc = 0, lastSent = 0;
    bool countersMonotonic = true;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; wall.elapsed() < seconds * 1000; ++i) {
        bench.Fault(kFaults[i % std::size(kFaults)]);
        RunFor(200);
        auto& f = bench.form();
        maxList = std::max(
            {maxList, f.lstErrors->count(), f.lstWarnings->count(), f.lstMessages->count()});
        const auto received = f.framing().ReceivedMessageCount().value();
        const auto crc = f.dispatcher().CrcErrorCount().value();
        const auto sent = f.framing().SentMessageCount().value();
        if (received < lastReceived || crc < lastCrc || sent < lastSent) countersMonotonic = false;
        lastReceived = received;
        lastCrc = crc;
        lastSent = sent;
    }
    const double rssEnd = StatusKb("VmRSS");
    Figure("soak: resident memory at start", rssStart / 1024, "MB");
    Figure("soak: resident memory at end", rssEnd / 1024, "MB");
    Figure("soak: resident memory growth", (rssEnd - rssStart) / 1024, "MB");
    Figure("soak: longest list", maxList, "entries");
    Figure("soak: messages handled", bench.Received() - handledStart, "messages");
    Figure("soak: crc errors counted", bench.form().dispatcher().CrcErrorCount().value(), "");
    Figure("soak: counters never went down", countersMonotonic ? 1 : 0, "");
    bench.Fault("push=0");
    bench.StopSim();
    return countersMonotonic && maxList <= 10 ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_link idle|full|soak SECONDS\n");
        return 2;
    }
    const QByteArray mode = argv[1];
    const int seconds = std::atoi(argv[2]);
    Bench bench;
    if (!bench.Start()) return 1;
    if (mode == "idle") return Idle(bench, seconds);
    if (mode == "full") return Full(bench, seconds);
    if (mode == "soak") return Soak(bench, seconds);
    std::fprintf(stderr, "bench_link: unknown mode %s\n", argv[1]);
    return 2;
}
