// SPDX-License-Identifier: MIT
// The link without a window on a real port over a pty: frames and counters, connect and
// disconnect with every status text, the connection display, the polls and the watchdog, read from
// its signals; ticks called directly, its timers never started. Then the port object alone against
// a pty, a held one, one the user may not open, and a text longer than the line holds.
#include <sys/stat.h>

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "link/link.h"
#include "link/port_errors.h"
#include "protocol/lines.h"
#include "support/link_probe.h"
#include "support/pseudo_terminal.h"
#include "support/unprivileged.h"

using vp::link::Link;
using vp::link::MSComm;
using vp::link::PortNames;
using namespace vp::test;

namespace {

QByteArray Line(const QByteArray& body) {
    return Signed(body) + '\r';
}

const QByteArray kReport = Line("111_" + Byte(150) + QByteArray(73, '0'));

// Everything the link said, in order.
struct Heard {
    QStringList texts;
    int messages = 0;
    QList<int> sent, arrived;
    QList<QPair<bool, QString>> shown;
    int stale = 0;
};

// Takes the rights to `device` from the user RunUnprivileged runs as: as root, the device goes to
// root and a group "nobody" is not in; anyone else takes all rights from the device they own.
bool TakeRightsTo(const QString& device) {
    const QByteArray path = QFile::encodeName(device);
    if (geteuid() != 0) return ::chmod(path.constData(), 0) == 0;
    const group* dialout = getgrnam("dialout");
    return ::chown(path.constData(), 0, dialout ? dialout->gr_gid : 0) == 0 &&
           ::chmod(path.constData(), 0660) == 0;
}

}  // namespace

class TestLink : public QObject {
    Q_OBJECT

private slots:
    void init() {
        pty = std::make_unique<PseudoTerminal>();
        QVERIFY(pty->ok());
        Make({{3, pty->path()}});
    }
    void cleanup() {
        port_.reset();
        link.reset();
        pty.reset();
    }

    void countersStopAtTheTop() {
        Open();
        LinkProbe::StartCounts(*link, 2147483646, 2147483647);
        for (const char* body : {"111_", ""}) QVERIFY(link->SendCommand(body).ok());
        QTRY_COMPARE_WITH_TIMEOUT(pty->Received(), QByteArray("111_242\r000\r"), 5000);
        QCOMPARE(heard.sent, (QList<int>{2147483647, 2147483647}));
        link->ReceiveText(View(Line("500_") + Line("501_")));
        QCOMPARE(heard.arrived, QList<int>{2147483647});
        QCOMPARE(heard.messages, 2);  // reception goes on
    }

    // A frame that does not go out fails with the operator's line, and is neither counted nor
    // signalled as sent; the link itself says nothing, since the caller shows the failure.
    void frameThatDoesNotGoOutFails_data() {
        QTest::addColumn<QString>("line");  // closed, far end gone, backed up
        QTest::addColumn<QString>("why");
        QTest::newRow("port closed") << "closed"
                                     << "Not connected!";
        QTest::newRow("far end gone") << "gone"
                                      << "Port 3: Error writing comm device";
        QTest::newRow("line backed up") << "full"
                                        << "Port 3: Error writing comm device";
    }
    void frameThatDoesNotGoOutFails() {
        QFETCH(QString, line);
        QFETCH(QString, why);
        if (line != "closed") Open();
        if (line == "gone") pty->Close();
        // More than the line holds, with nobody reading: the rest waits, and the line is full.
        if (line == "full") QVERIFY(link->SendCommand(std::string(256 * 1024, 'y')).ok());
        const int sent = link->SentMessageCount();
        heard.sent.clear();

        const vp::Result<> result = link->SendCommand("111_");

        QVERIFY(!result.ok());
        QCOMPARE(result.error(), why);
        QCOMPARE(link->SentMessageCount(), sent);
        QVERIFY(heard.sent.isEmpty());
        QVERIFY(heard.texts.isEmpty());
    }

    void connectAndDisconnect() {
        link->Timer2_Timer();
        link->Disconnect();
        link->Connect();
        link->Timer2_Timer();
        link->Connect();  // already open: not reopened, same answer
        QVERIFY(link->PortOpen());
        link->Disconnect();
        link->Timer2_Timer();
        QVERIFY(!link->PortOpen());
        QCOMPARE(heard.texts, (QStringList{"Port 3 not open", "Port 3 open successfully",
                                           "Port 3 open successfully", "Port 3 closed"}));
        QVERIFY(heard.sent.isEmpty());
        const QString com = "Com3,9600,N,8,1";
        QCOMPARE(heard.shown,
                 (QList<QPair<bool, QString>>{{false, com}, {true, com}, {false, com}}));
    }

    void connectFails_data() {
        QTest::addColumn<bool>("held");
        QTest::addColumn<QString>("text");
        QTest::newRow("missing") << false << "Port 7 does not exist";
        QTest::newRow("held") << true << "Port 3 is already open";
    }
    void connectFails() {
        QFETCH(bool, held);
        MSComm other({{1, pty->path()}});
        other.SetSettings("9600,N,8,1");
        if (held)
            QCOMPARE(other.SetPortOpen(true), 0);
        else
            Make({{7, "/nonexistent/ttyVP7"}}, 7);
        link->Connect();
        QTEST(heard.texts.join('|'), "text");
        QVERIFY(!link->PortOpen());
    }

    // Its coming back under the same name is seen end to end.
    void vanishingDeviceClosesThePortOnce() {
        Open();
        QSignalSpy events(&link->MSComm1(), &vp::link::MSComm::OnComm);
        const QString error = "Port 3: Error reading comm device";

        pty->Close();
        QTRY_VERIFY_WITH_TIMEOUT(heard.texts.contains(error), 5000);
        QVERIFY(!link->PortOpen());
        // One report, not a flood: the port is closed, so the failure cannot repeat however often
        // the event loop turns.
        for (int i = 0; i < 100; ++i) QCoreApplication::processEvents();
        QCOMPARE(events.count(), 1);
        QCOMPARE(heard.texts.count(error), 1);
    }

    void pollsTurnWhileClosedAndSendOnceOpen() {
        link->Timer1_Timer();
        QList<int> steps;
        for (int i = 0; i < 5; ++i) {
            steps << LinkProbe::SlowPollStep(*link);
            link->tmrTMPOperatingHours_Timer();
        }
        QCOMPARE(steps, (QList<int>{0, 1, 2, 3, 0}));
        QVERIFY(heard.texts.isEmpty());  // no "Not connected!" from a poll
        QCOMPARE(link->SentMessageCount(), 0);
        // The slow poll turned on while the port was closed (to step 1), so it goes on there.
        Open();
        link->Timer1_Timer();
        for (int i = 0; i < 4; ++i) link->tmrTMPOperatingHours_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(
            pty->Received(), QByteArray("111_242\r038_250\r092_250\r090_248\r040_243\r"), 5000);
    }

    // Only a report that will be shown holds the grey off, and only for the period it came in.
    void watchdog_data() {
        QTest::addColumn<QByteArray>("between");
        QTest::addColumn<bool>("stale");
        QTest::newRow("report") << kReport << false;
        QTest::newRow("nothing") << QByteArray() << true;
        QTest::newRow("report of 80 bytes")
            << Line("111_" + Byte(150) + QByteArray(72, '0')) << true;
        QTest::newRow("error report") << Line("111_" + Byte(170) + QByteArray(73, '0')) << true;
    }
    void watchdog() {
        QFETCH(QByteArray, between);
        QFETCH(bool, stale);
        link->Timer5_Timer();  // nothing since the window loaded
        QCOMPARE(heard.stale, 1);
        link->ReceiveText(View(kReport));
        link->Timer5_Timer();  // a report came in this period: only consumed
        QCOMPARE(heard.stale, 1);
        link->ReceiveText(View(between));
        link->Timer5_Timer();
        QCOMPARE(heard.stale, stale ? 2 : 1);
    }

    void passesEveryByteValueBothWays() {
        QVERIFY(OpenOnPty());
        QByteArray all;
        for (int b = 0; b < 256; ++b) all.append(char(b));
        QCOMPARE(port_->Output(all), 0);
        QTRY_COMPARE_WITH_TIMEOUT(pty->Received(), all, 5000);

        QSignalSpy events(port_.get(), &MSComm::OnComm);
        QVERIFY(pty->Write(all));
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += port_->Input().text).size() >= 256, 5000);
        QCOMPARE(got, all);
        QVERIFY(!events.isEmpty());
        QCOMPARE(port_->CommEvent(), MSComm::comEvReceive);
    }

    void heldDeviceIsInUseUnderAnyOfItsNames_data() {
        QTest::addColumn<bool>("firstByLink");
        QTest::addColumn<bool>("secondByLink");
        for (int i = 0; i < 4; ++i)
            QTest::addRow("held by %s, asked by %s", i & 1 ? "a link" : "its name",
                          i & 2 ? "a link" : "its name")
                << bool(i & 1) << bool(i & 2);
    }

    void heldDeviceIsInUseUnderAnyOfItsNames() {
        QFETCH(bool, firstByLink);
        QFETCH(bool, secondByLink);
        QTemporaryDir dir;
        const QString link = dir.filePath("controller"), other = dir.filePath("also-controller");
        QVERIFY(QFile::link(pty->path(), link));
        QVERIFY(QFile::link(link, other));  // a link to a link
        MSComm first({{1, firstByLink ? link : pty->path()}});
        MSComm second({{1, secondByLink ? other : pty->path()}});
        for (MSComm* port : {&first, &second}) port->SetSettings("9600,n,8,1");
        QTest::failOnWarning(QRegularExpression(".*"));  // a held port is no case for a remedy
        QCOMPARE(first.SetPortOpen(true), 0);
        QCOMPARE(second.SetPortOpen(true), int(vp::link::kPortInUse));
        QVERIFY(!second.PortOpen());
        QCOMPARE(second.DeviceName(), secondByLink ? other : pty->path());  // the user's name
        first.SetPortOpen(false);
        QCOMPARE(second.SetPortOpen(true), 0);
    }

    void deviceWithoutPermissionIsOpenFailedWithTheRemedy() {
        QTemporaryDir dir;
        QVERIFY(
            QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther));
        const QString link = dir.filePath("controller");
        QVERIFY(QFile::link(pty->path(), link));
        QVERIFY(TakeRightsTo(pty->path()));
        const auto [code, err] = RunUnprivileged([&] {
            MSComm port({{3, link}});
            port.SetCommPort(3);
            port.SetSettings("9600,n,8,1");
            return port.SetPortOpen(true) == vp::link::kCannotOpen && !port.PortOpen() ? 0 : 1;
        });
        QVERIFY2(code == 0, err.constData());
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(pty->path()).constData(), &st), 0);
        const QByteArray group = getgrgid(st.st_gid)->gr_name;
        QCOMPARE(err, QCoreApplication::applicationName().toLocal8Bit() +
                          ": no permission to open " + QFile::encodeName(link) +
                          "; the usual remedy is membership of its group " + group +
                          " (usermod -aG " + group + " USER, then log in again)\n");
        QCOMPARE(*vp::link::PortErrorText(vp::link::kCannotOpen, 3),
                 QStringLiteral("Port 3 open failed"));
    }

    void textTakenInPartFinishesBeforeTheNext() {
        QVERIFY(OpenOnPty());
        // More than the line holds: it takes the beginning now and the rest as the far end reads.
        const QByteArray big(256 * 1024, 'y');
        QCOMPARE(port_->Output(big), 0);
        QCOMPARE(port_->Output("111_242\r"), int(vp::link::kWriteFailed));
        QTRY_COMPARE_WITH_TIMEOUT(pty->Received().size(), big.size(), 10000);
        QCOMPARE(port_->Output("040_243\r"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(pty->Received(), big + "040_243\r", 5000);
    }

    void settingsAreCheckedOnlyAtOpen_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("opens");
        QTest::newRow("intermediate text of the load") << "115200,,8,1" << false;
        QTest::newRow("no speed") << ",n,8,1" << false;
        QTest::newRow("unknown parity") << "9600,x,8,1" << false;
        QTest::newRow("three fields") << "9600,n,8" << false;
        QTest::newRow("upper-case parity") << "9600,N,8,1" << true;
        QTest::newRow("mark parity") << "921600,m,8,1" << true;
        QTest::newRow("space parity") << "2400,S,8,1" << true;
    }

    void settingsAreCheckedOnlyAtOpen() {
        QFETCH(QString, settings);
        QFETCH(bool, opens);
        MSComm port({{1, pty->path()}});
        port.SetSettings(settings);
        QCOMPARE(port.Settings(), settings);  // any text is taken while closed
        const int error = port.SetPortOpen(true);
        QCOMPARE(port.PortOpen(), opens);
        // Unusable settings are no fault of the device: none of the operator's port texts fits, so
        // the status box keeps what it showed.
        QCOMPARE(error, opens ? 0 : int(vp::link::kInvalidSettings));
        QCOMPARE(vp::link::PortErrorText(error, 1), std::nullopt);
    }

    void defaultNamesFollowThePortNumber() {
        QCOMPARE(vp::link::DefaultDeviceName(1), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(vp::link::DefaultDeviceName(10), QStringLiteral("/dev/ttyS9"));
        MSComm port({{3, "/tmp/x"}});
        port.SetCommPort(2);
        QCOMPARE(port.DeviceName(), QStringLiteral("/dev/ttyS1"));
        port.SetCommPort(3);
        QCOMPARE(port.DeviceName(), QStringLiteral("/tmp/x"));
    }

private:
    // A port object open on the pseudo-terminal at 115200,n,8,1.
    bool OpenOnPty() {
        port_ = std::make_unique<MSComm>(vp::link::PortNames{{1, pty->path()}});
        port_->SetSettings("115200,n,8,1");
        return port_->SetPortOpen(true) == 0;
    }

    void Make(PortNames names, std::int16_t port = 3) {
        heard = {};
        link = std::make_unique<Link>(std::move(names));
        link->MSComm1().SetCommPort(port);
        link->Load();
        Heard* h = &heard;
        connect(link.get(), &Link::StatusText, [h](const QString& t) { h->texts << t; });
        connect(link.get(), &Link::MessageReceived, [h](std::string_view) { ++h->messages; });
        connect(link.get(), &Link::FrameSent, [h](std::int32_t n) { h->sent << n; });
        connect(link.get(), &Link::MessagesArrived, [h](std::int32_t n) { h->arrived << n; });
        connect(link.get(), &Link::ConnectionShown, [h](bool open, const QString& com) {
            h->shown.append({open, com});
        });
        connect(link.get(), &Link::ReportsStale, [h] { ++h->stale; });
    }
    void Open() {
        link->Connect();
        QVERIFY(link->PortOpen());
        heard.texts.clear();
    }

    std::unique_ptr<PseudoTerminal> pty;
    std::unique_ptr<Link> link;
    std::unique_ptr<MSComm> port_;
    Heard heard;
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
