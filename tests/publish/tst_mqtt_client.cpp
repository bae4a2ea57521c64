#include <sys/stat.h>

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "publish/broker_url.h"
#include "publish/credentials.h"
#include "publish/mqtt_client.h"
#include "support/broker.h"

// What the network tests cannot see from outside: the URL and credentials rules, the queue's
// bound, the first connect retried, refusals and TLS failures told once.
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
                             if (topic == "plant/online") online << payload;
                             if (topic == "plant/events") events << payload;
                             if (topic == "plant/marker") markers << payload;
                         });
    }
    bool Start() { return client->Start(nullptr); }
    // A message of its own through the broker and back: everything the broker had sent this
    // client before it has arrived by then.
    bool RoundTrip() {
        const QByteArray marker = QByteArray::number(markers.size());
        client->Publish("plant/marker", marker, 1, false);
        return QTest::qWaitFor([&] { return markers.contains(marker); }, 10000);
    }

    std::unique_ptr<MqttClient> client;
    QList<State> states;
    QStringList details;
    int connects = 0;
    QList<QByteArray> online, events, markers;
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
        // Another scheme, no prefix, a "+" and loose credentials are refused in the gateway's test;
        // an explicit port is what every test broker's URL has.
        good("plain", "mqtt://broker.site/site1/vacuum/plantA", false, "broker.site", 1883,
             "site1/vacuum/plantA");
        good("tls default port", "mqtts://10.0.0.5/plant", true, "10.0.0.5", 8883, "plant");
        good("ipv6", "mqtts://[::1]:1999/a/b", true, "::1", 1999, "a/b");
        bad("no scheme", "broker/p");
        bad("empty prefix", "mqtt://broker/");
        bad("leading slash", "mqtt://broker//p");
        bad("trailing slash", "mqtt://broker/a/");
        bad("empty level", "mqtt://broker/a//b");
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
        QTest::addColumn<int>("mode");         // -1: no file
        QTest::addColumn<QByteArray>("user");  // empty: refused
        QTest::addColumn<QByteArray>("password");
        auto row = [](const char* name, const char* content, int mode, const char* user = "",
                      const char* password = "") {
            QTest::newRow(name) << QByteArray(content) << mode << QByteArray(user)
                                << QByteArray(password);
        };
        row("0600", "alice\ns3 cret\n", 0600, "alice", "s3 cret");
        row("no final newline", "alice\nsecret", 0400, "alice", "secret");
        row("crlf", "alice\r\nsecret\r\n", 0600, "alice", "secret");
        row("group read", "alice\nsecret\n", 0640);
        row("others write", "alice\nsecret\n", 0602);
        row("empty user", "\nsecret\n", 0600);
        row("empty file", "", 0600);
        row("missing", "", -1);
    }
    void credentials() {
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(QByteArray, user);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("mqtt-credentials"));
        QFile f(path);
        if (mode >= 0) {
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
            f.close();
            QCOMPARE(chmod(path.toLocal8Bit().constData(), mode_t(mode)), 0);
        }
        QString error;
        const std::optional<Credentials> c = vp::publish::ReadCredentials(path, &error);
        QCOMPARE(c.has_value(), !user.isEmpty());
        if (!c) {
            QVERIFY2(error.contains(path) && !error.contains(u'\n'), qPrintable(error));
            return;
        }
        QCOMPARE(QByteArray::fromStdString(c->user), user);
        QTEST(QByteArray::fromStdString(c->password), "password");
    }

    // A clean stop says its own last word; the will is not sent after it.
    void noWillAfterStop() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        Probe observer(broker.Url("plant"));
        observer.client->Subscribe("plant/#", 1);
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
        QCOMPARE(observer.online, (QList<QByteArray>{"true", "stopped"}));
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
        panel.client->Publish("plant/events", "QoS 0", 0, false);
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        QTRY_VERIFY_WITH_TIMEOUT(panel.connects == 1, kReconnectBound);
        QCOMPARE(panel.states, (QList<State>{State::Unreachable, State::Connected}));

        // The oldest messages up to the bound arrive, in order; the rest and QoS 0 were dropped.
        QList<QByteArray> expected;
        for (int i = 0; i < MqttClient::kMaxUnacknowledged; ++i) expected << QByteArray::number(i);
        QTRY_COMPARE(panel.events.size(), expected.size());
        QVERIFY(panel.RoundTrip());
        QCOMPARE(panel.events, expected);
        QCOMPARE(panel.client->DroppedCount(), queued - MqttClient::kMaxUnacknowledged + 1);
    }

    void refusedIsToldOnce_data() {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("wrong password") << QByteArray("alice") << QByteArray("secret");
        QTest::newRow("none") << QByteArray() << QByteArray();
    }
    void refusedIsToldOnce() {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, password);
        Broker broker({.user = "alice", .password = "s3cret"});
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        MqttClient::Options options;
        if (!user.isEmpty())
            options.credentials = Credentials{user.toStdString(), password.toStdString()};
        Probe panel(broker.Url("plant"), options);
        QVERIFY(panel.Start());
        QTRY_COMPARE(panel.states, QList<State>{State::Refused});
        QVERIFY(!panel.details.first().isEmpty());
        // It tries again after the back-off's steps, and says so no second time: by the third
        // refusal the broker logged, it has long taken in the second.
        QTRY_VERIFY_WITH_TIMEOUT(broker.Log().count(QStringLiteral("not authorised")) >= 3,
                                 kReconnectBound);
        QCOMPARE(panel.states, QList<State>{State::Refused});
    }

    void tlsVerifiesTheBroker_data() {
        QTest::addColumn<bool>("ownCa");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("serverNames");
        QTest::addColumn<bool>("accepted");
        const QString names = QStringLiteral("IP:127.0.0.1,DNS:localhost");
        QTest::newRow("by name") << true << "localhost" << names << true;
        QTest::newRow("another CA") << false << "127.0.0.1" << names << false;
        QTest::newRow("name mismatch") << true << "127.0.0.1"
                                       << "DNS:elsewhere.invalid" << false;
    }
    void tlsVerifiesTheBroker() {
        QFETCH(bool, ownCa);
        QFETCH(QString, host);
        QFETCH(QString, serverNames);
        QFETCH(bool, accepted);
        Broker broker({.user = {}, .password = {}, .tls = true, .tlsNames = serverNames});
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        MqttClient::Options options;
        options.tls.ca = ownCa ? broker.CaFile() : broker.OtherCaFile();
        Probe panel(broker.TlsUrl("plant", host), options);
        panel.client->Subscribe("plant/#", 1);
        QVERIFY(panel.Start());
        QTRY_VERIFY(!panel.states.isEmpty());
        QCOMPARE(panel.states.first(), accepted ? State::Connected : State::Unreachable);
        QVERIFY(accepted ? panel.RoundTrip() : panel.connects == 0);
    }

    void localFaultsFailStart() {
        MqttClient::Options options;
        options.url = vp::publish::ParseBrokerUrl("mqtts://127.0.0.1/plant", nullptr).value();
        options.tls.ca = QStringLiteral("/nonexistent/ca.crt");
        QString error;
        QVERIFY(!MqttClient(options).Start(&error));
        QVERIFY(error.contains("/nonexistent/ca.crt"));
        options.tls = {QString(), QStringLiteral("/etc/hostname"), QString()};
        QVERIFY(!MqttClient(options).Start(&error));
    }
};

QTEST_GUILESS_MAIN(TestMqttClient)
#include "tst_mqtt_client.moc"
