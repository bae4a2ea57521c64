// vacuum-panel as a gateway and as a view, run as the programs they are, against a real broker:
// the headless panel without any display, its clean end and its sudden death, a refusing broker,
// TLS, a lost serial line, and the command lines it refuses.
#include <signal.h>
#include <sys/stat.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/remote_view.h"
#include "publish/mqtt_client.h"
#include "sim/simulated_controller.h"
#include "support/broker.h"

using vp::publish::MqttClient;

namespace {

constexpr int kWait = 20000;  // ms: a program starting and a broker answering on a loaded machine

vp::publish::BrokerUrl Url(const QString& text) {
    return vp::publish::ParseBrokerUrl(text, nullptr).value();
}

MqttClient::Options Options(const QString& url) {
    MqttClient::Options options;
    options.url = Url(url);
    return options;
}

// One vacuum-panel process, with what it says on standard error.
struct Program {
    explicit Program(const QStringList& arguments) {
        // A rack PC or a service: no display, and no window system asked for.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        process.setProcessEnvironment(environment);
        process.setStandardOutputFile(QProcess::nullDevice());
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { err += process.readAllStandardError(); });
        process.start(QStringLiteral(VP_PANEL_PROGRAM), arguments);
    }
    ~Program() {
        process.kill();
        process.waitForFinished();
    }
    qsizetype Said(const char* text) const { return err.count(text); }
    void Signal(int signal) const { ::kill(pid_t(process.processId()), signal); }
    bool Ended() {
        return process.waitForFinished(kWait) && process.exitStatus() == QProcess::NormalExit;
    }

    QProcess process;
    QByteArray err;
};

// An independent subscriber to everything under the prefix; keeps the last payload per topic,
// named without the prefix.
struct Listener {
    explicit Listener(const QString& url) : client(Options(url)) {
        const QByteArray prefix = Url(url).prefix.toUtf8();
        QObject::connect(&client, &MqttClient::MessageArrived,
                         [this, prefix](const QByteArray& topic, const QByteArray& payload) {
                             last[topic.mid(prefix.size() + 1)] = payload;
                         });
        client.Subscribe(prefix.toStdString() + "/#", 1);
        started = client.Start(nullptr);
    }
    MqttClient client;
    QHash<QByteArray, QByteArray> last;
    bool started = false;
};

// The plant as the state topic carries it: the line up and the gauges read.
bool LiveState(const QByteArray& payload) {
    const QJsonObject state = QJsonDocument::fromJson(payload).object();
    return state["link"].toObject()["connected"].toBool() && state["gauges"].isObject();
}

bool AllGrey(const vp::state::PanelState& state) {
    for (std::size_t i = 0; i < vp::state::kIndicatorCount; ++i)
        if (state.FillOf(static_cast<vp::state::Fill>(i)) != vp::state::kGreyText) return false;
    return true;
}

}  // namespace

class TestGatewayProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY2(broker_.Start(), qPrintable(broker_.Error()));
    }
    // A prefix of each test's own on the shared broker: no retained topic of another's.
    void init() { ++plant_; }

    void headlessGatewayEndsCleanly_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void headlessGatewayEndsCleanly() {
        QFETCH(int, signal);
        const QString record = dir_.filePath(QString("record-%1").arg(signal));
        Listener listener(Here());
        QVERIFY(listener.started);
        Program panel({"--headless", "--simulate", "--publish", Here(), "--record", record});
        QTRY_VERIFY_WITH_TIMEOUT(panel.Said("vacuum-panel: link connected: Com3,115200,n,8,1\n"),
                                 kWait);
        QCOMPARE(panel.Said("vacuum-panel: Port 3 open successfully\n"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(listener.last.value("online"), "true", kWait);
        QTRY_VERIFY_WITH_TIMEOUT(LiveState(listener.last.value("state")), kWait);
        Listener joining(Here());  // online is said once per connection: retained, or not seen
        QTRY_COMPARE_WITH_TIMEOUT(joining.last.value("online"), "true", kWait);
        // A rack PC has no window system: none of its libraries is even loaded.
        QFile maps(QString("/proc/%1/maps").arg(panel.process.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        for (const char* library : {"libQt6Gui", "libQt6Widgets", "libX11", "libxcb"})
            QVERIFY2(!mapped.contains(library), library);

        panel.Signal(signal);
        QVERIFY(panel.Ended());
        QCOMPARE(panel.process.exitCode(), 0);
        // Retained; a clean goodbye drops the will, so only the panel's own word can put it there.
        Listener late(Here());
        QTRY_COMPARE_WITH_TIMEOUT(late.last.value("online"), "false", kWait);
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray lines = file.readAll();
        QVERIFY(lines.count('\n') > 2);
        QVERIFY(lines.endsWith('\n'));  // no line cut short at the end
    }

    // The broker says the will for a panel that vanished; the view greys on it at once, not by
    // its watchdog, which is put out of the way here.
    void killedGatewayGreysTheView() {
        Listener listener(Here());
        Program panel({"--headless", "--simulate", "--publish", Here()});
        QTRY_COMPARE_WITH_TIMEOUT(listener.last.value("online"), "true", kWait);
        vp::app::RemoteView view(Url(Here()), {});
        view.feed().Watchdog->setInterval(24 * 3600 * 1000);
        QVERIFY(!view.Start());
        QTRY_VERIFY_WITH_TIMEOUT(view.state().Link.connected && !AllGrey(view.state()), kWait);

        panel.Signal(SIGKILL);
        QVERIFY(panel.process.waitForFinished(kWait));
        QTRY_COMPARE_WITH_TIMEOUT(listener.last.value("online"), "false", kWait);
        QTRY_VERIFY_WITH_TIMEOUT(AllGrey(view.state()), kWait);
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
        vp::app::Options options;
        options.tls.ca = broker.CaFile();
        vp::app::RemoteView view(Url(broker.TlsUrl("plant")), options);
        QVERIFY(!view.Start());
        QTRY_VERIFY_WITH_TIMEOUT(view.state().Link.connected && !AllGrey(view.state()), kWait);
    }

    // The line lost and back: the headless panel says so and opens the port again by itself.
    void headlessReopensALostLine() {
        vp::sim::SimulatedController sim;
        QString error;
        QVERIFY2(sim.Start(&error), qPrintable(error));
        const QString link = dir_.filePath("controller");
        QVERIFY2(sim.MakeLink(link, &error), qPrintable(error));
        Program panel({"--headless", "--port", "3=" + link});
        QTRY_COMPARE_WITH_TIMEOUT(panel.Said("vacuum-panel: link connected: "), 1, kWait);
        sim.Stop();
        QTRY_VERIFY_WITH_TIMEOUT(panel.Said("vacuum-panel: link closed\n"), kWait);
        QVERIFY2(sim.Start(&error), qPrintable(error));
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
        QTest::newRow("no prefix") << QStringList{"--publish", "mqtt://127.0.0.1"} << "--publish";
        QTest::newRow("wildcard in prefix") << QStringList{"--view", "mqtt://127.0.0.1/site/+"} << "--view";
        QTest::newRow("unknown scheme") << QStringList{"--publish", "http://127.0.0.1/p"} << "--publish";
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
        QVERIFY(panel.Ended());
        QCOMPARE(panel.process.exitCode(), 2);
        QVERIFY2(panel.err.startsWith("vacuum-panel: ") && panel.err.count('\n') == 1 &&
                     panel.err.endsWith('\n') && panel.err.contains(names.toUtf8()),
                 panel.err.constData());
    }

private:
    QString Here() const { return broker_.Url(QStringLiteral("plant%1").arg(plant_)); }
    QString Write(const QString& name, const QByteArray& content, int mode) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
        file.write(content);
        file.close();
        ::chmod(QFile::encodeName(path).constData(), mode_t(mode));
        return path;
    }

    QTemporaryDir dir_;
    Broker broker_;  // anonymous clients welcome
    int plant_ = 0;
};

QTEST_MAIN(TestGatewayProgram)
#include "tst_gateway_program.moc"
