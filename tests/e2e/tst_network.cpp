// SPDX-License-Identifier: MIT
// The plant on the network against a real mosquitto: the simulated controller on a pty -> a panel
// without a window publishing -> the broker -> a remote view in one process; each quality reached
// by its cause on the line, as a fresh subscriber reads it; then vacuum-panel run as the program:
// headless, its clean end, sudden death and freeze, Home Assistant's configs, a refusing broker,
// TLS, a lost serial line, the command lines it refuses. Waits are bounded polls.
#include <signal.h>
#include <sys/stat.h>

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/headless.h"
#include "app/panel.h"
#include "app/publishing.h"
#include "app/remote_view.h"
#include "panel/form1.h"
#include "sim/simulated_controller.h"
#include "state/state_map.h"
#include "support/broker.h"
#include "support/file_with_mode.h"
#include "support/link_probe.h"
#include "support/program.h"

using namespace vp;
using state::List;
using state::Text;
using test::AllGrey;
using test::RemoteShown;

namespace {

constexpr int kWait = 20000;  // ms: a program starting and a broker answering on a loaded machine

// The publishing side in one process: the simulated plant behind a panel without a window.
struct Gateway {
    QTemporaryDir dir;
    std::unique_ptr<sim::SimulatedController> sim = std::make_unique<sim::SimulatedController>();
    std::unique_ptr<app::Panel> panel;
    std::unique_ptr<app::Publishing> publishing;
    std::unique_ptr<app::Headless> headless;

    // A silent controller answers nothing until told otherwise.
    bool Start(const QString& url, bool silent = false) {
        const QString link = dir.filePath(QStringLiteral("controller"));
        if (!sim->Start().ok() || !sim->MakeLink(link).ok()) return false;
        if (silent && !sim->InjectFault(QStringLiteral("silence=600")).ok()) return false;
        panel = std::make_unique<app::Panel>(app::Panel::Options{.ports = {{3, link}}});
        app::Options options;
        options.publish = ParsedUrl(url);
        publishing = std::make_unique<app::Publishing>(*panel, *options.publish, options);
        headless = std::make_unique<app::Headless>(*panel);
        headless->Start(3);
        return publishing->Start().ok();
    }
};

// The view shows a plant whose panel is on line.
bool Shown(const state::PanelState& state) {
    return state.Link().connected && !AllGrey(state);
}

QJsonObject Parsed(const QByteArray& payload) {
    return QJsonDocument::fromJson(payload).object();
}

QString QualityIn(const QByteArray& state) {
    return Parsed(state)["quality"].toString();
}

// The plant as the state topic carries it: the line up and the gauges read.
bool LiveState(const QByteArray& payload) {
    return QualityIn(payload) == "good" && Parsed(payload)["gauges"].isObject();
}

// What a subscriber that comes now holds of the plant: the retained topics only.
struct Retained {
    explicit Retained(const QString& url) : client(url) {}
    // Waits until the broker has sent everything it holds for the prefix.
    bool Read() { return client.Connected() && client.RoundTrip(); }
    QByteArray operator[](const QByteArray& leaf) const { return client.Last(leaf); }
    TestClient client;
};

}  // namespace

class TestNetwork : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY2(broker_.Start(), qPrintable(broker_.Error()));
    }
    // A prefix of each test's own on the shared broker: no retained topic of another's.
    void init() {
        ++plant_;
        gateway_ = std::make_unique<Gateway>();
        view_ = std::make_unique<app::RemoteView>(ParsedUrl(Here()), app::Options{});
    }
    void cleanup() {
        view_.reset();
        gateway_.reset();
    }

    void theViewShowsWhatThePanelShows() {
        QVERIFY(BothLive());
        // A plant change, and news in all three lists.
        link::Link& line = gateway_->panel->link();
        test::LinkProbe::SlowPoll(line).stop();  // its answers would come at their own time
        // The faults take the controller's next reply: no poll may be on its way before 062_.
        test::LinkProbe::StatusPoll(line).stop();
        QTRY_COMPARE_WITH_TIMEOUT(gateway_->sim->FramesReceived(), line.SentMessageCount(), kWait);
        QVERIFY(line.SendCommand("062_").ok());  // open 1V1
        QVERIFY(gateway_->sim->InjectFault("error-report=170").ok());
        QVERIFY(gateway_->sim->InjectFault("warning=235").ok());
        QVERIFY(line.SendCommand("039_").ok());  // its answer has no handler: listed as received
        test::LinkProbe::StatusPoll(line).start();
        QTRY_COMPARE_WITH_TIMEOUT(view_->state().Caption(Text::lbl1V1status), std::string("open"),
                                  kWait);
        for (List list : {List::lstErrors, List::lstWarnings, List::lstMessages})
            QTRY_COMPARE_WITH_TIMEOUT(view_->state().Entries(list).size(), std::size_t(1), kWait);

        // Still: every caption, fill, list and counter alike, and on the window.
        Still();
        QTRY_COMPARE_WITH_TIMEOUT(RemoteShown(view_->state()),
                                  RemoteShown(gateway_->panel->state()), kWait);
        panel::Form1& form = view_->window();
        form.view().Render();
        QCOMPARE(form.lbl1V1status->Caption(), QStringLiteral("open"));
        QCOMPARE(form.lstWarnings->count(), 1);
        // States stop while the plant says nothing: the view's watchdog greys it.
        view_->feed().Watchdog_Timer();
        QVERIFY(AllGrey(view_->state()));
    }

    void theViewStartsBeforeThePanel() {
        QVERIFY(view_->Start().ok());
        QTRY_COMPARE_WITH_TIMEOUT(view_->client().State(),
                                  publish::MqttClient::BrokerState::Connected, kWait);
        QVERIFY(AllGrey(view_->state()));
        QVERIFY(gateway_->Start(Here()));
        QTRY_VERIFY_WITH_TIMEOUT(Shown(view_->state()), kWait);
    }

    void theBrokerRestartsUnderARunningPanel() {
        QVERIFY(BothLive());
        broker_.Stop();
        const int frames = gateway_->sim->FramesReceived();
        QTRY_VERIFY_WITH_TIMEOUT(gateway_->sim->FramesReceived() > frames + 20, kWait);
        QVERIFY2(broker_.Start(), qPrintable(broker_.Error()));
        QVERIFY(gateway_->panel->link().SendCommand("064_").ok());  // open 2V1 meanwhile
        QTRY_COMPARE_WITH_TIMEOUT(view_->state().Caption(Text::lbl2V1status), std::string("open"),
                                  kWait);
        // Nothing was lost on the line meanwhile: every frame answered, every answer taken.
        Still();
        QTRY_COMPARE_WITH_TIMEOUT(gateway_->panel->link().ReceivedMessageCount(),
                                  gateway_->sim->FramesReceived(), kWait);
        QCOMPARE(gateway_->panel->state().CrcErrors(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(RemoteShown(view_->state()),
                                  RemoteShown(gateway_->panel->state()), kWait);
    }

    void nothingFromTheBrokerReachesTheLine() {
        QVERIFY(gateway_->Start(Here()));
        QTRY_VERIFY_WITH_TIMEOUT(gateway_->sim->FramesReceived() > 10, kWait);
        const QList<QByteArray> polls = gateway_->sim->ReceivedBodies();

        TestClient intruder(Here());
        QVERIFY(intruder.Connected());
        for (const char* leaf : {"", "/online", "/state", "/events", "/pressure", "/command",
                                 "/cmd", "/set", "/1V1/set", "/write", "/state/set"})
            for (const QByteArray& payload :
                 {QByteArray("062_"), QByteArray("{\"command\":\"062_\"}"),
                  QByteArray("062_\r121_\r"), QByteArray("\x00\xff junk", 7), QByteArray()})
                intruder.client->Publish(intruder.prefix + leaf, payload, 1, false);
        const int frames = gateway_->sim->FramesReceived();
        QTRY_VERIFY_WITH_TIMEOUT(gateway_->sim->FramesReceived() > frames + 30, kWait);
        for (const QByteArray& body : gateway_->sim->ReceivedBodies())
            QVERIFY2(polls.contains(body) || body == "111_" || body == "040_", body.constData());
        QCOMPARE(gateway_->panel->state().Caption(Text::lbl1V1status), std::string("closed"));
    }

    // Each quality by its real cause on the line, as a subscriber that comes afterwards reads the
    // retained topics: never a reading that is not current.
    void eachQualityByItsCause() {
        QVERIFY(gateway_->Start(Here(), true));  // the controller silent from the start
        const auto holds = [this](const char* quality, bool reading) {
            Retained fresh(Here());
            if (!fresh.Read() || QualityIn(fresh["state"]) != quality) return false;
            const QJsonObject state = Parsed(fresh["state"]);
            const bool mbar = state["gauges"].toObject()["TG1"].toObject()["mbar"].isDouble();
            return mbar == reading && (fresh["gauge/TG1"] != "null") == reading &&
                   fresh["online"] == "true" && Parsed(fresh["view"])["schema"] == 2;
        };
        QTRY_VERIFY_WITH_TIMEOUT(holds("starting", false), kWait);
        Retained start(Here());
        QVERIFY(start.Read());
        QVERIFY(Parsed(start["state"])["time"].isNull());

        QVERIFY(gateway_->sim->InjectFault("silence=0").ok());
        QTRY_VERIFY_WITH_TIMEOUT(holds("good", true), kWait);
        // Silent: the watchdog's 3 s, then stale, the plant kept as of its time.
        QVERIFY(gateway_->sim->InjectFault("silence=600").ok());
        QTRY_VERIFY_WITH_TIMEOUT(holds("stale", false), kWait);
        Retained stale(Here());
        QVERIFY(stale.Read());
        QVERIFY(Parsed(stale["state"])["valves"].isObject());
        QVERIFY(!Parsed(stale["state"])["time"].isNull());

        QVERIFY(gateway_->sim->InjectFault("silence=0").ok());
        QTRY_VERIFY_WITH_TIMEOUT(holds("good", true), kWait);
        gateway_->sim->Stop();  // the pty closed under the panel
        QTRY_VERIFY_WITH_TIMEOUT(holds("disconnected", false), kWait);
    }

    // Events are numbered from 1 in a run, with their codes: a consumer sees one it missed.
    void eventsAreNumbered() {
        TestClient listener(Here());
        QVERIFY(listener.Connected());
        QVERIFY(gateway_->Start(Here()));
        for (int i = 1; i <= 3; ++i) {
            QVERIFY(gateway_->sim->InjectFault("error-report=17" + QString::number(i)).ok());
            QTRY_COMPARE_WITH_TIMEOUT(listener.heard.value("events").size(), i, kWait);
        }
        QList<int> seq, codes;
        for (const QByteArray& event : listener.heard.value("events")) {
            seq << Parsed(event)["seq"].toInt();
            codes << Parsed(event)["code"].toInt();
        }
        QCOMPARE(seq, (QList<int>{1, 2, 3}));
        QCOMPARE(codes, (QList<int>{171, 172, 173}));
    }

    void theViewCannotSend() {
        panel::Form1& form = view_->window();
        QCOMPARE(form.windowTitle(), "view of " + ParsedUrl(Here()).prefix);
        for (auto* button : form.findChildren<QPushButton*>())
            QVERIFY2(!button->isEnabled(), qPrintable(button->objectName()));
        for (auto* list : form.findChildren<QComboBox*>()) QVERIFY(!list->isEnabled());
        for (auto* box : {form.txtTMPspeed, form.txtHighVacuumSpeed, form.txtGlowDischargeSpeed})
            QVERIFY(!box->isEnabled());
        for (auto* menu : form.findChildren<QMenu*>())
            for (QAction* action : menu->actions()) QVERIFY(!action->isEnabled());
        // A right click on a component opens no menu. A menu runs its own loop until it closes,
        // and that loop's first turn catches it; one that did not block would be up afterwards.
        QWidget* opened = nullptr;
        QTimer catcher;
        catcher.setSingleShot(true);
        connect(&catcher, &QTimer::timeout, [&] {
            if ((opened = QApplication::activePopupWidget())) opened->close();
        });
        catcher.start(0);
        form.lblTmp1->MouseDown(Qt::RightButton);
        QVERIFY(!opened);
        QVERIFY(!QApplication::activePopupWidget());
        QVERIFY(!form.link().PortOpen());
    }

    void aBadStateIsIgnored() {
        QSignalSpy subscribed(&view_->client(), &publish::MqttClient::Connected);
        QSignalSpy refused(&view_->feed(), &publish::RemoteFeed::Refused);
        QVERIFY(view_->Start().ok());
        TestClient other(Here());
        QVERIFY(other.Connected());
        QTRY_VERIFY_WITH_TIMEOUT(!subscribed.isEmpty(), kWait);
        other.Publish("view", "{\"schema\": 2, \"fills\": {\"shpTG1\": -1}}");
        other.Publish("state", "{\"schema\": 2, \"quality\": \"fine\"}");
        other.Publish("online", "maybe");
        QTRY_COMPARE_WITH_TIMEOUT(refused.count(), 3, kWait);
        QVERIFY(AllGrey(view_->state()));
    }

    void headlessGatewayEndsCleanly_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP, not under nohup") << int(SIGHUP);
    }
    void headlessGatewayEndsCleanly() {
        QFETCH(int, signal);
        const QString record = dir_.filePath(QString("record-%1").arg(signal));
        TestClient listener(Here());
        // The rack PC's program itself, which --simulate would hand to the window's program.
        sim::SimulatedController sim;
        const vp::Result<> started = sim.Start();
        QVERIFY2(started.ok(), qPrintable(started.ok() ? QString() : started.error()));
        const QString link = dir_.filePath(QString("controller-%1").arg(signal));
        const vp::Result<> linked = sim.MakeLink(link);
        QVERIFY2(linked.ok(), qPrintable(linked.ok() ? QString() : linked.error()));
        Program panel(
            {"--headless", "--port", "3=" + link, "--publish", Here(), "--record", record});
        QTRY_VERIFY_WITH_TIMEOUT(panel.Said("vacuum-panel: link connected: Com3,115200,n,8,1\n"),
                                 kWait);
        QCOMPARE(panel.Said("vacuum-panel: Port 3 open successfully\n"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(listener.Last("online"), "true", kWait);
        QTRY_VERIFY_WITH_TIMEOUT(LiveState(listener.Last("state")), kWait);
        TestClient joining(Here());  // online is said once per connection: retained, or not seen
        QTRY_COMPARE_WITH_TIMEOUT(joining.Last("online"), "true", kWait);
        // A rack PC has no window system: none of its libraries is even loaded.
        QFile maps(QString("/proc/%1/maps").arg(panel.process.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        for (const char* library : {"libQt6Gui", "libQt6Widgets", "libX11", "libxcb"})
            QVERIFY2(!mapped.contains(library), library);

        panel.Signal(signal);
        QVERIFY(panel.EndedWith(0));
        // Retained; a clean goodbye drops the will, so only the panel's own word can put it there.
        // The plant is left as last known, offline, and no reading claims to be current.
        Retained late(Here());
        QVERIFY(late.Read());
        QCOMPARE(late["online"], "false");
        const QJsonObject state = Parsed(late["state"]);
        QCOMPARE(state["quality"].toString(), "offline");
        QVERIFY(!state["time"].isNull() && state["valves"].isObject());
        QVERIFY(state["gauges"].toObject()["TG1"].toObject()["mbar"].isNull());
        for (const char* gauge : {"gauge/TG1", "gauge/1G1", "gauge/2G1", "gauge/1G3"})
            QCOMPARE(late[gauge], "null");
        for (const char* topic : {"meta", "stats", "view"})
            QCOMPARE(Parsed(late[topic])["schema"], 2);
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray lines = file.readAll();
        QVERIFY(lines.count('\n') > 2);
        QVERIFY(lines.endsWith('\n'));  // no line cut short at the end
    }

    // The broker says the will for a panel that vanished, or froze past 1.5 keep-alives (15 s);
    // the view greys on it, not by its watchdog, which is put out of the way here.
    void killedGatewayGreysTheView_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGKILL") << int(SIGKILL);
        QTest::newRow("SIGSTOP") << int(SIGSTOP);
    }
    void killedGatewayGreysTheView() {
        QFETCH(int, signal);
        TestClient listener(Here());
        Program panel({"--headless", "--simulate", "--publish", Here()});
        QTRY_COMPARE_WITH_TIMEOUT(listener.Last("online"), "true", kWait);
        view_->feed().Watchdog->setInterval(24 * 3600 * 1000);
        QVERIFY(view_->Start().ok());
        QTRY_VERIFY_WITH_TIMEOUT(Shown(view_->state()), kWait);

        panel.Signal(signal);
        if (signal == SIGKILL) QVERIFY(panel.process.waitForFinished(kWait));
        QTRY_COMPARE_WITH_TIMEOUT(listener.Last("online"), "false", 2 * kWait);
        QTRY_VERIFY_WITH_TIMEOUT(AllGrey(view_->state()), kWait);
        // The retained state still says good: a consumer reads it with online, as the view does.
        Retained late(Here());
        QVERIFY(late.Read());
        QCOMPARE(QualityIn(late["state"]), "good");
        QCOMPARE(late["online"], "false");
    }

    // Home Assistant's configs, field by field, then withdrawn only when asked.
    void discoveryConfigs() {
        const QString ha = QStringLiteral("ha%1").arg(plant_);
        Program panel({"--headless", "--simulate", "--publish", Here(), "--discovery", ha});
        Retained configs(broker_.Url(ha));
        const QByteArray node = ParsedUrl(Here()).prefix.toUtf8();
        QTRY_COMPARE_WITH_TIMEOUT(configs.client.heard.size(), 17, kWait);
        QSet<QString> unique;
        for (auto it = configs.client.heard.begin(); it != configs.client.heard.end(); ++it) {
            const QJsonObject config = Parsed(it.value().last());
            const QString what = QString::fromUtf8(it.key());
            QVERIFY2(it.key().startsWith("sensor/" + node + "/") && it.key().endsWith("/config"),
                     qPrintable(what));
            QStringList keys = config.keys();
            for (const char* key :
                 {"name", "unique_id", "state_topic", "value_template", "device_class",
                  "availability", "availability_mode", "device", "origin"})
                QVERIFY2(keys.removeAll(key) == 1, qPrintable(what + ": " + key));
            const QString state = config["state_topic"].toString();
            const bool pressure = config["device_class"] == "pressure";
            QCOMPARE(state,
                     node + (pressure ? "/gauge/" + what.section('_', 1, 1).section('/', 0, 0)
                                      : QString("/state")));
            if (pressure) {
                QCOMPARE(config["unit_of_measurement"].toString(), "mbar");
                QCOMPARE(config["state_class"].toString(), "measurement");
                QCOMPARE(config["value_template"].toString(), "{{ value_json }}");
                keys.removeAll("unit_of_measurement");
                keys.removeAll("state_class");
            } else {
                QCOMPARE(config["device_class"].toString(), "enum");
                QVERIFY(!config["options"].toArray().isEmpty());
                keys.removeAll("options");
                keys.removeAll("entity_category");
            }
            QVERIFY2(keys.isEmpty(), qPrintable(what + ": " + keys.join(',')));
            const QJsonObject online = config["availability"].toArray().first().toObject();
            QCOMPARE(online, (QJsonObject{{"topic", QString(node + "/online")},
                                          {"payload_available", "true"},
                                          {"payload_not_available", "false"}}));
            QCOMPARE(config["availability_mode"].toString(), "all");
            const QJsonObject device = config["device"].toObject();
            QCOMPARE(device["name"].toString(), QString(node));
            QCOMPARE(device["identifiers"].toArray().size(), 1);
            for (const char* key : {"model", "manufacturer", "sw_version"})
                QVERIFY(!device[key].toString().isEmpty());
            unique << config["unique_id"].toString();
        }
        QCOMPARE(unique.size(), 17);
        panel.Signal(SIGTERM);
        QVERIFY(panel.Ended());
        // A clean end leaves them: Home Assistant shows the plant unavailable, not gone.
        Retained after(broker_.Url(ha));
        QVERIFY(after.Read());
        QCOMPARE(after.client.heard.size(), 17 + 1);  // and the round trip's marker

        Program remove({"--publish", Here(), "--discovery", ha, "--discovery-remove"});
        QVERIFY(remove.EndedWith(0));
        Retained gone(broker_.Url(ha));
        QVERIFY(gone.Read());
        QCOMPARE(gone.client.heard.size(), 1);  // the marker alone
    }

    void refusingBroker_data() {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("wrong password") << QByteArray("secret") << false;
        QTest::newRow("right password") << QByteArray("s3cret") << true;
    }
    void refusingBroker() {
        QFETCH(QByteArray, password);
        QFETCH(bool, accepted);
        Broker broker(BrokerOptions{.user = "alice", .password = "s3cret"});  // and nobody else
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        const QString credentials = Write("credentials", "alice\n" + password + "\n", 0600);
        const QString record = dir_.filePath("record-" + password);
        Program panel({"--headless", "--simulate", "--publish", broker.Url("plant"),
                       "--mqtt-credentials", credentials, "--record", record});
        if (accepted) {
            QTRY_VERIFY_WITH_TIMEOUT(panel.Said("vacuum-panel: broker connected: 127.0.0.1:"),
                                     kWait);
            QCOMPARE(panel.Said("broker refused"), 0);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(panel.Said("vacuum-panel: broker refused: "), 1, kWait);
        // Three attempts seen by the broker: the panel has long taken in the second refusal.
        QTRY_VERIFY_WITH_TIMEOUT(broker.Log().count("not authorised") >= 3, 2 * kWait);
        QCOMPARE(panel.Said("broker refused"), 1);
        QCOMPARE(panel.Said("broker connected"), 0);
        // The serial side goes on as without --publish.
        QVERIFY(panel.Said("link connected"));
        const qint64 size = QFileInfo(record).size();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(record).size() > size, kWait);
    }

    void tls_data() {
        QTest::addColumn<bool>("ca");
        QTest::newRow("test CA") << true;
        QTest::newRow("system CAs") << false;
    }
    void tls() {
        QFETCH(bool, ca);
        Broker broker(BrokerOptions{.user = {}, .password = {}, .tls = true});
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        QStringList arguments{"--headless", "--simulate", "--publish", broker.TlsUrl("plant")};
        if (ca) arguments << "--mqtt-ca" << broker.CaFile();
        Program panel(arguments);
        if (!ca) {
            QTRY_VERIFY_WITH_TIMEOUT(panel.Said("vacuum-panel: broker unreachable: "), kWait);
            QCOMPARE(panel.Said("broker connected"), 0);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(panel.Said("vacuum-panel: broker connected: 127.0.0.1:"), kWait);
        app::Options options;
        options.tls.ca = broker.CaFile();
        app::RemoteView view(ParsedUrl(broker.TlsUrl("plant")), options);
        QVERIFY(view.Start().ok());
        QTRY_VERIFY_WITH_TIMEOUT(Shown(view.state()), kWait);
    }

    // The line lost and back: the headless panel says so and opens the port again by itself.
    void headlessReopensALostLine() {
        sim::SimulatedController sim;
        QVERIFY(sim.Start().ok());
        const QString link = dir_.filePath("controller");
        QVERIFY(sim.MakeLink(link).ok());
        Program panel({"--headless", "--port", "3=" + link});
        QTRY_COMPARE_WITH_TIMEOUT(panel.Said("vacuum-panel: link connected: "), 1, kWait);
        sim.Stop();
        QTRY_VERIFY_WITH_TIMEOUT(panel.Said("vacuum-panel: link closed\n"), kWait);
        QVERIFY(sim.Start().ok());
        QTRY_COMPARE_WITH_TIMEOUT(panel.Said("vacuum-panel: link connected: "), 2, 15000);
    }

    void refusedCommandLines_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("names");  // what the one line must point at
        const QString url = "mqtt://127.0.0.1/plant";
        const QString tls = "mqtts://127.0.0.1/plant";
        // clang-format off
        QTest::newRow("view with simulate") << QStringList{"--view", url, "--simulate"} << "--simulate";
        QTest::newRow("view with publish") << QStringList{"--view", url, "--publish", url} << "--publish";
        QTest::newRow("CA without TLS") << QStringList{"--publish", url, "--mqtt-ca", "ca.pem"} << "mqtts://";
        QTest::newRow("certificate without key") << QStringList{"--publish", tls, "--mqtt-cert", "c.pem"} << "--mqtt-key";
        QTest::newRow("wildcard in prefix") << QStringList{"--view", "mqtt://127.0.0.1/site/+"} << "--view";
        QTest::newRow("discovery without publish") << QStringList{"--discovery", "--simulate"} << "--discovery wants --publish";
        QTest::newRow("discovery prefix with wildcard") << QStringList{"--publish", url, "--discovery", "ha/#"} << "ha/#";
        QTest::newRow("headless screenshot") << QStringList{"--headless", "--screenshot", "a.png"} << "--screenshot";
        QTest::newRow("credentials readable by others") << QStringList{"--publish", url, "--mqtt-credentials", "LOOSE"} << "LOOSE";
        // clang-format on
    }
    void refusedCommandLines() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, names);
        const QString loose = Write("loose", "alice\ns3cret\n", 0644);
        arguments.replaceInStrings("LOOSE", loose);
        names.replace("LOOSE", loose);
        Program panel(arguments);
        QVERIFY(panel.EndedWith(2));
        QVERIFY2(panel.err.startsWith("vacuum-panel: ") && panel.err.count('\n') == 1 &&
                     panel.err.endsWith('\n') && panel.err.contains(names.toUtf8()),
                 panel.err.constData());
    }

private:
    // No poll, no watchdog: the line falls still with every frame at the controller, while the
    // plant stays as good as its last report.
    void Still() {
        link::Link& line = gateway_->panel->link();
        test::LinkProbe::StatusPoll(line).stop();
        test::LinkProbe::Watchdog(line).stop();
        test::LinkProbe::SlowPoll(line).stop();
        QTRY_COMPARE_WITH_TIMEOUT(gateway_->sim->FramesReceived(), line.SentMessageCount(), kWait);
    }
    bool BothLive() {
        return gateway_->Start(Here()) && view_->Start().ok() &&
               QTest::qWaitFor([this] { return Shown(view_->state()); }, kWait);
    }
    QString Here() const { return broker_.Url(QStringLiteral("plant%1").arg(plant_)); }
    QString Write(const QString& name, const QByteArray& content, int mode) {
        return FileWithMode(QDir(dir_.path()), name, content, mode);
    }

    QTemporaryDir dir_;
    Broker broker_;  // anonymous clients welcome
    int plant_ = 0;
    std::unique_ptr<Gateway> gateway_;
    std::unique_ptr<app::RemoteView> view_;
};

QTEST_MAIN(TestNetwork)
#include "tst_network.moc"
