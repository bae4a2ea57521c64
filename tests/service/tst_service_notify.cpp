// SPDX-License-Identifier: MIT
// The gateway's word to the service manager, heard on a real AF_UNIX datagram socket bound as
// NOTIFY_SOCKET: ready, watchdog pings from the event loop (and none while it is blocked), the
// link's and the broker's state, stopping on SIGTERM; and its lines as the journal reads them.
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/headless.h"
#include "app/log_line.h"
#include "app/panel.h"
#include "app/service_notify.h"
#include "support/broker.h"
#include "support/program.h"

namespace {

constexpr int kWait = 20000;  // ms: a program starting on a loaded machine

// What a service manager listens on: the datagrams sd_notify sends, one state list each.
class NotifySocket {
public:
    explicit NotifySocket(const QString& path) : path_(path) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        if (fd_ < 0 || size_t(name.size()) >= sizeof address.sun_path) return;
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return bound_; }
    const QString& path() const { return path_; }

    // Every datagram that has come since the last call, in order.
    QList<QByteArray> Read() {
        QList<QByteArray> got;
        char buf[4096];
        for (ssize_t n; (n = ::recv(fd_, buf, sizeof buf, 0)) > 0;) got << QByteArray(buf, n);
        all_ << got;
        return got;
    }
    const QList<QByteArray>& All() {
        Read();
        return all_;
    }
    qsizetype Count(const QByteArray& state) {
        Read();
        return std::count(all_.cbegin(), all_.cend(), state);
    }
    // The index of the first datagram that holds the line, or -1.
    qsizetype First(const QByteArray& line) {
        Read();
        for (qsizetype i = 0; i < all_.size(); ++i)
            if (all_[i].split('\n').contains(line)) return i;
        return -1;
    }
    // Blocks the calling thread, and so its event loop, until a datagram comes or the bound
    // passes: whether one came.
    bool DatagramWithin(int ms) {
        pollfd watched{fd_, POLLIN, 0};
        return ::poll(&watched, 1, ms) > 0;
    }

private:
    QString path_;
    int fd_ = -1;
    bool bound_ = false;
    QList<QByteArray> all_;
};

// "device:inode" of a file, as systemd puts its stream's into JOURNAL_STREAM.
QByteArray StreamOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return {};
    return QByteArray::number(qulonglong(info.st_dev)) + ':' +
           QByteArray::number(qulonglong(info.st_ino));
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// This process's own standard error into a file for the test's reading, for as long as it lives.
class StandardErrorToFile {
public:
    explicit StandardErrorToFile(const QString& path) : file_(path) {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        if (file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
            ::dup2(file_.handle(), STDERR_FILENO);
    }
    ~StandardErrorToFile() {
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }

private:
    QFile file_;
    int saved_ = -1;
};

}  // namespace

class TestServiceNotify : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }
    void cleanup() {
        for (const char* name : {"NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"}) qunsetenv(name);
    }

    // The pings come from the event loop's own timer: a loop that does not turn sends none, so the
    // manager's watchdog ends a hung gateway.
    void watchdogPingsStopWithTheLoop() {
        NotifySocket socket(dir_.filePath(QStringLiteral("loop.notify")));
        QVERIFY(socket.ok());
        qputenv("NOTIFY_SOCKET", QFile::encodeName(socket.path()));
        qputenv("WATCHDOG_USEC", "100000");
        vp::app::ServiceNotify notify;
        QVERIFY(notify.tmrWatchdog->isActive());
        QCOMPARE(notify.tmrWatchdog->interval(), 50);
        QTRY_VERIFY_WITH_TIMEOUT(socket.Count("WATCHDOG=1") >= 3, kWait);

        const qsizetype before = socket.Count("WATCHDOG=1");
        // The blocked loop is the case itself: eight ping periods without a turn, listening, so
        // a ping from anywhere but the loop fails at once.
        QVERIFY(!socket.DatagramWithin(400));
        QTRY_VERIFY_WITH_TIMEOUT(socket.Count("WATCHDOG=1") > before, kWait);

        // A tick already on its way when the gateway stops pings no more.
        notify.Stopping();
        const qsizetype stopped = socket.All().size();
        notify.tmrWatchdog_Timer();
        QCoreApplication::processEvents();
        QCOMPARE(socket.All().size(), stopped);
    }

    // Outside a service, or a service without a watchdog: no timer, and nothing sent anywhere.
    void noWatchdogUnlessAsked_data() {
        QTest::addColumn<QByteArray>("usec");
        QTest::addColumn<QByteArray>("pid");
        QTest::newRow("no WATCHDOG_USEC") << QByteArray() << QByteArray();
        QTest::newRow("another process's watchdog") << QByteArray("100000") << QByteArray("1");
    }
    void noWatchdogUnlessAsked() {
        QFETCH(QByteArray, usec);
        QFETCH(QByteArray, pid);
        if (!usec.isEmpty()) qputenv("WATCHDOG_USEC", usec);
        if (!pid.isEmpty()) qputenv("WATCHDOG_PID", pid);
        vp::app::ServiceNotify notify;
        QVERIFY(!notify.tmrWatchdog->isActive());
    }

    // The whole program as the unit runs it: ready after the port's first try with the broker's
    // client running, pings, the status, and stopping on SIGTERM after which nothing more.
    void gatewayTellsTheManager() {
        Broker broker;
        QVERIFY2(broker.Start(), qPrintable(broker.Error()));
        NotifySocket socket(dir_.filePath(QStringLiteral("gateway.notify")));
        QVERIFY(socket.ok());
        Program gateway({"--headless", "--simulate", "--publish", broker.Url("plant")},
                        {{"NOTIFY_SOCKET", socket.path()}, {"WATCHDOG_USEC", "200000"}});
        QTRY_VERIFY_WITH_TIMEOUT(socket.First("READY=1") >= 0, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(socket.Count("WATCHDOG=1") >= 3, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(
            socket.First("STATUS=link connected: Com3,115200,n,8,1; broker connected: "
                         "127.0.0.1:" +
                         QByteArray::number(broker.port())) >= 0,
            kWait);
        // The link's first word came before ready: its port had had its try.
        QVERIFY(socket.First("READY=1") > socket.First("STATUS=Port 3 open successfully"));

        gateway.Signal(SIGTERM);
        QVERIFY(gateway.EndedWith(0));
        const QList<QByteArray> all = socket.All();
        const qsizetype stopping = socket.First("STOPPING=1");
        QVERIFY(stopping > socket.First("READY=1"));
        QVERIFY2(stopping == all.size() - 1, all.join(" | ").constData());
    }

    // Standard error as the journal's stream: each line with its syslog priority and no name,
    // which the journal adds itself; anywhere else plain lines that name the program.
    void journalPriorities_data() {
        QTest::addColumn<bool>("journal");
        QTest::newRow("journal") << true;
        QTest::newRow("another file") << false;
    }
    void journalPriorities() {
        QFETCH(bool, journal);
        const QString err = dir_.filePath(QStringLiteral("journal-%1.err").arg(journal));
        QFile::remove(err);
        QVERIFY(QFile(err).open(QIODevice::WriteOnly));
        const QByteArray stream = journal ? StreamOf(err) : StreamOf(dir_.path());
        // Nobody listens on the broker's port: the broker is away, which is retried.
        Program gateway({"--headless", "--simulate", "--publish", "mqtt://127.0.0.1:1/plant"},
                        {{"JOURNAL_STREAM", QString::fromLatin1(stream)}}, err);
        const QByteArray info = journal ? "<6>" : "vacuum-panel: ";
        const QByteArray warning = journal ? "<4>" : "vacuum-panel: ";
        QTRY_VERIFY_WITH_TIMEOUT(ReadFile(err).contains(info + "link connected: Com3"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(ReadFile(err).contains(warning + "broker unreachable: "), kWait);
        QVERIFY(ReadFile(err).contains(info + "Port 3 open successfully\n"));
        gateway.Signal(SIGTERM);
        QVERIFY(gateway.Ended());

        // What a retry cannot mend: an error, and exit code 2 for the unit not to restart on.
        const QString conf = dir_.filePath(QStringLiteral("bad.conf"));
        QFile file(conf);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("speed = 9600\n");
        file.close();
        QFile::remove(err);
        QVERIFY(QFile(err).open(QIODevice::WriteOnly));
        const QByteArray again = journal ? StreamOf(err) : StreamOf(dir_.path());
        Program bad({"--headless", "--config", conf},
                    {{"JOURNAL_STREAM", QString::fromLatin1(again)}}, err);
        QVERIFY(bad.EndedWith(2));
        QCOMPARE(ReadFile(err), (journal ? "<3>" : "vacuum-panel: ") + QFile::encodeName(conf) +
                                    ":1: speed: unknown key\n");
    }

    // A log folder the service may not write: one line, not one a minute, and one when it writes
    // again; the daily file in the configured folder itself.
    void logFolderFailureSaidOnce() {
        const QString folder = dir_.filePath(QStringLiteral("plantA-log"));
        const QString err = dir_.filePath(QStringLiteral("log.err"));
        vp::app::Panel panel({.ports = {}, .clock = nullptr, .logFolder = folder});
        vp::app::Headless headless(panel);
        {
            StandardErrorToFile capture(err);
            for (int minute = 0; minute < 3; ++minute) panel.tmrLogData_Timer();
            QVERIFY(QDir().mkpath(folder));
            for (int minute = 0; minute < 2; ++minute) panel.tmrLogData_Timer();
        }

        const QList<QByteArray> lines = ReadFile(err).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith("vacuum-panel: Could not open log file for writing: "),
                 lines[0].constData());
        QCOMPARE(lines[1], "vacuum-panel: pressure log written again");
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 1);
    }

    // The parts' own warnings (a device the service's user may not open, at every retry) reach
    // the journal as warnings, once while they repeat.
    void qtMessagesOnceWithTheirPriority() {
        const QString err = dir_.filePath(QStringLiteral("qt.err"));
        {
            StandardErrorToFile capture(err);
            qputenv("JOURNAL_STREAM", StreamOf(err));
            vp::app::LogQtMessages();
            const char* denied = "vacuum-panel: no permission to open /dev/ttyUSB0";
            qWarning("%s", denied);
            qWarning("%s", denied);  // the next retry
            qCritical("lost");
            qWarning("%s", denied);
            vp::app::ForgetRepeatedMessage();  // the line was up in between
            qWarning("%s", denied);
            qInfo("news");
            qInstallMessageHandler(nullptr);
            qunsetenv("JOURNAL_STREAM");
        }
        QCOMPARE(ReadFile(err), QByteArray("<4>no permission to open /dev/ttyUSB0\n"
                                           "<3>lost\n"
                                           "<4>no permission to open /dev/ttyUSB0\n"
                                           "<4>no permission to open /dev/ttyUSB0\n"
                                           "<6>news\n"));
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestServiceNotify)
#include "tst_service_notify.moc"
