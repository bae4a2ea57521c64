// SPDX-License-Identifier: MIT
// The headless gateway as a site runs it, against a real mosquitto: a hang-up from the service
// manager ends it as cleanly as SIGTERM (but not under nohup), a second signal ends it at once,
// and under the broker's ACL (the one the README gives) nobody but the gateway's user can grey
// the plant or make a forged one look live.
#include <signal.h>
#include <sys/stat.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

#include "support/broker.h"
#include "support/file_with_mode.h"
#include "support/program.h"

namespace {

constexpr int kWait = 20000;  // ms: a program starting and a broker answering on a loaded machine
const QString kPrefix = QStringLiteral("site1/vacuum/plantA");

// The README's ACL: every user reads the site's plants, only the gateway's user writes its own.
const QString kAcl = QStringLiteral(
    "pattern read site1/vacuum/#\n"
    "\n"
    "user vacuum-plantA\n"
    "topic write site1/vacuum/plantA/#\n");

vp::publish::MqttClient::Options As(const char* user, const char* password) {
    vp::publish::MqttClient::Options options;
    options.credentials = vp::publish::Credentials{user, password};
    return options;
}

// Whether the signal waits, sent but not yet taken, for the process or one of its threads.
bool Pending(pid_t pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    const quint64 bit = quint64(1) << (signal - 1);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigPnd:") || line.startsWith("ShdPnd:")) {
            if (line.mid(7).trimmed().toULongLong(nullptr, 16) & bit) return true;
        }
    }
    return false;
}

bool Forged(const QList<QByteArray>& payloads) {
    return std::any_of(payloads.begin(), payloads.end(),
                       [](const QByteArray& p) { return p.contains("forged"); });
}

}  // namespace

class TestGatewayProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    // Started with nohup, whose promise is that a hang-up (systemd's, or the terminal's closing)
    // changes nothing.
    void hangUpUnderNohupGoesOn() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        const QString url = broker.Url(kPrefix);
        TestClient listener(url);
        Program gateway({"--headless", "--simulate", "--publish", url}, {}, {}, true);
        QTRY_COMPARE_WITH_TIMEOUT(listener.Last("online"), "true", kWait);

        gateway.Signal(SIGHUP);
        // Two states after the signal was taken: still publishing, still online.
        QTRY_VERIFY_WITH_TIMEOUT(!Pending(gateway.Pid(), SIGHUP), kWait);
        const qsizetype states = listener.heard.value("state").size();
        QTRY_VERIFY_WITH_TIMEOUT(listener.heard.value("state").size() >= states + 2, kWait);
        QCOMPARE(listener.heard.value("online"), QList<QByteArray>{"true"});
    }

    // Its goodbye waits for a broker that has frozen; whoever asks again does not wait with it.
    void aSecondSignalEndsAtOnce() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        const QString url = broker.Url(kPrefix);
        TestClient listener(url);
        Program gateway({"--headless", "--simulate", "--publish", url});
        QTRY_COMPARE_WITH_TIMEOUT(listener.Last("online"), "true", kWait);
        const pid_t pid = gateway.Pid();
        ::kill(pid_t(broker.pid()), SIGSTOP);

        ::kill(pid, SIGTERM);
        // Two signals pending at once are one: the second is sent once the first was taken.
        QTRY_VERIFY_WITH_TIMEOUT(!Pending(pid, SIGTERM), kWait);
        QVERIFY(gateway.process.state() == QProcess::Running);
        ::kill(pid, SIGTERM);
        QVERIFY(gateway.process.waitForFinished(kWait));
        ::kill(pid_t(broker.pid()), SIGCONT);
        QCOMPARE(gateway.process.exitStatus(), QProcess::CrashExit);
    }

    void onlyTheGatewayWritesUnderItsPrefix() {
        Broker broker(
            BrokerOptions{.user = "vacuum-plantA",
                          .password = "gateway-pw",
                          .moreUsers = {{"control-room", "reader-pw"}, {"engineer", "engineer-pw"}},
                          .acl = kAcl});
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        const QString url = broker.Url(kPrefix);
        TestClient reader(url, As("control-room", "reader-pw"));
        Program gateway({"--headless", "--simulate", "--publish", url, "--mqtt-credentials",
                         Write("gateway", "vacuum-plantA\ngateway-pw\n")});
        QTRY_COMPARE_WITH_TIMEOUT(reader.Last("online"), "true", kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!reader.heard.value("state").isEmpty(), kWait);

        // Another user under the prefix: the plant offline, a live-looking forged state, an event.
        TestClient engineer(url, As("engineer", "engineer-pw"));
        QVERIFY(engineer.Connected());
        using Message = vp::publish::MqttClient::Message;
        const std::string prefix = kPrefix.toStdString();
        const QByteArray state =
            R"({"schema":2,"quality":"good","link":{"connected":true,"stale":false},"forged":1})";
        // Stop waits until the broker has answered for each: it has dealt with them by then.
        engineer.client->Stop({Message{prefix + "/online", "false", 1, true},
                               Message{prefix + "/state", state, 1, true},
                               Message{prefix + "/events", "{\"text\":\"forged\"}", 1, false}});

        // A subscriber that joins after the forgery, and a state the gateway published after it
        // joined: the broker sent the reader that state after anything it sent for the forgery.
        TestClient late(url, As("control-room", "reader-pw"));
        QTRY_VERIFY_WITH_TIMEOUT(late.heard.value("state").size() >= 2, kWait);
        const QByteArray after = late.heard.value("state").at(1);
        QTRY_VERIFY_WITH_TIMEOUT(reader.heard.value("state").contains(after), kWait);

        for (const TestClient* client : {&reader, &late})
            for (const char* leaf : {"state", "events"})
                QVERIFY2(!Forged(client->heard.value(leaf)), leaf);
        QCOMPARE(late.heard.value("online"), QList<QByteArray>{"true"});
        QCOMPARE(reader.heard.value("online"), QList<QByteArray>{"true"});
        QVERIFY(gateway.process.state() == QProcess::Running);
    }

private:
    QString Write(const QString& name, const QByteArray& content) {
        return FileWithMode(QDir(dir_.path()), name, content, 0600);
    }

    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestGatewayProgram)
#include "tst_gateway_program.moc"
