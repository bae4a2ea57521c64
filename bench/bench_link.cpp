// SPDX-License-Identifier: MIT
// End-to-end measurements of the wired panel (app::Panel, its window shown) in this process, on
// whichever platform QT_QPA_PLATFORM names: offscreen, or the real xcb one under xvfb-run.
//
//   bench_link idle SECONDS    the simulator as its own process, normal 10 Hz polling of a moving
//                              plant: CPU share, peak memory
//   bench_link full SECONDS    the simulator pushes status reports at 921,600 bit/s: every one
//                              taken in? CPU share
//   bench_link soak SECONDS    full pace with faults mixed in: memory growth, list sizes
//   bench_link flood SECONDS   a feeder thread writes changing reports into a pseudo-terminal as
//                              fast as it takes and reads what the panel sends: polls a second,
//                              a clicked button's frame, the last report on the window
//
// Each prints "figure<TAB>value<TAB>unit" lines for bench/run. The exit status says whether the
// run itself worked (reports lost, no count from the simulator), not whether a target was met.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/journaling.h"
#include "app/panel.h"
#include "app/panel_window.h"
#include "app/window_system.h"
#include "panel/form1.h"
#include "protocol/status_report.h"
#include "report_maker.h"
#include "run_for.h"

namespace {

using vp::panel::Form1;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CLOCK_MONOTONIC in ns: one clock for this thread, the feeder and the simulator alike.
long long NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
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

// Figures carry the platform they were taken on: "offscreen", or "Xvfb" for the xcb platform
// (bench/run starts it under xvfb-run).
QByteArray g_platform;

void Figure(const char* name, double value, const char* unit) {
    std::printf("%s (%s)\t%.6g\t%s\n", name, g_platform.constData(), value, unit);
    std::fflush(stdout);
}

using ::RunFor;
// Without a check: nothing but the panel's own work wakes the process.
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The panel as main() builds it, its window shown, connected on port 3 to `device`.
class Wired {
public:
    bool Start(const QString& device) {
        window_.reset();
        panel_.emplace(vp::app::Panel::Options{.ports = {{3, device}}});
        window_.emplace(*panel_);
        form().show();
        form().cmdConnect->click();
        const std::string& said = panel_->state().Caption(vp::state::Text::txtStatus);
        if (said != "Port 3 open successfully") {
            std::fprintf(stderr, "bench_link: %s\n", said.c_str());
            return false;
        }
        return RunFor(5000,
                      [&] { return form().windowHandle() && form().windowHandle()->isExposed(); });
    }
    vp::app::Panel& panel() { return *panel_; }
    Form1& form() { return window_->form(); }
    int Received() { return panel_->link().ReceivedMessageCount(); }
    int Shown() { return panel_->state().ShownReports(); }

private:
    std::optional<vp::app::Panel> panel_;
    std::optional<vp::app::PanelWindow> window_;  // declared after the panel: it goes first
};

// ---------------------------------------------------------------------------------------------
// idle, full, soak: the simulated controller as its own process

class WithSimulator {
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
        if (!wired_.Start(link_)) return false;
        // Pumps on: pressures fall and speeds climb, so the view has something to redraw.
        form().mnuRotaryOn->trigger();
        form().mnuTmp1On->trigger();
        form().mnuTmp2On->trigger();
        return RunFor(5000, [&] { return wired_.Shown() > 0; });
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
        form().cmdDisconnect->click();
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

    int Received() { return wired_.Received(); }
    vp::app::Panel& panel() { return wired_.panel(); }
    Form1& form() { return wired_.form(); }

private:
    QTemporaryDir dir_;
    QString link_;
    QProcess sim_;
    Wired wired_;
};

int Idle(WithSimulator& bench, int seconds) {
    RunFor(2000);  // let start-up and the first renders pass
    const int received = bench.Received();
    const auto renders = bench.form().view().Renders();
    const double cpu = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunFor(seconds * 1000);
    const double elapsed = wall.elapsed() / 1000.0;
    Figure("idle polling: panel CPU", (CpuSeconds() - cpu) / elapsed * 100, "% of one core");
    Figure("idle polling: renders per second", (bench.form().view().Renders() - renders) / elapsed,
           "/s");
    Figure("idle polling: peak resident memory (VmHWM)", StatusKb("VmHWM") / 1024, "MB");
    Figure("idle polling: peak resident memory (ru_maxrss)", MaxRssKb() / 1024, "MB");
    Figure("idle polling: messages handled", bench.Received() - received, "messages");
    bench.StopSim();
    return 0;
}

int Full(WithSimulator& bench, int seconds, const std::string& label = "full line rate") {
    const auto name = [&](const char* what) {
        static std::vector<std::string> names;  // Figure keeps the pointer only for the call
        names.push_back(label + ": " + what);
        return names.back().c_str();
    };
    const auto renders = bench.form().view().Renders();
    const double cpu = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    bench.Fault("push=921600");
    RunFor(seconds * 1000);
    const double elapsed = wall.elapsed() / 1000.0;
    const double share = (CpuSeconds() - cpu) / elapsed * 100;
    const double renderRate = (bench.form().view().Renders() - renders) / elapsed;
    bench.Fault("push=0");
    // Polls go on being answered; stop them so the last report can be counted.
    for (const char* poll : {"Timer1", "tmrTMPOperatingHours"})
        bench.panel().link().findChild<QTimer*>(QLatin1String(poll))->stop();
    bench.Settle();
    const int shown = bench.panel().state().ShownReports();
    // The simulator counts every report since it started, and the panel was connected before
    // the first one: the two totals must agree.
    const auto sent = bench.StopSim();
    Figure(name("panel CPU"), share, "% of one core");
    Figure(name("renders per second"), renderRate, "/s");
    Figure(name("peak resident memory (VmHWM)"), StatusKb("VmHWM") / 1024, "MB");
    Figure(name("reports taken in"), shown, "reports");
    Figure(name("crc errors"), bench.panel().state().CrcErrors(), "");
    if (!sent) {
        std::fprintf(stderr, "bench_link: the simulator gave no count\n");
        return 1;
    }
    Figure(name("reports sent by simulator"), static_cast<double>(sent->sent), "reports");
    Figure(name("reports pushed per second"), sent->pushed / (seconds * 1.0), "reports/s");
    Figure(name("reports lost"), static_cast<double>(sent->sent - shown), "reports");
    return sent->sent == shown ? 0 : 1;
}

int Soak(WithSimulator& bench, int seconds) {
    static const char* const kFaults[] = {
        "bad-checksum", "error-report=170", "warning=221",      "wrong-length=40", "noise",
        "split",        "flood=200",        "error-report=199", "warning=235",     "silence=0.5",
    };
    bench.Fault("push=921600");
    RunFor(10000);  // the lists fill and every cache warms before the first reading
    const double rssStart = StatusKb("VmRSS");
    const int handledStart = bench.Received();
    int maxList = 0;
    std::int32_t lastReceived = 0, lastCrc = 0, lastSent = 0;
    bool countersMonotonic = true;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; wall.elapsed() < seconds * 1000; ++i) {
        bench.Fault(kFaults[i % std::size(kFaults)]);
        RunFor(200);
        Form1& f = bench.form();
        const vp::state::PanelState& s = bench.panel().state();
        using vp::state::List;
        maxList = std::max({maxList, f.lstErrors->count(), f.lstWarnings->count(),
                            f.lstMessages->count(), int(s.Entries(List::lstErrors).size()),
                            int(s.Entries(List::lstWarnings).size()),
                            int(s.Entries(List::lstMessages).size())});
        const auto received = bench.Received();
        const auto crc = s.CrcErrors();
        const auto sent = bench.panel().link().SentMessageCount();
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
    Figure("soak: crc errors counted", bench.panel().state().CrcErrors(), "");
    Figure("soak: counters never went down", countersMonotonic ? 1 : 0, "");
    bench.Fault("push=0");
    bench.StopSim();
    return countersMonotonic && maxList <= 10 ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// flood: a feeder thread on a pseudo-terminal of its own

// Clicks a button as the operator would, from the feeder's thread. Under X the press and release
// go through the X server to the panel's window (a client connection of their own), so they
// arrive by the same road as a real click; offscreen they are posted to the button.
class Clicker {
public:
    // Where to click is worked out here, in the window's thread; Click() touches no widget.
    explicit Clicker(QWidget& button)
        : button_(button),
          local_(button.rect().center()),
          global_(button.mapToGlobal(local_)),
          at_(button.mapTo(button.window(), local_)) {
        QWidget& window = *button.window();
        if (g_platform != "Xvfb") return;
        window_ = static_cast<xcb_window_t>(window.winId());
        x_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(x_)) x_ = nullptr;
        if (x_) root_ = xcb_setup_roots_iterator(xcb_get_setup(x_)).data->root;
    }
    ~Clicker() {
        if (x_) xcb_disconnect(x_);
    }
    bool Ready() const { return g_platform != "Xvfb" || x_ != nullptr; }

    void Click() {
        if (!x_) {
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QCoreApplication::postEvent(
                    &button_, new QMouseEvent(
                                  type, QPointF(local_), QPointF(global_), Qt::LeftButton,
                                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                  Qt::NoModifier));
            }
            return;
        }
        for (const bool press : {true, false}) {
            xcb_button_press_event_t event{};
            event.response_type = press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE;
            event.detail = 1;  // the left button
            event.time = static_cast<xcb_timestamp_t>(NowNs() / 1000000);
            event.root = root_;
            event.event = window_;
            event.child = XCB_NONE;
            event.event_x = static_cast<std::int16_t>(at_.x());
            event.event_y = static_cast<std::int16_t>(at_.y());
            event.root_x = static_cast<std::int16_t>(global_.x());
            event.root_y = static_cast<std::int16_t>(global_.y());
            event.state = press ? 0 : XCB_BUTTON_MASK_1;
            event.same_screen = 1;
            // No event mask: the event goes to the client that made the window, the panel.
            xcb_send_event(x_, false, window_, XCB_EVENT_MASK_NO_EVENT,
                           reinterpret_cast<const char*>(&event));
        }
        xcb_flush(x_);
    }

private:
    QWidget& button_;
    const QPoint local_;   // in the button
    const QPoint global_;  // on the screen
    const QPoint at_;      // in the window
    xcb_connection_t* x_ = nullptr;
    xcb_window_t window_ = 0;
    xcb_window_t root_ = 0;
};

// Writes changing status reports into the master side of a pseudo-terminal as fast as the panel
// at the other end takes them, for a set time, and notes when each frame the panel sends arrives.
// Once a second it clicks the button and times until the button's frame arrives. At the end it
// completes the report under way and writes one report unlike any before it.
class Feeder {
public:
    static constexpr std::size_t kDistinct = 4096;
    static constexpr std::uint32_t kLastReport = 999999;
    static constexpr std::size_t kLine = vp::protocol::kStatusReportLength + 1;  // and its CR

    ~Feeder() {
        Stop();
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
    }

    bool Open() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
            ptsname_r(master_, name, sizeof name) != 0)
            return false;
        // Held open so that the line never hangs up between the panel's opening and closing.
        slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (slave_ < 0) return false;
        termios tio{};
        tcgetattr(slave_, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave_, TCSANOW, &tio);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        path_ = QString::fromLocal8Bit(name);
        for (std::uint32_t n = 0; n < kDistinct; ++n) ring_ += vp::bench::StatusReportLine(n);
        if (ring_.size() != kDistinct * kLine) return false;
        last_ = vp::bench::StatusReportLine(kLastReport);
        return true;
    }
    const QString& Path() const { return path_; }
    // The report that ends the flood, as the panel reads it.
    static std::string LastReportUptime() {
        const std::string body = vp::bench::StatusReportLine(kLastReport);
        return vp::protocol::ReadStatusReport(std::string_view(body).substr(0, body.size() - 1))
            ->uptimeText;
    }

    void Start(int seconds, std::function<void()> click) {
        thread_ = std::thread([this, seconds, click = std::move(click)] { Run(seconds, click); });
    }
    // Ends the thread after the flood; it goes on reading the panel's frames until then.
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    bool Done() const { return done_; }

    // Valid once Done().
    long long startNs = 0, endNs = 0;  // first byte, last byte of the flood written
    long long bytes = 0;
    double cpuSeconds = 0;          // the feeder's own, to take off the process's
    std::vector<long long> pollNs;  // each status poll read
    std::vector<double> clickMs;    // click to the button's frame read, each click
    int clicksUnanswered = 0;

private:
    void Run(int seconds, const std::function<void()>& click) {
        clockid_t cpuClock{};
        pthread_getcpuclockid(pthread_self(), &cpuClock);
        std::string rx;
        std::size_t offset = 0;  // into ring_, then into last_
        bool flooding = true, lastWritten = false;
        long long clickedNs = 0;
        // Polls sent before the flood wait in the line; they belong to no second of it.
        char stale[4096];
        while (read(master_, stale, sizeof stale) > 0) {
        }
        startNs = NowNs();
        const long long endDue = startNs + seconds * 1000000000LL;
        long long nextClick = startNs + 1000000000LL;
        while (!stop_) {
            const long long now = NowNs();
            // The flood ends on a report's end, then the last report goes out whole.
            const bool ending = flooding && now >= endDue;
            if (ending && offset % kLine == 0) {
                flooding = false;
                offset = 0;
            }
            if (flooding && now >= nextClick && nextClick < endDue) {
                nextClick += 1000000000LL;
                if (clickedNs == 0) {
                    clickedNs = NowNs();
                    click();
                }
            }
            pollfd fd{master_, static_cast<short>(POLLIN | (lastWritten ? 0 : POLLOUT)), 0};
            poll(&fd, 1, 5);
            if (fd.revents & POLLIN) {
                char buffer[4096];
                const ssize_t n = read(master_, buffer, sizeof buffer);
                if (n > 0) rx.append(buffer, static_cast<std::size_t>(n));
                std::size_t cr;
                while ((cr = rx.find('\r')) != std::string::npos) {
                    const long long at = NowNs();
                    if (rx.compare(0, 4, "111_") == 0 && flooding) pollNs.push_back(at);
                    if (rx.compare(0, 4, "124_") == 0 && clickedNs != 0) {
                        clickMs.push_back((at - clickedNs) / 1e6);
                        clickedNs = 0;
                    }
                    rx.erase(0, cr + 1);
                }
            }
            if (!lastWritten && (fd.revents & POLLOUT)) {
                const std::string& source = flooding ? ring_ : last_;
                // At most 4 KB a write, so a click is never held up behind a long write.
                std::size_t want = std::min<std::size_t>(source.size() - offset, 4096);
                if (ending && flooding) want = kLine - offset % kLine;
                const ssize_t n = write(master_, source.data() + offset, want);
                if (n > 0) {
                    bytes += n;
                    offset += static_cast<std::size_t>(n);
                    if (flooding) {
                        offset %= ring_.size();
                    } else if (offset == last_.size()) {
                        lastWritten = true;
                        endNs = NowNs();
                        timespec cpu{};
                        clock_gettime(cpuClock, &cpu);
                        cpuSeconds = cpu.tv_sec + cpu.tv_nsec / 1e9;
                        done_ = true;
                    }
                }
            }
        }
        if (clickedNs != 0) ++clicksUnanswered;
    }

    int master_ = -1, slave_ = -1;
    QString path_;
    std::string ring_, last_;
    std::thread thread_;
    std::atomic<bool> stop_{false}, done_{false};
};

// Notes when the text box first paints the given text.
class PaintWatch : public QObject {
public:
    PaintWatch(QLineEdit& box, QString text) : box_(box), text_(std::move(text)) {
        box_.installEventFilter(this);
    }
    long long paintedNs = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (paintedNs == 0 && event->type() == QEvent::Paint && box_.text() == text_)
            paintedNs = NowNs();
        return false;
    }

private:
    QLineEdit& box_;
    QString text_;
};

int Flood(int seconds) {
    Feeder feeder;
    if (!feeder.Open()) {
        std::fprintf(stderr, "bench_link: no pseudo-terminal\n");
        return 1;
    }
    Wired wired;
    if (!wired.Start(feeder.Path())) return 1;
    RunFor(1000);  // start-up's renders out of the way
    Form1& form = wired.form();
    Clicker clicker(*form.cmdStop);
    if (!clicker.Ready()) {
        std::fprintf(stderr, "bench_link: cannot reach the X server\n");
        return 1;
    }
    PaintWatch watch(*form.txtUptime, QString::fromLatin1(Feeder::LastReportUptime().c_str()));
    const int shownBefore = wired.Shown();
    const auto rendersBefore = form.view().Renders();
    const double cpu = CpuSeconds();
    feeder.Start(seconds, [&] { clicker.Click(); });
    RunFor((seconds + 5) * 1000, [&] { return feeder.Done() && watch.paintedNs != 0; });
    const double panelCpu = CpuSeconds() - cpu - feeder.cpuSeconds;
    feeder.Stop();
    if (!feeder.Done()) {
        std::fprintf(stderr, "bench_link: the flood never ended\n");
        return 1;
    }
    const double flooded = (feeder.endNs - feeder.startNs) / 1e9;
    // Polls in each whole second of the flood; the fewest is the figure.
    std::vector<int> perSecond(static_cast<std::size_t>(seconds), 0);
    for (const long long at : feeder.pollNs) {
        const auto s = static_cast<std::size_t>((at - feeder.startNs) / 1000000000LL);
        if (s < perSecond.size()) ++perSecond[s];
    }
    std::vector<double> clicks = feeder.clickMs;
    std::sort(clicks.begin(), clicks.end());
    Figure("flood: bytes taken per second", feeder.bytes / flooded, "bytes/s");
    const long long written = feeder.bytes / static_cast<long long>(Feeder::kLine);
    const int taken = wired.Shown() - shownBefore;
    Figure("flood: reports taken in per second", taken / flooded, "reports/s");
    Figure("flood: reports lost", static_cast<double>(written - taken), "reports");
    Figure("flood: crc errors", wired.panel().state().CrcErrors(), "");
    Figure("flood: panel CPU", panelCpu / flooded * 100, "% of one core");
    Figure("flood: feeder CPU (apart)", feeder.cpuSeconds / flooded * 100, "% of one core");
    Figure("flood: renders per second", (form.view().Renders() - rendersBefore) / flooded, "/s");
    Figure("flood: status polls per second, fewest in a second",
           *std::min_element(perSecond.begin(), perSecond.end()), "/s");
    Figure("flood: status polls per second, mean", feeder.pollNs.size() / (seconds * 1.0), "/s");
    Figure("flood: button clicks answered", static_cast<double>(clicks.size()), "clicks");
    Figure("flood: button clicks unanswered", feeder.clicksUnanswered, "clicks");
    if (!clicks.empty()) {
        Figure("flood: click to the button's frame, median", clicks[clicks.size() / 2], "ms");
        Figure("flood: click to the button's frame, slowest", clicks.back(), "ms");
    }
    const double lastMs = watch.paintedNs ? (watch.paintedNs - feeder.endNs) / 1e6 : 1e9;
    Figure("flood: end of flood to the last report painted", lastMs, "ms");
    return clicks.empty() || watch.paintedNs == 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    vp::app::PrepareWindowSystem();  // as the panel's own program does
    QApplication app(argc, argv);
    g_platform = QGuiApplication::platformName() == u"xcb" ? "Xvfb" : "offscreen";
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_link idle|full|journal|soak|flood SECONDS\n");
        return 2;
    }
    const QByteArray mode = argv[1];
    const int seconds = std::max(1, std::atoi(argv[2]));
    if (mode == "flood") return Flood(seconds);
    WithSimulator bench;
    if (!bench.Start()) return 1;
    if (mode == "idle") return Idle(bench, seconds);
    if (mode == "full") return Full(bench, seconds);
    if (mode == "journal") {
        // The journal wired as main() wires it, and a warning record for every message taken
        // in: the simulator cannot put a warning on each pushed report, so the journal is fed
        // one per report beside the real ones.
        QTemporaryDir dir;
        vp::app::Journaling journaling(bench.panel(),
                                       {.path = dir.filePath(QStringLiteral("journal.sqlite"))});
        journaling.Start();
        std::vector<double> costs;
        costs.reserve(1 << 20);
        QObject::connect(&bench.panel().link(), &vp::link::Link::MessageReceived, &journaling,
                         [&](std::string_view message) {
                             QElapsedTimer clock;
                             clock.start();
                             journaling.journal().Add(vp::journal::Kind::Warning, 220,
                                                      " 220 (OP_ERR_PNEUMATIC_PRESSURE)", {},
                                                      std::string(message));
                             costs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e3);
                         });
        const int status = Full(bench, seconds, "journal at full line rate");
        journaling.End();
        std::sort(costs.begin(), costs.end());
        if (!costs.empty()) {
            Figure("journal at full line rate: records", static_cast<double>(costs.size()), "");
            Figure("journal at full line rate: Add, p99", costs[costs.size() * 99 / 100], "us");
            Figure("journal at full line rate: Add, worst", costs.back(), "us");
        }
        return status;
    }
    if (mode == "soak") return Soak(bench, seconds);
    std::fprintf(stderr, "bench_link: unknown mode %s\n", argv[1]);
    return 2;
}
