#include <sys/stat.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "publish/broker_url.h"
#include "publish/credentials.h"
#include "publish/mqtt_client.h"
#include "support/broker.h"

using vp::publish::BrokerUrl;
using vp::publish::Credentials;
using vp::publish::MqttClient;
using State = MqttClient::BrokerState;

namespace {

constexpr int kReconnectBound = 20000;  // ms: the back-off's first steps and a loaded machine

// A client under test with everything it signals written down.
struct Probe {
    explicit Probe(const QString& url, MqttClient::Options options = {}) {
        options.url = vp::publish::ParseBrokerUrl(url, nullptr).value();
        client = std::make_unique<MqttClient>(std::move(options));
        QObject::connect(client.get(), &MqttClient::BrokerStateChanged,
                         [this](State s, const QString& detail) {
                             states << s;
                             details << detail;
                         });
        QObject::connect(client.get(), &MqttClient::Connected, [this] { ++connects; });
        QObject::connect(client.get(), &MqttClient::MessageArrived,
                         [this](const QByteArray& topic, const QByteArray& payload) {
                             received.append({topic, payload});
                         });
    }
    bool Start() {
        QString error;
        const bool ok = client->Start(&error);
        if (!ok) qWarning() << error;
        return ok;
    }
    QList<QByteArray> On(const QByteArray& topic) const {
        QList<QByteArray> payloads;
        for (const auto& [t, p] : received) {
            if (t == topic) payloads << p;
        }
        return payloads;
    }
    // A message of its own through the broker and back: everything the broker had sent this
    // client before it has arrived by then.
    bool RoundTrip() {
        const QByteArray marker = QByteArray::number(++markers);
        client->Publish("plant/marker", marker, 1, false);
        return QTest::qWaitFor([&] { return On("plant/marker").contains(marker); }, 10000);
    }

    std::unique_ptr<MqttClient> client;
    QList<State> states;
    QStringList details;
    int connects = 0;
    int markers = 0;
    QList<std::pair<QByteArray, QByteArray>> received;
};

}  // namespace

class TestMqttClient : public QObject {
    Q_OBJECT

private slots:
    void parseUrl_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("prefix");
        auto good = [](const char* name, const char* text, bool tls, const char* host, int port,
                       const char* prefix) {
            QTest::newRow(name) << text << true << tls << host << port << prefix;
        };
        auto bad = [](const char* name, const char* text) {
            QTest::newRow(name) << text << false << false << QString() << 0 << QString();
        };
        good("plain", "mqtt://broker.site/site1/vacuum/plantA", false, "broker.site", 1883,
             "site1/vacuum/plantA");
        good("tls default port", "mqtts://10.0.0.5/plant", true, "10.0.0.5", 8883, "plant");
        good("explicit port", "mqtt://127.0.0.1:1884/p", false, "127.0.0.1", 1884, "p");
        good("ipv6", "mqtts://[::1]:1999/a/b", true, "::1", 1999, "a/b");
        bad("no scheme", "broker/p");
        bad("other scheme", "http://broker/p");
        bad("no prefix", "mqtt://broker");
        bad("empty prefix", "mqtt://broker/");
        bad("leading slash", "mqtt://broker//p");
        bad("trailing slash", "mqtt://broker/a/");
        bad("empty level", "mqtt://broker/a//b");
        bad("plus", "mqtt://broker/a/+/b");
        bad("hash", "mqtt://broker/a/#");
        bad("broker's tree", "mqtt://broker/$SYS/p");
        bad("control character", "mqtt://broker/a\tb");
        bad("port zero", "mqtt://broker:0/p");
        bad("port too big", "mqtt://broker:65536/p");
        bad("port empty", "mqtt://broker:/p");
        bad("port not a number", "mqtt://broker:18x3/p");
        bad("password in URL", "mqtt://user:pw@broker/p");
        bad("no host", "mqtt:///p");
        bad("bad host", "mqtt://bro ker/p");
        bad("bad ipv6", "mqtt://[::g]/p");
        bad("unclosed ipv6", "mqtt://[::1/p");
    }
    void parseUrl() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QString error;
        const std::optional<BrokerUrl> url = vp::publish::ParseBrokerUrl(text, &error);
        QCOMPARE(url.has_value(), ok);
        if (!ok) {
            QVERIFY(!error.isEmpty() && !error.contains(u'\n'));
            return;
        }
        QTEST(url->tls, "tls");
        QTEST(url->host, "host");
        QTEST(int(url->port), "port");
        QTEST(url->prefix, "prefix");
    }

    void credentials_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("mode");  // -1: no file
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("0600") << QByteArray("alice\ns3 cret\n") << 0600 << true
                              << QByteArray("alice") << QByteArray("s3 cret");
        QTest::newRow("no final newline") << QByteArray("alice\nsecret") << 0400 << true
                                          << QByteArray("alice") << QByteArray("secret");
        QTest::newRow("crlf") << QByteArray("alice\r\nsecret\r\n") << 0600 << true
                              << QByteArray("alice") << QByteArray("secret");
        QTest::newRow("0644") << QByteArray("alice\nsecret\n") << 0644 << false << QByteArray()
                              << QByteArray();
        QTest::newRow("group read")
            << QByteArray("alice\nsecret\n") << 0640 << false << QByteArray() << QByteArray();
        QTest::newRow("others write")
            << QByteArray("alice\nsecret\n") << 0602 << false << QByteArray() << QByteArray();
        QTest::newRow("empty user")
            << QByteArray("\nsecret\n") << 0600 << false << QByteArray() << QByteArray();
        QTest::newRow("empty file")
            << QByteArray() << 0600 << false << QByteArray() << QByteArray();
        QTest::newRow("missing") << QByteArray() << -1 << false << QByteArray() << QByteArray();
    }
    void credentials() {
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(bool, ok);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("mqtt-credentials"));
        if (mode >= 0) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
            f.close();
            QCOMPARE(chmod(path.toLocal8Bit().constData(), mode_t(mode)), 0);
        }
        QString error;
        const std::optional<Credentials> c = vp::publish::ReadCredentials(path, &error);
        QCOMPARE(c.has_value(), ok);
        if (!ok) {
            QVERIFY2(error.contains(path) && !error.contains(u'\n'), qPrintable(error));
            return;
        }
        QTEST(QByteArray::fromStdString(c->user), "user");
        QTEST(QByteArray::fromStdString(c->password), "password");
    }

    void publishesAndKeepsRetainedState() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        Probe panel(broker.Url("plant"));
        panel.client->Subscribe("plant/#", 1);
        QVERIFY(panel.Start());
        QTRY_COMPARE(panel.connects, 1);
        QCOMPARE(panel.states, QList<State>{State::Connected});

        const QByteArray eightBit("\x00\xff raw\x85", 8);
        panel.client->Publish("plant/events", eightBit, 1, false);
        panel.client->Publish("plant/state", "{\"mode\":2}", 1, true);
        QTRY_COMPARE(panel.On("plant/events"), QList<QByteArray>{eightBit});
        QTRY_COMPARE(panel.On("plant/state").size(), 1);

        Probe late(broker.Url("plant"));
        late.client->Subscribe("plant/state", 1);
        QVERIFY(late.Start());
        QTRY_COMPARE(late.On("plant/state"), QList<QByteArray>{"{\"mode\":2}"});
    }

    void willIsSentWhenTheClientVanishes() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        Probe observer(broker.Url("plant"));
        observer.client->Subscribe("plant/#", 1);
        QVERIFY(observer.Start());
        QTRY_COMPARE(observer.connects, 1);

        QProcess vanishing;
        vanishing.start(QStringLiteral(WILL_HELPER), {broker.Url("plant"), "plant/online"});
        QByteArray said;
        QObject::connect(&vanishing, &QProcess::readyReadStandardOutput,
                         [&] { said += vanishing.readAllStandardOutput(); });
        QTRY_VERIFY(said.contains("connected") || vanishing.state() == QProcess::NotRunning);
        QCOMPARE(vanishing.state(), QProcess::Running);
        QVERIFY(observer.RoundTrip());
        QVERIFY(observer.On("plant/online").isEmpty());
        vanishing.kill();  // SIGKILL: no DISCONNECT reaches the broker
        QVERIFY(vanishing.waitForFinished());
        QTRY_COMPARE(observer.On("plant/online"), QList<QByteArray>{"false"});
    }

    void noWillAfterStop() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        Probe observer(broker.Url("plant"));
        observer.client->Subscribe("plant/online", 1);
        observer.client->Subscribe("plant/marker", 1);
        QVERIFY(observer.Start());
        QTRY_COMPARE(observer.connects, 1);

        MqttClient::Options options;
        options.will = MqttClient::Will{"plant/online", "false", 1, true};
        Probe panel(broker.Url("plant"), options);
        QVERIFY(panel.Start());
        QTRY_COMPARE(panel.connects, 1);
        panel.client->Publish("plant/online", "true", 1, true);
        panel.client->Stop(MqttClient::Will{"plant/online", "stopped", 1, true});
        panel.client.reset();

        QVERIFY(observer.RoundTrip());
        QVERIFY(observer.RoundTrip());
        QCOMPARE(observer.On("plant/online"), (QList<QByteArray>{"true", "stopped"}));
    }

    void reconnectsAfterBrokerRestart() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        Probe panel(broker.Url("plant"));
        panel.client->Subscribe("plant/#", 1);
        QVERIFY(panel.Start());
        QTRY_COMPARE(panel.connects, 1);

        broker.Stop();
        QTRY_COMPARE(panel.client->State(), State::Unreachable);
        panel.client->Publish("plant/events", "while away", 1, false);
        panel.client->Publish("plant/pressure", "dropped", 0, false);
        QElapsedTimer away;
        away.start();
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        QTRY_VERIFY_WITH_TIMEOUT(panel.connects == 2, kReconnectBound);
        qInfo("reconnected %lld ms after the broker listened again", away.elapsed());
        QCOMPARE(panel.states,
                 (QList<State>{State::Connected, State::Unreachable, State::Connected}));
        QCOMPARE(panel.client->State(), State::Connected);

        // The renewed subscription carries another client's message and the queued QoS 1 one.
        Probe other(broker.Url("plant"));
        QVERIFY(other.Start());
        QTRY_COMPARE(other.connects, 1);
        other.client->Publish("plant/state", "after restart", 1, false);
        QTRY_COMPARE(panel.On("plant/state"), QList<QByteArray>{"after restart"});
        QCOMPARE(panel.On("plant/events"), QList<QByteArray>{"while away"});
        QVERIFY(panel.RoundTrip());
        QVERIFY(panel.On("plant/pressure").isEmpty());
        QCOMPARE(panel.client->DroppedCount(), 1);
    }

    void keepsTryingWhenTheBrokerIsDownAtStart() {
        Broker broker;  // started once for its port and config, then stopped
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        broker.Stop();
        Probe panel(broker.Url("plant"));
        panel.client->Subscribe("plant/#", 1);
        QVERIFY(panel.Start());
        QTRY_COMPARE(panel.states, QList<State>{State::Unreachable});

        const int queued = MqttClient::kMaxUnacknowledged + 20;
        for (int i = 0; i < queued; ++i)
            panel.client->Publish("plant/events", QByteArray::number(i), 1, false);
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        QTRY_VERIFY_WITH_TIMEOUT(panel.connects == 1, kReconnectBound);
        QCOMPARE(panel.states, (QList<State>{State::Unreachable, State::Connected}));

        // The oldest messages up to the bound arrive, in order; the rest were dropped.
        QList<QByteArray> expected;
        for (int i = 0; i < MqttClient::kMaxUnacknowledged; ++i) expected << QByteArray::number(i);
        QTRY_COMPARE(panel.On("plant/events").size(), expected.size());
        QVERIFY(panel.RoundTrip());
        QCOMPARE(panel.On("plant/events"), expected);
        QCOMPARE(panel.client->DroppedCount(), queued - MqttClient::kMaxUnacknowledged);
    }

    void refusedUntilTheCredentialsAreRight_data() {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("right") << QByteArray("alice") << QByteArray("s3cret") << true;
        QTest::newRow("wrong password") << QByteArray("alice") << QByteArray("secret") << false;
        QTest::newRow("unknown user") << QByteArray("bob") << QByteArray("s3cret") << false;
        QTest::newRow("none") << QByteArray() << QByteArray() << false;
    }
    void refusedUntilTheCredentialsAreRight() {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, password);
        QFETCH(bool, accepted);
        BrokerOptions accounts;
        accounts.user = QStringLiteral("alice");
        accounts.password = QStringLiteral("s3cret");
        Broker broker(accounts);
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        MqttClient::Options options;
        if (!user.isEmpty())
            options.credentials = Credentials{user.toStdString(), password.toStdString()};
        Probe panel(broker.Url("plant"), options);
        QVERIFY(panel.Start());
        QTRY_VERIFY(!panel.states.isEmpty());
        QCOMPARE(panel.states.first(), accepted ? State::Connected : State::Refused);
        if (accepted) return;
        qInfo() << "refused:" << panel.details.first();
        QVERIFY(!panel.details.first().isEmpty());
        // It tries again after the back-off's first step, and says so no second time.
        QTRY_VERIFY_WITH_TIMEOUT(broker.Log().count(QStringLiteral("not authorised")) >= 2,
                                 kReconnectBound);
        QCOMPARE(panel.states, QList<State>{State::Refused});
    }

    void tlsVerifiesTheBroker_data() {
        QTest::addColumn<QString>("ca");  // "ca", "other" or "" for the system's store
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("serverNames");
        QTest::addColumn<bool>("accepted");
        const QString names = QStringLiteral("IP:127.0.0.1,DNS:localhost");
        QTest::newRow("test CA") << "ca"
                                 << "127.0.0.1" << names << true;
        QTest::newRow("test CA, by name") << "ca"
                                          << "localhost" << names << true;
        QTest::newRow("another CA") << "other"
                                    << "127.0.0.1" << names << false;
        QTest::newRow("system CAs") << ""
                                    << "127.0.0.1" << names << false;
        QTest::newRow("name mismatch") << "ca"
                                       << "127.0.0.1"
                                       << "DNS:elsewhere.invalid" << false;
    }
    void tlsVerifiesTheBroker() {
        QFETCH(QString, ca);
        QFETCH(QString, host);
        QFETCH(QString, serverNames);
        QFETCH(bool, accepted);
        BrokerOptions withTls;
        withTls.tls = true;
        withTls.tlsNames = serverNames;
        Broker broker(withTls);
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        MqttClient::Options options;
        if (ca == "ca") options.tls.ca = broker.CaFile();
        if (ca == "other") options.tls.ca = broker.OtherCaFile();
        Probe panel(broker.TlsUrl("plant", host), options);
        panel.client->Subscribe("plant/#", 1);
        QVERIFY(panel.Start());
        QTRY_VERIFY(!panel.states.isEmpty());
        QCOMPARE(panel.states.first(), accepted ? State::Connected : State::Unreachable);
        if (accepted) {
            QTRY_COMPARE(panel.connects, 1);
            QVERIFY(panel.RoundTrip());
            return;
        }
        qInfo() << "not connected:" << panel.details.first();
        QCOMPARE(panel.connects, 0);
    }

    void localFaultsFailStart() {
        MqttClient::Options options;
        options.url = vp::publish::ParseBrokerUrl("mqtts://127.0.0.1/plant", nullptr).value();
        options.tls.ca = QStringLiteral("/nonexistent/ca.crt");
        MqttClient missingCa(options);
        QString error;
        QVERIFY(!missingCa.Start(&error));
        QVERIFY(error.contains("/nonexistent/ca.crt"));

        options.tls = {QString(), QStringLiteral("/etc/hostname"), QString()};
        MqttClient certWithoutKey(options);
        QVERIFY(!certWithoutKey.Start(&error));
    }
};

QTEST_GUILESS_MAIN(TestMqttClient)
#include "tst_mqtt_client.moc"
