// SPDX-License-Identifier: MIT
// What the network tests cannot see from outside: URL and credentials rules, the client's queue
// bound, first connect retried, no will after a clean stop, TLS checks. The publisher's own tests
// are in tst_publisher.cpp.
#include <sys/stat.h>

#include <QTemporaryDir>
#include <QtTest>

#include "publish/broker_url.h"
#include "publish/credentials.h"
#include "publish/mqtt_client.h"
#include "support/broker.h"

using namespace vp;
using publish::MqttClient;
using State = MqttClient::BrokerState;

constexpr int kWait = 20000;  // ms: the back-off's first steps and a loaded machine

class TestMqttClient : public QObject {
    Q_OBJECT

private slots:
    void parseUrl_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("prefix");
        // An explicit port is what every test broker's URL has.
        QTest::newRow("plain") << "mqtt://broker.site/site1/vacuum/plantA" << false << "broker.site"
                               << 1883 << "site1/vacuum/plantA";
        QTest::newRow("tls default port")
            << "mqtts://10.0.0.5/plant" << true << "10.0.0.5" << 8883 << "plant";
        QTest::newRow("ipv6") << "mqtts://[::1]:1999/a/b" << true << "::1" << 1999 << "a/b";
    }
    void parseUrl() {
        QFETCH(QString, text);
        const auto url = vp::publish::ParseBrokerUrl(text);
        QVERIFY(url.ok());
        QTEST(url->tls, "tls");
        QTEST(url->host, "host");
        QTEST(int(url->port), "port");
        QTEST(url->prefix, "prefix");
    }

    // A "+" in the prefix and loose credentials are refused in the program's test.
    void refusedUrls() {
        for (const char* text :
             {"broker/p", "http://broker/p", "mqtt://broker", "mqtt://broker/", "mqtt://broker//p",
              "mqtt://broker/a/", "mqtt://broker/a//b", "mqtt://broker/a/#", "mqtt://broker/$SYS/p",
              "mqtt://broker/a\tb", "mqtt://broker:0/p", "mqtt://broker:65536/p",
              "mqtt://broker:/p", "mqtt://broker:18x3/p", "mqtt://user:pw@broker/p", "mqtt:///p",
              "mqtt://bro ker/p", "mqtt://[::g]/p", "mqtt://[::1/p"}) {
            const auto url = vp::publish::ParseBrokerUrl(text);
            QVERIFY2(!url.ok() && !url.error().isEmpty() && !url.error().contains(u'\n'), text);
        }
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
        const auto c = vp::publish::ReadCredentials(path);
        QCOMPARE(c.ok(), !user.isEmpty());
        if (!c.ok()) {
            QVERIFY2(c.error().contains(path) && !c.error().contains(u'\n'), qPrintable(c.error()));
            return;
        }
        QCOMPARE(QByteArray::fromStdString(c->user), user);
        QTEST(QByteArray::fromStdString(c->password), "password");
    }

    // A clean stop says its own last word; the will is not sent after it.
    void noWillAfterStop() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        TestClient observer(broker.Url("plant"));
        QVERIFY(observer.Connected());

        MqttClient::Options options;
        options.will = MqttClient::Will{"plant/online", "false", 1, true};
        TestClient panel(broker.Url("plant"), options);
        QVERIFY(panel.Connected());
        panel.client->Publish("plant/online", "true", 1, true);
        panel.client->Stop({MqttClient::Message{"plant/online", "stopped", 1, true}});
        panel.client.reset();

        QVERIFY(observer.RoundTrip());
        QVERIFY(observer.RoundTrip());
        // A retained topic's newer payload may replace one the observer had not taken yet.
        QCOMPARE(observer.heard["online"].last(), QByteArray("stopped"));
        QVERIFY(!observer.heard["online"].contains("false"));
    }

    void keepsTryingWhenTheBrokerIsDownAtStart() {
        Broker broker;  // started once for its port and config, then stopped
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        broker.Stop();
        TestClient panel(broker.Url("plant"));
        QTRY_COMPARE(panel.states, QList<State>{State::Unreachable});

        const int queued = MqttClient::kMaxQueuedEvents + 20;
        for (int i = 0; i < queued; ++i) panel.Publish("events", QByteArray::number(i));
        panel.client->Publish("plant/events", "QoS 0", 0, false);
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        QTRY_VERIFY_WITH_TIMEOUT(panel.connects == 1, kWait);
        QCOMPARE(panel.states, (QList<State>{State::Unreachable, State::Connected}));

        // The oldest messages up to the bound arrive, in order; the rest and QoS 0 were dropped.
        QList<QByteArray> expected;
        for (int i = 0; i < MqttClient::kMaxQueuedEvents; ++i) expected << QByteArray::number(i);
        QVERIFY(panel.RoundTrip());
        QCOMPARE(panel.heard["events"], expected);
        QCOMPARE(panel.client->DroppedCount(), queued - MqttClient::kMaxQueuedEvents + 1);
    }

    void tlsVerifiesTheBroker_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("serverNames");
        QTest::addColumn<QString>("ca");  // empty: the broker's own
        QTest::addColumn<bool>("accepted");
        const QString names = QStringLiteral("IP:127.0.0.1,DNS:localhost");
        QTest::newRow("by name") << "localhost" << names << "" << true;
        QTest::newRow("another CA")
            << "127.0.0.1" << names << "/etc/ssl/certs/ca-certificates.crt" << false;
        QTest::newRow("name mismatch") << "127.0.0.1"
                                       << "DNS:elsewhere.invalid"
                                       << "" << false;
    }
    void tlsVerifiesTheBroker() {
        QFETCH(QString, host);
        QFETCH(QString, serverNames);
        QFETCH(QString, ca);
        QFETCH(bool, accepted);
        BrokerOptions brokerOptions;
        brokerOptions.tls = true;
        brokerOptions.tlsNames = serverNames;
        brokerOptions.host = host;
        Broker broker(brokerOptions);
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        MqttClient::Options options;
        options.tls.ca = ca.isEmpty() ? broker.CaFile() : ca;
        TestClient panel(broker.TlsUrl("plant", host), options);
        QTRY_VERIFY(!panel.states.isEmpty());
        QCOMPARE(panel.states.first(), accepted ? State::Connected : State::Unreachable);
        QVERIFY(accepted ? panel.RoundTrip() : panel.connects == 0);
    }

    void localFaultsFailStart() {
        MqttClient::Options options = OptionsFor("mqtts://127.0.0.1/plant");
        options.tls.ca = QStringLiteral("/nonexistent/ca.crt");
        const vp::Result<> missing = MqttClient(options).Start();
        QVERIFY(!missing.ok() && missing.error().contains("/nonexistent/ca.crt"));
        options.tls = {QString(), QStringLiteral("/etc/hostname"), QString()};
        QVERIFY(!MqttClient(options).Start().ok());
    }
};

QTEST_GUILESS_MAIN(TestMqttClient)
#include "tst_mqtt_client.moc"
