// SPDX-License-Identifier: MIT
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <utility>

#include "publish/mqtt_client.h"

inline vp::publish::BrokerUrl ParsedUrl(const QString& text) {
    return vp::publish::ParseBrokerUrl(text).value();
}

inline vp::publish::MqttClient::Options OptionsFor(const QString& url) {
    vp::publish::MqttClient::Options options;
    options.url = ParsedUrl(url);
    return options;
}

struct BrokerOptions {
    QString user;  // empty: anonymous clients are let in
    QString password;
    bool tls = false;
    QString tlsNames = QStringLiteral("IP:127.0.0.1,DNS:localhost");  // the server's SAN
    QList<std::pair<QString, QString>> moreUsers = {};  // user and password, besides the one above
    // The acl_file's text (lines before any `user` line are for anonymous clients); empty: every
    // client that is let in may do anything.
    QString acl = {};
    // The listeners' host: every address it resolves to is listened on, as the URLs that name
    // it reach it (localhost may be ::1 first). Loopback names only.
    QString host = QStringLiteral("127.0.0.1");
};

// A real mosquitto of the test's own, on 127.0.0.1 and free ports, with its own config, password
// file, if asked an ACL, and if asked a TLS listener whose self-signed certificate is its own CA.
// It is stopped by its process id and can be started again on the same ports.
class Broker {
public:
    explicit Broker(BrokerOptions options = {}) : options_(std::move(options)) {}
    ~Broker() { Stop(); }

    // Starts the broker and waits, bounded, until its ports accept. The first start writes the
    // config; later starts reuse it, and so the ports.
    bool Start() {
        if (process_.state() != QProcess::NotRunning) return true;
        if (port_ == 0 && !Prepare()) return false;
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardOutputFile(Path("broker.log"), QIODevice::Append);
        process_.start(QStringLiteral("mosquitto"), {"-c", Path("mosquitto.conf")});
        if (!process_.waitForStarted())
            return Fail("cannot run mosquitto: " + process_.errorString());
        const bool settled = QTest::qWaitFor(
            [this] {
                return process_.state() == QProcess::NotRunning ||
                       (Probe(port_) && (!options_.tls || Probe(tlsPort_)));
            },
            10000);
        if (process_.state() == QProcess::NotRunning) return Fail("mosquitto ended: " + Log());
        if (!settled) return Fail(QStringLiteral("mosquitto never listened"));
        return true;
    }

    // SIGTERM, then SIGKILL if it has not ended within a bound.
    void Stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) process_.kill();
        process_.waitForFinished();
    }

    quint16 port() const { return port_; }
    quint16 tlsPort() const { return tlsPort_; }
    qint64 pid() const { return process_.processId(); }  // 0 while stopped
    QString Url(const QString& prefix) const {
        return QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(port_).arg(prefix);
    }
    QString TlsUrl(const QString& prefix, const QString& host = QStringLiteral("127.0.0.1")) const {
        return QStringLiteral("mqtts://%1:%2/%3").arg(host).arg(tlsPort_).arg(prefix);
    }
    QString CaFile() const { return Path("server.crt"); }
    QString Log() const {
        QFile f(Path("broker.log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    const QString& Error() const { return error_; }

private:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    bool Fail(const QString& why) {
        error_ = why;
        return false;
    }

    // Connects to 127.0.0.1:port, or with port 0 binds to get a free port from the kernel.
    static quint16 Probe(quint16 port) {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        auto* address = reinterpret_cast<sockaddr*>(&a);
        socklen_t len = sizeof a;
        quint16 result = 0;
        if (port != 0)
            result = ::connect(s, address, len) == 0 ? port : 0;
        else if (bind(s, address, len) == 0 && getsockname(s, address, &len) == 0)
            result = ntohs(a.sin_port);
        close(s);
        return result;
    }

    bool Run(const QString& program, const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir_.path());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode())
            return Fail(program + " failed: " + QString::fromUtf8(p.readAll()));
        return true;
    }
    bool Prepare() {
        if (!dir_.isValid()) return Fail(QStringLiteral("no temporary folder"));
        port_ = Probe(0);
        // Room for a test's bursts of QoS 1 messages to a subscriber (the default is 1000).
        QString conf = QStringLiteral(
                           "persistence false\nmax_queued_messages 100000\n"
                           "listener %1 %2\n")
                           .arg(port_)
                           .arg(options_.host);
        if (options_.tls) {
            // A self-signed certificate: its own CA, and the one a client is told to trust.
            const QString req = QStringLiteral(
                "req -x509 -days 2 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj "
                "/CN=vp-test-broker -keyout server.key -out server.crt -addext");
            if (!Run("openssl", req.split(' ') << "subjectAltName=" + options_.tlsNames))
                return false;
            tlsPort_ = Probe(0);
            conf += QStringLiteral("listener %1 %2\ncafile %3\ncertfile %4\nkeyfile %5\n")
                        .arg(tlsPort_)
                        .arg(options_.host, CaFile(), CaFile(), Path("server.key"));
        }
        if (options_.user.isEmpty()) {
            conf += QStringLiteral("allow_anonymous true\n");
        } else {
            if (!Run(QStringLiteral("mosquitto_passwd"),
                     {"-b", "-c", Path("passwords"), options_.user, options_.password}))
                return false;
            for (const auto& [user, password] : options_.moreUsers)
                if (!Run(QStringLiteral("mosquitto_passwd"),
                         {"-b", Path("passwords"), user, password}))
                    return false;
            conf += "allow_anonymous false\npassword_file " + Path("passwords") + "\n";
        }
        if (!options_.acl.isEmpty()) {
            QFile acl(Path("acl"));
            if (!acl.open(QIODevice::WriteOnly) || acl.write(options_.acl.toUtf8()) < 0)
                return Fail(QStringLiteral("cannot write the ACL file"));
            conf += "acl_file " + Path("acl") + "\n";
        }
        // As root mosquitto would switch to its own user, who cannot read this private folder.
        if (geteuid() == 0) conf += QStringLiteral("user root\n");
        QFile f(Path("mosquitto.conf"));
        return (f.open(QIODevice::WriteOnly) && f.write(conf.toUtf8()) >= 0) ||
               Fail(QStringLiteral("cannot write mosquitto.conf"));
    }

    BrokerOptions options_;
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    quint16 tlsPort_ = 0;
    QString error_;
};

// A client of the test's own, started at once and subscribed to everything under its URL's prefix,
// with everything it hears written down: its states, its connects and each topic's payloads, named
// without the prefix.
struct TestClient {
    using MqttClient = vp::publish::MqttClient;
    explicit TestClient(const QString& url, MqttClient::Options options = {}) {
        options.url = ParsedUrl(url);
        prefix = options.url.prefix.toStdString();
        client = std::make_unique<MqttClient>(std::move(options));
        QObject::connect(client.get(), &MqttClient::BrokerStateChanged,
                         [this](MqttClient::BrokerState s, const QString&) { states << s; });
        QObject::connect(client.get(), &MqttClient::Connected, [this] { ++connects; });
        QObject::connect(client.get(), &MqttClient::MessageArrived,
                         [this](const QByteArray& topic, const QByteArray& payload) {
                             heard[topic.mid(qsizetype(prefix.size()) + 1)] << payload;
                         });
        client->Subscribe(prefix + "/#", 1);
        (void)client->Start();  // a client that cannot start never connects: the tests wait for it
    }
    bool Connected() {
        return QTest::qWaitFor([this] { return connects > 0; }, 20000);
    }
    void Publish(const std::string& leaf, const QByteArray& payload) {
        client->Publish(prefix + "/" + leaf, payload, 1, false);
    }
    QByteArray Last(const QByteArray& leaf) const {
        const QList<QByteArray> payloads = heard.value(leaf);
        return payloads.isEmpty() ? QByteArray() : payloads.last();
    }
    // A message of its own through the broker and back: everything the broker had sent this
    // client before it has arrived by then.
    bool RoundTrip() {
        const QByteArray marker = QByteArray::number(heard.value("marker").size());
        Publish("marker", marker);
        return QTest::qWaitFor([&] { return heard.value("marker").contains(marker); }, 10000);
    }

    std::string prefix;
    std::unique_ptr<MqttClient> client;
    QList<MqttClient::BrokerState> states;
    int connects = 0;
    QHash<QByteArray, QList<QByteArray>> heard;
};
