// SPDX-License-Identifier: MIT
#pragma once

#include <signal.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

// The site broker as the package's example configuration sets it up (gateways' TCP listener with
// passwords, the browsers' WebSockets listener serving web/, the browsers' ACL), moved onto
// 127.0.0.1 and free ports, with the build's web/ and a password file of the test's own. It logs
// everything, so a test can read what each client did.
class WebBroker {
public:
    static constexpr const char* kUser = "gateway";
    static constexpr const char* kPassword = "gateway-secret";

    ~WebBroker() { Stop(); }

    bool Start() {
        if (process_.state() != QProcess::NotRunning) return true;
        if (tcpPort_ == 0 && !Prepare()) return false;
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardOutputFile(Path("broker.out"), QIODevice::Append);
        process_.start(QStringLiteral("mosquitto"), {"-c", Path("mosquitto.conf")});
        if (!process_.waitForStarted()) return Fail("cannot run mosquitto");
        return QTest::qWaitFor([this] { return Accepts(tcpPort_) && Accepts(webPort_); }, 10000) ||
               Fail("mosquitto never listened: " + Log() + Read(Path("broker.out")));
    }
    void Stop() {
        if (process_.state() == QProcess::NotRunning) return;
        Continue();
        process_.terminate();
        if (!process_.waitForFinished(5000)) process_.kill();
        process_.waitForFinished();
    }
    // A broker that hangs: its sockets stay open, nothing moves.
    void Freeze() { ::kill(static_cast<pid_t>(process_.processId()), SIGSTOP); }
    void Continue() {
        if (process_.state() != QProcess::NotRunning)
            ::kill(static_cast<pid_t>(process_.processId()), SIGCONT);
    }

    QString GatewayUrl(const QString& prefix) const {
        return QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(tcpPort_).arg(prefix);
    }
    QString Page(const QString& pathAndQuery) const {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(webPort_).arg(pathAndQuery);
    }
    QString Log() const { return Read(Path("broker.log")); }
    quint16 webPort() const { return webPort_; }
    const QString& Error() const { return error_; }

private:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    static QString Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    bool Fail(const QString& why) {
        error_ = why;
        return false;
    }
    static bool Accepts(quint16 port) {
        QTcpSocket s;
        s.connectToHost(QStringLiteral("127.0.0.1"), port);
        return s.waitForConnected(200);
    }
    static quint16 FreePort() {
        QTcpServer server;
        return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
    }
    // Every line of the example that names a port or a file of the plant PC, and what it becomes.
    bool Rewrite(QByteArray& conf, const QByteArray& from, const QByteArray& to) {
        if (!conf.contains(from + "\n")) return Fail("the example configuration has no " + from);
        conf.replace(from + "\n", to + "\n");
        return true;
    }
    bool Prepare() {
        QFile example(QStringLiteral(VP_SOURCE_DIR "/packaging/mosquitto/vacuum-panel.conf"));
        QFile acl(QStringLiteral(VP_SOURCE_DIR "/packaging/mosquitto/vacuum-panel.acl"));
        if (!dir_.isValid() || !example.open(QIODevice::ReadOnly) ||
            !acl.copy(Path("vacuum-panel.acl")))
            return Fail(QStringLiteral("cannot read the example configuration"));
        tcpPort_ = FreePort();
        webPort_ = FreePort();
        QByteArray conf = example.readAll();
        if (!Rewrite(conf, "listener 1883",
                     "listener " + QByteArray::number(tcpPort_) + " 127.0.0.1") ||
            !Rewrite(conf, "listener 8080",
                     "listener " + QByteArray::number(webPort_) + " 127.0.0.1") ||
            !Rewrite(conf, "password_file /etc/mosquitto/passwd",
                     "password_file " + Path("passwd").toUtf8()) ||
            !Rewrite(conf, "http_dir /usr/share/vacuum-panel/web", "http_dir " VP_WEB_DIR) ||
            !Rewrite(conf, "acl_file /etc/mosquitto/vacuum-panel.acl",
                     "acl_file " + Path("vacuum-panel.acl").toUtf8()))
            return false;
        // A log file is written line by line; standard output into a file would come in blocks.
        conf += "persistence false\nlog_dest file " + Path("broker.log").toUtf8() +
                "\nlog_type all\nconnection_messages true\n";
        // As root mosquitto would switch to its own user, who cannot read this private folder.
        if (geteuid() == 0) conf += "user root\n";
        QFile out(Path("mosquitto.conf"));
        if (!out.open(QIODevice::WriteOnly) || out.write(conf) < 0)
            return Fail(QStringLiteral("cannot write mosquitto.conf"));
        out.close();
        QProcess passwd;
        passwd.start(QStringLiteral("mosquitto_passwd"),
                     {"-b", "-c", Path("passwd"), kUser, kPassword});
        if (!passwd.waitForFinished(30000) || passwd.exitCode() != 0)
            return Fail(QStringLiteral("mosquitto_passwd failed"));
        return true;
    }

    QTemporaryDir dir_;
    QProcess process_;
    quint16 tcpPort_ = 0;
    quint16 webPort_ = 0;
    QString error_;
};
