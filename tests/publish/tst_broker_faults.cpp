// SPDX-License-Identifier: MIT
// The MQTT client against a real mosquitto that misbehaves: away for a while, frozen, refusing by
// its ACL, speaking TLS where plain was expected and the other way round, flooding a slow view,
// and a gateway's old session left behind a dead connection.
#include <signal.h>

#include <QProcess>
#include <QScopeGuard>
#include <QSemaphore>
#include <QtTest>

#include "app/publishing.h"
#include "app/rate_limited_line.h"
#include "support/broker.h"
#include "support/tcp_proxy.h"

using namespace vp;
using publish::MqttClient;
using State = MqttClient::BrokerState;

namespace {

constexpr int kWait = 20000;  // ms: the back-off's first steps and a loaded machine

// The broker stopped (SIGSTOP) for as long as this lives: it holds its sockets and answers
// nothing, as a hung host does.
struct Frozen {
    explicit Frozen(qint64 pid) : pid(pid) { ::kill(pid_t(pid), SIGSTOP); }
    ~Frozen() { Thaw(); }
    void Thaw() {
        if (pid) ::kill(pid_t(pid), SIGCONT);
        pid = 0;
    }
    qint64 pid;
};

// Every message a client hears, in the order it hears them, named without the prefix.
struct Listener {
    explicit Listener(const QString& url, MqttClient::Options options = {}) {
        options.url = ParsedUrl(url);
        const std::string prefix = options.url.prefix.toStdString();
        client = std::make_unique<MqttClient>(std::move(options));
        QObject::connect(client.get(), &MqttClient::Connected, [this] { ++connects; });
        QObject::connect(client.get(), &MqttClient::MessageArrived,
                         [this, n = qsizetype(prefix.size()) + 1](const QByteArray& topic,
                                                                  const QByteArray& payload) {
                             heard << topic.mid(n) + ' ' + payload;
                         });
        client->Subscribe(prefix + "/#", 1);
        (void)client->Start();
    }
    bool Connected() {
        return QTest::qWaitFor([this] { return connects > 0; }, kWait);
    }
    QStringList Heard(const QByteArray& leaf) const {
        QStringList payloads;
        for (const QByteArray& line : heard)
            if (line.startsWith(leaf + ' '))
                payloads << QString::fromUtf8(line.mid(leaf.size() + 1));
        return payloads;
    }

    std::unique_ptr<MqttClient> client;
    int connects = 0;
    QList<QByteArray> heard;
};

MqttClient::Options Gateway(const QString& url) {
    return app::ClientOptions(ParsedUrl(url), app::Options{}, true);
}

}  // namespace

class TestBrokerFaults : public QObject {
    Q_OBJECT

private slots:
    // While the broker is away the plant keeps changing; once back, it hears the online flag,
    // then the plant as it is now, then the events it missed, in their order.
    void afterAnOutageBirthThenNewestThenQueued() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        TcpProxy proxy(broker.port());
        Listener observer(broker.Url("plant"));
        QVERIFY(observer.Connected());
        MqttClient gateway(Gateway(proxy.Url("plant")));
        QSignalSpy states(&gateway, &MqttClient::BrokerStateChanged);
        QVERIFY(gateway.Start().ok());
        gateway.Publish("plant/state", "s0", 1, true);
        QTRY_VERIFY_WITH_TIMEOUT(observer.Heard("state").contains("s0"), kWait);

        proxy.Hold();
        proxy.Cut();
        QTRY_VERIFY_WITH_TIMEOUT(gateway.State() == State::Unreachable, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(observer.heard.contains("online false"), kWait);  // its will
        observer.heard.clear();
        // More snapshots than any bound on events, and events after them.
        for (int i = 1; i <= 1500; ++i)
            gateway.Publish("plant/state", "s" + QByteArray::number(i), 1, true);
        for (int i = 0; i < 50; ++i)
            gateway.Publish("plant/events", "e" + QByteArray::number(i), 1, false);
        proxy.Release();

        QTRY_VERIFY_WITH_TIMEOUT(observer.Heard("events").size() == 50, kWait);
        QList<QByteArray> expected{"online true", "state s1500"};
        for (int i = 0; i < 50; ++i) expected << "events e" + QByteArray::number(i);
        QCOMPARE(observer.heard, expected);
        QCOMPARE(gateway.DroppedCount(), 0);
    }

    // A connection that stops answering (a frozen broker, a pulled cable) is given up after the
    // keep-alive, and the reason named; once the broker answers again it has the online flag and
    // the plant as it is now, whatever its will said meanwhile.
    void aSilentBrokerIsGivenUpAfterTheKeepAlive() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        TcpProxy proxy(broker.port());
        MqttClient::Options options = Gateway(proxy.Url("plant"));
        options.keepAliveSeconds = 5;
        MqttClient gateway(options);
        QSignalSpy states(&gateway, &MqttClient::BrokerStateChanged);
        QVERIFY(gateway.Start().ok());
        QTRY_VERIFY_WITH_TIMEOUT(gateway.State() == State::Connected, kWait);

        proxy.Freeze();
        for (int i = 0; i < 100; ++i)
            gateway.Publish("plant/state", "s" + QByteArray::number(i), 1, true);
        QTRY_VERIFY_WITH_TIMEOUT(gateway.State() == State::Unreachable, 4 * kWait);
        const QString detail = states.last().last().toString();
        QVERIFY2(detail.contains("keep-alive (5 s)"), qPrintable(detail));
        proxy.Thaw();

        QTRY_VERIFY_WITH_TIMEOUT(gateway.State() == State::Connected, kWait);
        Listener late(broker.Url("plant"));
        QTRY_COMPARE_WITH_TIMEOUT(late.Heard("state"), QStringList{"s99"}, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(late.Heard("online"), QStringList{"true"}, kWait);
    }

    // A frozen broker acknowledges nothing: events are held up to the bound, arrive complete and
    // in order once it wakes, and the rest is counted and told once.
    void eventsBeyondTheBoundAreCountedAndTold() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        Listener observer(broker.Url("plant"));
        QVERIFY(observer.Connected());
        MqttClient gateway(OptionsFor(broker.Url("plant")));
        QSignalSpy connected(&gateway, &MqttClient::Connected);
        QSignalSpy dropped(&gateway, &MqttClient::EventsDropped);
        QVERIFY(gateway.Start().ok());
        QTRY_VERIFY_WITH_TIMEOUT(!connected.isEmpty(), kWait);

        const int extra = 200;
        {
            Frozen frozen(broker.pid());
            for (int i = 0; i < MqttClient::kMaxQueuedEvents + extra; ++i)
                gateway.Publish("plant/events", QByteArray::number(i), 1, false);
            QCOMPARE(gateway.DroppedCount(), extra);
        }
        QStringList expected;
        for (int i = 0; i < MqttClient::kMaxQueuedEvents; ++i) expected << QString::number(i);
        QTRY_COMPARE_WITH_TIMEOUT(observer.Heard("events").size(), expected.size(), kWait);
        QCOMPARE(observer.Heard("events"), expected);
        QTRY_COMPARE_WITH_TIMEOUT(dropped.size(), 1, kWait);
        QCOMPARE(dropped.first().first().toInt(), extra);
    }

    // A gateway's connection dies without a FIN (the proxy stops forwarding) and a new gateway
    // starts for the same plant: the broker hands it the session at once, so no old will is left
    // to come a keep-alive later on top of the new online=true.
    void aRestartedGatewayTakesTheOldSessionOver() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        TcpProxy proxy(broker.port());
        Listener observer(broker.Url("plant"));
        QVERIFY(observer.Connected());
        MqttClient::Options old = Gateway(proxy.Url("plant"));
        old.keepAliveSeconds = 120;  // the broker would wait 3 min to notice it alone
        MqttClient dead(old);
        QSignalSpy deadUp(&dead, &MqttClient::Connected);
        QVERIFY(dead.Start().ok());
        QTRY_VERIFY_WITH_TIMEOUT(!deadUp.isEmpty(), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(observer.Heard("online") == QStringList{"true"}, kWait);
        proxy.Freeze();

        MqttClient gateway(Gateway(broker.Url("plant")));
        QVERIFY(gateway.Start().ok());
        // The broker closed the old connection: the session, and its will, are gone with it.
        QTRY_COMPARE_WITH_TIMEOUT(proxy.closedByUpstream(), 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(observer.Heard("online").last(), QStringLiteral("true"), kWait);
        QVERIFY(!observer.Heard("online").contains("false"));
        Listener late(broker.Url("plant"));
        QTRY_COMPARE_WITH_TIMEOUT(late.Heard("online"), QStringList{"true"}, kWait);
    }

    // A gateway that ends with a backlog says its last word at once and hands the backlog over
    // within the bound, never more at a time than the broker takes.
    void anEndWithABacklogDeliversIt() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        Listener observer(broker.Url("plant"));
        QVERIFY(observer.Connected());
        MqttClient gateway(Gateway(broker.Url("plant")));
        QSignalSpy dropped(&gateway, &MqttClient::EventsDropped);
        QVERIFY(gateway.Start().ok());
        QTRY_VERIFY_WITH_TIMEOUT(observer.Heard("online") == QStringList{"true"}, kWait);
        for (int i = 0; i < 500; ++i) gateway.Publish("plant/events", "e", 1, false);
        gateway.Stop({MqttClient::Message{"plant/online", "false", 1, true}});
        QTRY_COMPARE_WITH_TIMEOUT(observer.Heard("events").size(), 500, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(observer.Heard("online").last(), QStringLiteral("false"), kWait);
        QVERIFY(dropped.isEmpty());
    }

    // Publishes the broker's ACL refuses are said once per topic; the allowed ones go on.
    void refusedPublishesAreSaidOncePerTopic() {
        BrokerOptions options;
        options.acl = QStringLiteral("topic readwrite plant/open/#\ntopic read plant/#\n");
        Broker broker(options);
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        Listener gateway(broker.Url("plant"));
        QSignalSpy refused(gateway.client.get(), &MqttClient::PublishRefused);
        QVERIFY(gateway.Connected());
        for (int i = 0; i < 3; ++i) {
            gateway.client->Publish("plant/state", "x", 1, true);
            gateway.client->Publish("plant/events", "x", 1, false);
        }
        gateway.client->Publish("plant/open/marker", "m", 1, false);
        // The marker's way back comes after the broker's answers to everything before it.
        QTRY_VERIFY_WITH_TIMEOUT(gateway.Heard("open/marker").size() == 1, kWait);
        QCOMPARE(refused.size(), 2);
        QCOMPARE(refused[0][0].toString(), QStringLiteral("plant/state"));
        QCOMPARE(refused[1][0].toString(), QStringLiteral("plant/events"));
        QVERIFY2(refused[0][1].toString().contains("135"), qPrintable(refused[0][1].toString()));
    }

    void remoteFailuresNameTheirCause_data() {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<bool>("toTlsPort");
        QTest::addColumn<QString>("serverNames");
        QTest::addColumn<QString>("ca");  // empty: the broker's own
        QTest::addColumn<QStringList>("said");
        const QString names = QStringLiteral("IP:127.0.0.1,DNS:localhost");
        QTest::newRow("plain to the TLS port")
            << false << true << names << "" << QStringList{"closed the connection", "mqtts://"};
        QTest::newRow("TLS to the plain port")
            << true << false << names << "" << QStringList{"TLS: ", "a plain port?"};
        QTest::newRow("unknown authority")
            << true << true << names << "/etc/ssl/certs/ca-certificates.crt"
            << QStringList{"TLS: ", "certificate verify failed", "self-signed certificate"};
        QTest::newRow("name mismatch")
            << true << true << "DNS:elsewhere.invalid"
            << "" << QStringList{"certificate verify failed", "not for host 127.0.0.1"};
    }
    void remoteFailuresNameTheirCause() {
        QFETCH(bool, tls);
        QFETCH(bool, toTlsPort);
        QFETCH(QString, serverNames);
        QFETCH(QString, ca);
        QFETCH(QStringList, said);
        BrokerOptions brokerOptions;
        brokerOptions.tls = true;
        brokerOptions.tlsNames = serverNames;
        Broker broker(brokerOptions);
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        MqttClient::Options options =
            OptionsFor(QStringLiteral("%1://127.0.0.1:%2/plant")
                           .arg(tls ? "mqtts" : "mqtt")
                           .arg(toTlsPort ? broker.tlsPort() : broker.port()));
        if (tls) options.tls.ca = ca.isEmpty() ? broker.CaFile() : ca;
        MqttClient client(options);
        QSignalSpy states(&client, &MqttClient::BrokerStateChanged);
        QVERIFY(client.Start().ok());
        QTRY_VERIFY_WITH_TIMEOUT(!states.isEmpty(), kWait);
        QCOMPARE(states.first().first().value<State>(), State::Unreachable);
        const QString detail = states.first().last().toString();
        for (const QString& part : said) QVERIFY2(detail.contains(part), qPrintable(detail));
    }

    // A view whose thread is busy while the broker floods it keeps the newest state and at most
    // the bound of other messages, and counts what it discarded; a payload larger than it takes
    // is kept back by the broker.
    void aBusyViewHoldsBoundedArrivals() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        MqttClient::Options options = OptionsFor(broker.Url("plant"));
        options.maxIncomingPacketBytes = 100 * 1024;
        Listener view(broker.Url("plant"), options);
        QSignalSpy discarded(view.client.get(), &MqttClient::ArrivalsDiscarded);
        QVERIFY(view.Connected());

        // The view's thread takes nothing until both floods have reached its network thread: it
        // is held at a gate while this one waits for the count, and then hands the view back.
        const int states = 300, events = MqttClient::kMaxQueuedArrivals + 500;
        QByteArray stateLines, eventLines;
        for (int i = 0; i < states; ++i)
            stateLines += QByteArray(50 * 1024, 'x') + QByteArray::number(i) + '\n';
        for (int i = 0; i < events; ++i) eventLines += QByteArray::number(i) + '\n';
        {
            QSemaphore gate;
            QThread busy;
            auto open = qScopeGuard([&] {
                gate.release();
                busy.quit();
                busy.wait();
            });
            view.client->moveToThread(&busy);
            busy.start();
            QMetaObject::invokeMethod(view.client.get(), [&gate] { gate.acquire(); });
            // Too large: had the broker sent it, it would be counted before the rest arrived.
            Publish(broker, "plant/state", QByteArray(200 * 1024, 'y') + '\n', true);
            Publish(broker, "plant/state", stateLines, true);
            Publish(broker, "plant/events", eventLines, false);
            QTRY_COMPARE_WITH_TIMEOUT(view.client->ArrivedCount(), states + events, kWait);
            // Its thread ends only once what waits for the view is taken or moved back here.
            QMetaObject::invokeMethod(view.client.get(), [&view, &busy, here = thread()] {
                view.client->moveToThread(here);
                busy.quit();
            });
            open.dismiss();
            gate.release();
            busy.wait();
        }

        QTRY_COMPARE_WITH_TIMEOUT(view.Heard("events").size(), MqttClient::kMaxQueuedArrivals,
                                  kWait);
        const QStringList heardStates = view.Heard("state");
        QCOMPARE(heardStates.size(), 1);
        QVERIFY(heardStates.first().endsWith(QString::number(states - 1)));
        QCOMPARE(view.Heard("events").last(), QString::number(MqttClient::kMaxQueuedArrivals - 1));
        QCOMPARE(discarded.size(), 1);
        QCOMPARE(discarded.first().first().toInt(), events - MqttClient::kMaxQueuedArrivals);
    }

    void refusalLinesAreRateLimited() {
        QStringList said;
        app::RateLimitedLine line([&said](const QString& text) { said << text; });
        line.Say("a");
        line.Say("b");
        line.Say("c");
        QCOMPARE(said, QStringList{"a"});
        line.Timer_Timer();
        QCOMPARE(said, (QStringList{"a", "2 more in the last minute, the last: c"}));
        QVERIFY(line.Timer->isActive());
        line.Timer_Timer();  // a quiet minute: nothing to say, and the next line is said at once
        QCOMPARE(said.size(), 2);
        line.Timer->stop();
        line.Say("d");
        QCOMPARE(said.last(), QStringLiteral("d"));
    }

private:
    // One line of `lines` per message, with mosquitto's own client: this test's thread stays
    // busy meanwhile, as a slow view's would.
    static void Publish(Broker& broker, const char* topic, const QByteArray& lines, bool retain) {
        QProcess pub;
        QStringList args{"-p", QString::number(broker.port()), "-q", "1", "-t", topic, "-l"};
        if (retain) args << "-r";
        pub.start(QStringLiteral("mosquitto_pub"), args);
        QVERIFY(pub.waitForStarted());
        pub.write(lines);
        pub.closeWriteChannel();
        QVERIFY(pub.waitForFinished(kWait));
        QCOMPARE(pub.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestBrokerFaults)
#include "tst_broker_faults.moc"
