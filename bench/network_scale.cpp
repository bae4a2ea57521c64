// SPDX-License-Identifier: MIT
// Twenty plants on one broker, as a site would run them: one mosquitto on 127.0.0.1, twenty
// simulated controllers (in this process, on a thread of their own), each behind its own
// `vacuum-panel --headless --publish mqtt://127.0.0.1:PORT/site/plantNN` process, one subscriber
// here that feeds twenty views from the broker the way a remote view does, and one that counts
// every topic's messages and bytes.
//
//   bench_network_scale SECONDS [PLANTS] [moving|idle]
//
// moving (the default): every plant's rotary pump runs, so its pressures move at every poll, and
// every 2 s each plant's valve 1V1 is switched in the simulated plant (the plants take turns,
// staggered, each switch at a random point between two polls). Five moments are noted: the
// switch, the first status report carrying it leaving the simulator (the reply to the panel's next
// poll), and the `state` topic, the first `gauge/TG1` and the view showing it.
// idle: nothing moves but the clock and the message counters (the plant's error counters are
// held); only the bytes per topic count. CPU shares
// come from /proc/PID/stat (the panels, the broker) and from this process less the simulators'
// thread (the view). At the end the simulators fall silent and each panel's published count of
// messages received must equal the replies its simulator wrote.
//
// Prints "figure<TAB>value<TAB>unit" lines for bench/run. The exit status says whether the run
// itself worked, not whether a target was met.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "publish/broker_url.h"
#include "publish/mqtt_client.h"
#include "publish/remote_feed.h"
#include "run_for.h"
#include "sim/simulated_controller.h"
#include "state/colour_values.h"
#include "state/panel_state.h"
#include "support/broker.h"
#include "text/number_reader.h"

namespace {

using vp::sim::SimulatedController;
using vp::state::Fill;

constexpr int kTogglePeriodMs = 2000;
constexpr int kPollMs = 100;                             // the panel's status poll
constexpr vp::sim::Valve kValve = vp::sim::Valve::k1V1;  // one the plant moves on command
constexpr Fill kValveShape = Fill::shp1V1;

long long NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

double OwnCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// utime + stime of another process, from /proc/PID/stat; negative when it cannot be read.
double ProcessCpuSeconds(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray stat = file.readAll();
    // The command name may hold spaces; the fields after it start with the state (field 3).
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return -1;
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (fields[11].toDouble() + fields[12].toDouble()) / ticks;  // fields 14 and 15
}

// The broker's threads, from /proc/PID/status: mosquitto does all its work on one.
int ThreadCount(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith("Threads:")) return line.mid(8).trimmed().toInt();
    return -1;
}

double LoadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ')[0].toDouble() : -1;
}

void Figure(const std::string& name, double value, const char* unit) {
    std::printf("scale: %s\t%.6g\t%s\n", name.c_str(), value, unit);
    std::fflush(stdout);
}

using ::RunFor;
void RunFor(int ms) {
    RunFor(ms, [] { return false; });
}

// One switch of the valve and when each step saw it (CLOCK_MONOTONIC, ns; 0 = not yet).
struct Sample {
    bool open = false;
    long long switchedNs = 0;  // in the plant model
    long long leftNs = 0;      // the first status report carrying it written to the line
    long long shownNs = 0;     // the view's state showing the new fill
    long long stateNs = 0;     // the `state` topic saying it
    long long gaugeNs = 0;     // the first `gauge/TG1` message after the report left
};

// Written by the simulators' thread, read by the view's; one lock for all, held briefly.
std::mutex g_samplesLock;

// The simulated controllers and their valve switching, on the thread they live on.
class Controllers : public QObject {
public:
    struct Plant {
        std::unique_ptr<SimulatedController> sim;
        QTimer* toggle = nullptr;
        std::vector<Sample> samples;  // under g_samplesLock
        int reportsAtSwitch = -1;     // waiting for a report when >= 0
        int answered = 0;             // replies written while not silenced
    };

    bool Start(const QDir& dir, int count, bool moving) {
        for (int i = 0; i < count; ++i) {
            Plant& plant = plants_.emplace_back();
            plant.sim = std::make_unique<SimulatedController>();
            // The rotary pump draws the plant down: every report carries new pressures.
            if (moving) plant.sim->plant().SwitchRotary(true);
            // An idle plant is one where nothing changes: no error counter creeps up either.
            else plant.sim->plant().HoldCounters(true);
            vp::Result<> up = plant.sim->Start();
            if (up.ok())
                up = plant.sim->MakeLink(dir.filePath(QStringLiteral("plant%1").arg(i + 1)));
            if (!up.ok()) {
                std::fprintf(stderr, "bench_network_scale: %s\n", qPrintable(up.error()));
                return false;
            }
            // Emitted just after the reply went out, in the same turn.
            connect(plant.sim.get(), &SimulatedController::BodyReceived, this,
                    [this, i] { Answered(plants_[i]); });
            plant.toggle = new QTimer(this);
            plant.toggle->setTimerType(Qt::PreciseTimer);
            plant.toggle->setInterval(kTogglePeriodMs);
            connect(plant.toggle, &QTimer::timeout, this, [this, i] { SwitchSoon(i); });
        }
        return true;
    }

    void BeginSwitching() {
        switching_ = true;
        const int count = static_cast<int>(plants_.size());
        for (int i = 0; i < count; ++i) {
            // Spread so that every plant's last switch, jitter and all, falls inside the run.
            QTimer::singleShot((kTogglePeriodMs - kPollMs) * i / count, Qt::PreciseTimer,
                               plants_[i].toggle, [this, i] {
                                   SwitchSoon(i);
                                   plants_[i].toggle->start();
                               });
        }
    }
    void StopSwitching() {
        switching_ = false;
        for (Plant& plant : plants_) plant.toggle->stop();
    }

    void Silence() {
        silenced_ = true;
        // A fixed request the simulator always takes.
        for (Plant& plant : plants_) (void)plant.sim->InjectFault(QStringLiteral("silence=3600"));
    }

    void Stop() {
        for (Plant& plant : plants_) plant.sim->Stop();
    }

    double CpuSeconds() const { return ThreadCpuSeconds(); }
    std::vector<Plant>& plants() { return plants_; }

private:
    // A switch lands anywhere between two of the panel's polls, not at the same point each time.
    void SwitchSoon(int i) {
        const int delay = static_cast<int>(jitter_() % kPollMs);
        QTimer::singleShot(delay, Qt::PreciseTimer, this, [this, i] {
            if (switching_) Switch(plants_[i]);
        });
    }

    void Switch(Plant& plant) {
        vp::sim::Plant& model = plant.sim->plant();
        const bool open = !model.ValveOpen(kValve);
        {
            std::lock_guard lock(g_samplesLock);
            plant.samples.push_back({.open = open, .switchedNs = NowNs()});
        }
        model.SetValve(kValve, open);
        plant.reportsAtSwitch = plant.sim->StatusReportsSent();
    }

    void Answered(Plant& plant) {
        if (silenced_) return;
        ++plant.answered;
        if (plant.reportsAtSwitch >= 0 && plant.sim->StatusReportsSent() > plant.reportsAtSwitch) {
            plant.reportsAtSwitch = -1;
            std::lock_guard lock(g_samplesLock);
            plant.samples.back().leftNs = NowNs();
        }
    }

    std::vector<Plant> plants_;
    bool silenced_ = false;
    bool switching_ = false;
    std::minstd_rand jitter_{1};  // fixed seed: runs differ only by the machine
};

// Calls `call` on the controllers' thread and waits for it.
template <typename Call>
void OnSimThread(Controllers& controllers, Call&& call) {
    QMetaObject::invokeMethod(&controllers, std::forward<Call>(call), Qt::BlockingQueuedConnection);
}

// The nearest-rank percentile of sorted values.
double Percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return NAN;
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

void Spread(const std::string& name, std::vector<double> values, const char* unit) {
    std::sort(values.begin(), values.end());
    Figure(name + ", median", Percentile(values, 0.5), unit);
    Figure(name + ", p99", Percentile(values, 0.99), unit);
    Figure(name + ", max", values.empty() ? NAN : values.back(), unit);
}

QString PlantName(int i) {
    return QStringLiteral("site/plant%1").arg(i + 1, 3, 10, QLatin1Char('0'));
}

// The received count as the view shows it: "1234 received messages".
int ReceivedShown(const vp::state::PanelState& state) {
    return static_cast<int>(
        vp::text::LeadingNumber(state.Caption(vp::state::Text::lblReceivedMessages)));
}

// Messages and bytes of one topic leaf, summed over the plants. Bytes are those of the PUBLISH
// packet: payload, topic, and 7 of header, length, packet id and properties.
struct Traffic {
    long long messages = 0;
    long long bytes = 0;
};

int Run(int seconds, int count, bool moving) {
    const double loadStart = LoadAverage();
    QTemporaryDir dir;
    Broker broker;
    if (!dir.isValid() || !broker.Start()) {
        std::fprintf(stderr, "bench_network_scale: %s\n", qPrintable(broker.Error()));
        return 1;
    }

    QThread simThread;
    simThread.start();
    Controllers controllers;
    controllers.moveToThread(&simThread);
    bool simsUp = false;
    OnSimThread(controllers, [&] { simsUp = controllers.Start(QDir(dir.path()), count, moving); });
    const auto stopSims = qScopeGuard([&] {
        OnSimThread(controllers, [&] { controllers.Stop(); });
        simThread.quit();
        simThread.wait();
    });
    if (!simsUp) return 1;
    std::vector<Controllers::Plant>& plants = controllers.plants();

    // The view: one connection, a feed and a state per plant.
    vp::publish::MqttClient::Options viewOptions;
    viewOptions.url = *vp::publish::ParseBrokerUrl(broker.Url(QStringLiteral("site")));
    viewOptions.clientId = QStringLiteral("scale-view-%1").arg(::getpid());
    vp::publish::MqttClient client(viewOptions);
    std::vector<std::unique_ptr<vp::state::PanelState>> states;
    std::vector<std::unique_ptr<vp::publish::RemoteFeed>> feeds;
    for (int i = 0; i < count; ++i) {
        states.push_back(std::make_unique<vp::state::PanelState>());
        feeds.push_back(
            std::make_unique<vp::publish::RemoteFeed>(client, *states.back(), PlantName(i)));
    }
    std::vector<vp::state::ColourValue> lastFill(static_cast<std::size_t>(count), 0);
    long long stateMessages = 0, stateBytes = 0;
    int staleMoments = 0;
    bool measuring = false;
    // Connected after the feeds: by the time this runs the state has taken the message.
    QObject::connect(
        &client, &vp::publish::MqttClient::MessageArrived, &client,
        [&](const QByteArray& topic, const QByteArray& payload) {
            const long long now = NowNs();
            const QByteArray root = "site/plant";
            if (!topic.startsWith(root) || !topic.endsWith("/view")) return;
            const int i = topic.mid(root.size(), 3).toInt() - 1;
            if (i < 0 || i >= count) return;
            ++stateMessages;
            stateBytes += payload.size();
            const vp::state::PanelState& s = *states[i];
            if (measuring && s.Link().stale) ++staleMoments;
            const auto fill = s.FillOf(kValveShape);
            if (fill == lastFill[i]) return;
            lastFill[i] = fill;
            if (fill != vp::state::kGreen && fill != vp::state::kYellow) return;
            std::lock_guard lock(g_samplesLock);
            for (Sample& sample : plants[i].samples) {
                if (sample.shownNs == 0 && sample.open == (fill == vp::state::kGreen)) {
                    sample.shownNs = now;
                    break;
                }
            }
        });
    if (const vp::Result<> started = client.Start(); !started.ok()) {
        std::fprintf(stderr, "bench_network_scale: %s\n", qPrintable(started.error()));
        return 1;
    }

    // The counting subscriber: every topic, as a dashboard or a historian would take them.
    vp::publish::MqttClient::Options counterOptions = viewOptions;
    counterOptions.clientId = QStringLiteral("scale-count-%1").arg(::getpid());
    vp::publish::MqttClient counter(counterOptions);
    counter.Subscribe("site/#", 1);
    std::map<QByteArray, Traffic> traffic;
    std::vector<QString> lastValve(static_cast<std::size_t>(count));
    std::vector<QByteArray> lastGauge(static_cast<std::size_t>(count));
    QObject::connect(
        &counter, &vp::publish::MqttClient::MessageArrived, &counter,
        [&](const QByteArray& topic, const QByteArray& payload) {
            const long long now = NowNs();
            const QByteArray root = "site/plant";
            if (!topic.startsWith(root)) return;
            const int i = topic.mid(root.size(), 3).toInt() - 1;
            const QByteArray leaf = topic.mid(root.size() + 4);
            if (i < 0 || i >= count) return;
            if (measuring) {
                Traffic& t = traffic[leaf];
                ++t.messages;
                t.bytes += payload.size() + topic.size() + 7;
            }
            if (leaf == "state") {
                const QString valve = QJsonDocument::fromJson(payload)["valves"]["1V1"].toString();
                if (valve.isEmpty() || valve == lastValve[i]) return;
                lastValve[i] = valve;
                std::lock_guard lock(g_samplesLock);
                for (Sample& sample : plants[i].samples)
                    if (sample.stateNs == 0 && sample.open == (valve == "open")) {
                        sample.stateNs = now;
                        break;
                    }
            } else if (leaf == "gauge/TG1") {
                std::lock_guard lock(g_samplesLock);
                for (Sample& sample : plants[i].samples)
                    if (sample.gaugeNs == 0 && sample.leftNs != 0 && sample.leftNs < now)
                        sample.gaugeNs = now;
            }
        });
    if (const vp::Result<> started = counter.Start(); !started.ok()) {
        std::fprintf(stderr, "bench_network_scale: %s\n", qPrintable(started.error()));
        return 1;
    }

    // The measured processes: one headless panel a plant.
    std::vector<std::unique_ptr<QProcess>> panels;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("plant%1").arg(i + 1);
        QDir(dir.path()).mkdir(name + QStringLiteral(".d"));  // its pressure log goes here
        auto& panel = panels.emplace_back(std::make_unique<QProcess>());
        panel->setProgram(QStringLiteral(VP_PANEL_PROGRAM));
        panel->setArguments({QStringLiteral("--headless"), QStringLiteral("--publish"),
                             broker.Url(PlantName(i)), QStringLiteral("--port"),
                             QStringLiteral("3=") + dir.filePath(name)});
        panel->setWorkingDirectory(dir.filePath(name + QStringLiteral(".d")));
        panel->setStandardOutputFile(QProcess::nullDevice());
        panel->setStandardErrorFile(dir.filePath(name + QStringLiteral(".err")));
        panel->start();
    }
    const auto stopPanels = qScopeGuard([&] {
        for (auto& panel : panels) panel->terminate();
        for (auto& panel : panels) {
            if (!panel->waitForFinished(5000)) panel->kill();
        }
    });
    const bool allLive = RunFor(30000, [&] {
        for (int i = 0; i < count; ++i) {
            if (!states[i]->Link().connected ||
                states[i]->FillOf(kValveShape) != vp::state::kYellow)
                return false;
        }
        return true;
    });
    if (!allLive) {
        std::fprintf(stderr, "bench_network_scale: not every plant showed in the view in 30 s\n");
        return 1;
    }
    // Start-up settles; an idle plant also takes its first round of slow polls (4 × 10 s), whose
    // first answers fill the state's error counts and hours once.
    RunFor(moving ? 2000 : 45000);

    // The measured run.
    std::vector<double> panelCpu(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) panelCpu[i] = ProcessCpuSeconds(panels[i]->processId());
    double brokerCpu = ProcessCpuSeconds(broker.pid());
    double ownCpu = OwnCpuSeconds();
    double simCpu = 0;
    OnSimThread(controllers, [&] { simCpu = controllers.CpuSeconds(); });
    const long long messagesBefore = stateMessages;
    QElapsedTimer wall;
    wall.start();
    measuring = true;
    if (moving) OnSimThread(controllers, [&] { controllers.BeginSwitching(); });
    RunFor(seconds * 1000);
    OnSimThread(controllers, [&] {
        controllers.StopSwitching();
        simCpu = controllers.CpuSeconds() - simCpu;
    });
    for (int i = 0; i < count; ++i)
        panelCpu[i] = ProcessCpuSeconds(panels[i]->processId()) - panelCpu[i];
    brokerCpu = ProcessCpuSeconds(broker.pid()) - brokerCpu;
    ownCpu = OwnCpuSeconds() - ownCpu;
    const double elapsed = wall.elapsed() / 1000.0;
    const long long messages = stateMessages - messagesBefore;
    measuring = false;

    // The last switches reach the view.
    const auto allShown = [&] {
        std::lock_guard lock(g_samplesLock);
        for (const auto& plant : plants) {
            for (const Sample& sample : plant.samples)
                if (sample.shownNs == 0 || sample.stateNs == 0 || sample.gaugeNs == 0) return false;
        }
        return true;
    };
    RunFor(3000, allShown);

    // Nothing lost on a serial link: once the simulators stop answering, each panel's published
    // count of messages received must come to the replies its simulator wrote.
    OnSimThread(controllers, [&] { controllers.Silence(); });
    const auto countsAgree = [&] {
        for (int i = 0; i < count; ++i)
            if (ReceivedShown(*states[i]) != plants[i].answered) return false;
        return true;
    };
    RunFor(8000, countsAgree);

    // Figures.
    std::vector<double> leftToShown, switchedToShown, leftToState, leftToGauge;
    int notShown = 0;
    {
        std::lock_guard lock(g_samplesLock);
        for (const auto& plant : plants) {
            for (const Sample& sample : plant.samples) {
                if (sample.shownNs == 0 || sample.leftNs == 0 || sample.stateNs == 0 ||
                    sample.gaugeNs == 0) {
                    ++notShown;
                    continue;
                }
                leftToShown.push_back((sample.shownNs - sample.leftNs) / 1e6);
                leftToState.push_back((sample.stateNs - sample.leftNs) / 1e6);
                leftToGauge.push_back((sample.gaugeNs - sample.leftNs) / 1e6);
                switchedToShown.push_back((sample.shownNs - sample.switchedNs) / 1e6);
            }
        }
    }
    Figure(moving ? "plants, pressures moving at every poll" : "plants, idle", count, "");
    Figure("measured for", elapsed, "s");
    Figure("load average at start (1 min)", loadStart, "");
    Figure("load average at end (1 min)", LoadAverage(), "");
    Figure("valve switches shown", static_cast<double>(leftToShown.size()), "samples");
    Figure("valve switches not shown", notShown, "samples");
    Spread("status report leaving the simulator to the state topic", leftToState, "ms");
    Spread("status report leaving the simulator to gauge/TG1", leftToGauge, "ms");
    Spread("status report leaving the simulator to the view", leftToShown, "ms");
    Figure("status report leaving the simulator to the view, over 50 ms",
           static_cast<double>(std::count_if(leftToShown.begin(), leftToShown.end(),
                                             [](double ms) { return ms > 50; })),
           "samples");
    Spread("switch in the plant to the view (with the wait for the next poll)", switchedToShown,
           "ms");

    std::vector<double> shares;
    for (int i = 0; i < count; ++i) {
        shares.push_back(panelCpu[i] / elapsed * 100);
        Figure("headless panel CPU, " + PlantName(i).toStdString(), shares.back(), "% of one core");
    }
    std::sort(shares.begin(), shares.end());
    Figure("headless panel CPU, highest", shares.back(), "% of one core");
    Figure("headless panel CPU, median", Percentile(shares, 0.5), "% of one core");
    Figure("headless panel CPU, lowest", shares.front(), "% of one core");
    Figure("broker CPU", brokerCpu / elapsed * 100, "% of one core");
    Figure("broker threads", ThreadCount(broker.pid()), "");
    Figure("view CPU (one connection, a feed and a state a plant)",
           (ownCpu - simCpu) / elapsed * 100, "% of one core");
    Figure("simulators CPU (their thread, apart)", simCpu / elapsed * 100, "% of one core");
    Figure("view messages into the view", messages / elapsed, "/s");
    Figure("view message size, mean", stateMessages ? double(stateBytes) / stateMessages : 0,
           "bytes");
    Figure("view messages showing a stale link", staleMoments, "messages");
    Traffic all, allButView;
    for (const auto& [leaf, t] : traffic) {
        const double perDay = double(t.bytes) / elapsed / count * 86400;
        Figure("topic " + leaf.toStdString() + ", bytes a plant a day", perDay, "bytes");
        Figure("topic " + leaf.toStdString() + ", messages a plant a second",
               double(t.messages) / elapsed / count, "/s");
        all.messages += t.messages;
        all.bytes += t.bytes;
        if (leaf != "view") allButView.bytes += t.bytes;
    }
    Figure("all topics but view, bytes a plant a day",
           double(allButView.bytes) / elapsed / count * 86400, "bytes");
    Figure("view, bytes a plant a second", double(traffic["view"].bytes) / elapsed / count,
           "bytes");
    Figure("messages at the broker, out to one subscriber of everything", all.messages / elapsed,
           "/s");
    Figure("bytes at the broker, out to one subscriber of everything", all.bytes / elapsed, "/s");

    long answered = 0, received = 0, crc = 0, badFrames = 0, dropped = 0;
    int plantsDiffering = 0;
    OnSimThread(controllers, [&] {
        for (int i = 0; i < count; ++i) {
            answered += plants[i].answered;
            received += ReceivedShown(*states[i]);
            crc += states[i]->CrcErrors();
            badFrames += plants[i].sim->BadFramesReceived();
            dropped += plants[i].sim->DroppedBytes();
            if (ReceivedShown(*states[i]) != plants[i].answered) {
                ++plantsDiffering;
                std::fprintf(stderr, "bench_network_scale: %s answered %d, panel received %d\n",
                             qPrintable(PlantName(i)), plants[i].answered,
                             ReceivedShown(*states[i]));
            }
        }
    });
    Figure("replies written by the simulators", static_cast<double>(answered), "messages");
    Figure("messages received by the panels (as published)", static_cast<double>(received),
           "messages");
    Figure("messages lost", static_cast<double>(answered - received), "messages");
    Figure("plants whose counts differ", plantsDiffering, "plants");
    Figure("crc errors (as published)", static_cast<double>(crc), "");
    Figure("bad frames at the simulators", static_cast<double>(badFrames), "");
    Figure("bytes dropped by the simulators", static_cast<double>(dropped), "bytes");

    client.Stop();
    counter.Stop();
    return (!moving || notShown == 0) && plantsDiffering == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 2 || argc > 4 ||
        (argc == 4 && std::strcmp(argv[3], "moving") != 0 && std::strcmp(argv[3], "idle") != 0)) {
        std::fprintf(stderr, "usage: bench_network_scale SECONDS [PLANTS] [moving|idle]\n");
        return 2;
    }
    const int seconds = std::max(1, std::atoi(argv[1]));
    const int plants = argc >= 3 ? std::clamp(std::atoi(argv[2]), 1, 100) : 20;
    return Run(seconds, plants, argc < 4 || std::strcmp(argv[3], "moving") == 0);
}
