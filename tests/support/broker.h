#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

extern char** environ;

struct BrokerOptions {
    QString user;  // empty: anonymous clients are let in
    QString password;
    bool tls = false;
    QString tlsNames = QStringLiteral("IP:127.0.0.1,DNS:localhost");  // the server's SAN
};

// A real mosquitto of the test's own, on 127.0.0.1 and free ports, with its own config, password
// file and, if asked, a TLS listener with a CA, certificate and key made by openssl. It is stopped
// by its process id and can be started again on the same ports.
class Broker {
public:
    Broker() = default;
    explicit Broker(BrokerOptions options) : options_(std::move(options)) {}
    ~Broker() { Stop(); }
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;

    // Starts the broker and waits, bounded, until its ports accept. The first start writes the
    // config; later starts reuse it, and so the ports.
    bool Start() {
        if (pid_ > 0) return true;
        if (port_ == 0 && !Prepare()) return false;
        const QByteArray conf = Path("mosquitto.conf").toLocal8Bit();
        const QByteArray log = Path("broker.log").toLocal8Bit();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.constData(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        char* argv[] = {const_cast<char*>("mosquitto"), const_cast<char*>("-c"),
                        const_cast<char*>(conf.constData()), nullptr};
        const int rc = posix_spawnp(&pid_, "mosquitto", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            pid_ = 0;
            return Fail(QStringLiteral("cannot run mosquitto: %1").arg(strerror(rc)));
        }
        QDeadlineTimer deadline(10000);
        while (!Accepts(port_) || (options_.tls && !Accepts(tlsPort_))) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = 0;
                return Fail(QStringLiteral("mosquitto ended: ") + Log());
            }
            if (deadline.hasExpired()) return Fail(QStringLiteral("mosquitto never listened"));
            QTest::qWait(10);
        }
        return true;
    }

    // SIGTERM, then SIGKILL if it has not ended within a bound.
    void Stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        QDeadlineTimer deadline(5000);
        while (waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (deadline.hasExpired()) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                break;
            }
            QTest::qWait(10);
        }
        pid_ = 0;
    }

    quint16 port() const { return port_; }
    pid_t pid() const { return pid_; }  // 0 while stopped
    quint16 tlsPort() const { return tlsPort_; }
    QString Url(const QString& prefix) const {
        return QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(port_).arg(prefix);
    }
    QString TlsUrl(const QString& prefix, const QString& host = QStringLiteral("127.0.0.1")) const {
        return QStringLiteral("mqtts://%1:%2/%3").arg(host).arg(tlsPort_).arg(prefix);
    }
    QString CaFile() const { return Path("ca.crt"); }
    QString OtherCaFile() const { return Path("other-ca.crt"); }  // signed nothing of this broker
    QString Dir() const { return dir_.path(); }
    QString Log() const {
        QFile f(Path("broker.log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    const QString& Error() const { return error_; }

    // A port nobody listens on now: the kernel's choice for a socket bound to port 0.
    static quint16 FreePort() {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        quint16 port = 0;
        if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        close(s);
        return port;
    }

private:
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    bool Fail(const QString& why) {
        error_ = why;
        return false;
    }

    static bool Accepts(quint16 port) {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(s);
        return ok;
    }

    bool Run(const QString& program, const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir_.path());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            return Fail(program + QStringLiteral(" failed: ") + QString::fromUtf8(p.readAll()));
        return true;
    }

    bool MakeCa(const QString& name) {
        return Run(QStringLiteral("openssl"),
                   {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-days", "2", "-subj", "/CN=" + name, "-keyout", name + ".key",
                    "-out", name + ".crt"});
    }

    bool MakeTlsFiles() {
        QFile ext(Path("server.ext"));
        if (!ext.open(QIODevice::WriteOnly)) return Fail(QStringLiteral("cannot write server.ext"));
        ext.write("subjectAltName=" + options_.tlsNames.toLatin1() + "\n");
        ext.close();
        return MakeCa(QStringLiteral("ca")) && MakeCa(QStringLiteral("other-ca")) &&
               Run(QStringLiteral("openssl"),
                   {"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-subj", "/CN=vp-test-broker", "-keyout", "server.key", "-out",
                    "server.csr"}) &&
               Run(QStringLiteral("openssl"), {"x509", "-req", "-in", "server.csr", "-CA", "ca.crt",
                                               "-CAkey", "ca.key", "-CAcreateserial", "-days", "2",
                                               "-extfile", "server.ext", "-out", "server.crt"});
    }

    bool Prepare() {
        if (!dir_.isValid()) return Fail(QStringLiteral("no temporary folder"));
        port_ = FreePort();
        QString conf = QStringLiteral("persistence false\nlistener %1 127.0.0.1\n").arg(port_);
        if (options_.tls) {
            if (!MakeTlsFiles()) return false;
            tlsPort_ = FreePort();
            conf += QStringLiteral("listener %1 127.0.0.1\ncafile %2\ncertfile %3\nkeyfile %4\n")
                        .arg(tlsPort_)
                        .arg(CaFile(), Path("server.crt"), Path("server.key"));
        }
        if (options_.user.isEmpty()) {
            conf += QStringLiteral("allow_anonymous true\n");
        } else {
            if (!Run(QStringLiteral("mosquitto_passwd"),
                     {"-b", "-c", Path("passwords"), options_.user, options_.password}))
                return false;
            conf +=
                QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(Path("passwords"));
        }
        // As root mosquitto would switch to its own user, who cannot read this private folder.
        if (geteuid() == 0) conf += QStringLiteral("user root\n");
        QFile f(Path("mosquitto.conf"));
        if (!f.open(QIODevice::WriteOnly)) return Fail(QStringLiteral("cannot write the config"));
        f.write(conf.toUtf8());
        return true;
    }

    BrokerOptions options_;
    QTemporaryDir dir_;
    quint16 port_ = 0;
    quint16 tlsPort_ = 0;
    pid_t pid_ = 0;
    QString error_;
};
