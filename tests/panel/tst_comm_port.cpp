// The port object against real devices: a pseudo-terminal, a missing path, a held one, one the
// user may not open, and a line whose far end stops reading.
#include <sys/stat.h>

#include <QTemporaryDir>
#include <QtTest>

#include "link/comm_port.h"
#include "link/port_errors.h"
#include "support/line_filler.h"
#include "support/pseudo_terminal.h"
#include "support/unprivileged.h"

using vp::link::MSComm;

namespace {

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

class TestCommPort : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        port_.reset();
        pty_.reset();
    }

    void passesEveryByteValueBothWays() {
        QVERIFY(OpenOnPty());
        PseudoTerminal& pty = *pty_;
        MSComm& port = *port_;
        QByteArray all;
        for (int b = 0; b < 256; ++b) all.append(char(b));
        QCOMPARE(port.Output(all), 0);
        QTRY_COMPARE_WITH_TIMEOUT(pty.Received(), all, 5000);

        QSignalSpy events(&port, &MSComm::OnComm);
        QVERIFY(pty.Write(all));
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += port.Input().text).size() >= 256, 5000);
        QCOMPARE(got, all);
        QVERIFY(!events.isEmpty());
        QCOMPARE(port.CommEvent(), MSComm::comEvReceive);
    }

    void heldDeviceIsInUseUnderAnyOfItsNames_data() {
        QTest::addColumn<bool>("firstByLink");
        QTest::addColumn<bool>("secondByLink");
        QTest::newRow("held and asked by its name") << false << false;
        QTest::newRow("held by its name, asked through a link") << false << true;
        QTest::newRow("held through a link, asked by its name") << true << false;
        QTest::newRow("held and asked through links") << true << true;
    }

    void heldDeviceIsInUseUnderAnyOfItsNames() {
        QFETCH(bool, firstByLink);
        QFETCH(bool, secondByLink);
        PseudoTerminal pty;
        QVERIFY(pty.ok());
        QTemporaryDir dir;
        const QString link = dir.filePath("controller"), other = dir.filePath("also-controller");
        QVERIFY(QFile::link(pty.path(), link));
        QVERIFY(QFile::link(link, other));  // a link to a link
        MSComm first({{1, firstByLink ? link : pty.path()}});
        MSComm second({{1, secondByLink ? other : pty.path()}});
        first.SetSettings("9600,n,8,1");
        second.SetSettings("9600,n,8,1");
        QTest::failOnWarning(QRegularExpression(".*"));  // a held port is no case for a remedy
        QCOMPARE(first.SetPortOpen(true), 0);
        QCOMPARE(second.SetPortOpen(true), int(vp::link::kPortInUse));
        QCOMPARE(*vp::link::PortErrorText(vp::link::kPortInUse, 1),
                 QStringLiteral("Port 1 is already open"));
        QVERIFY(!second.PortOpen());
        QCOMPARE(second.DeviceName(),
                 secondByLink ? other : pty.path());  // the name stays the user's
        first.SetPortOpen(false);
        QCOMPARE(second.SetPortOpen(true), 0);
    }

    void deviceWithoutPermissionIsOpenFailedWithTheRemedy() {
        PseudoTerminal pty;
        QVERIFY(pty.ok());
        QTemporaryDir dir;
        QVERIFY(
            QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther));
        const QString link = dir.filePath("controller");
        QVERIFY(QFile::link(pty.path(), link));
        QVERIFY(TakeRightsTo(pty.path()));
        const auto [code, err] = RunUnprivileged([&] {
            MSComm port({{3, link}});
            port.SetCommPort(3);
            port.SetSettings("9600,n,8,1");
            return port.SetPortOpen(true) == vp::link::kCannotOpen && !port.PortOpen() ? 0 : 1;
        });
        QVERIFY2(code == 0, err.constData());
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(pty.path()).constData(), &st), 0);
        const QByteArray group = getgrgid(st.st_gid)->gr_name;
        QCOMPARE(err, QCoreApplication::applicationName().toLocal8Bit() +
                          ": no permission to open " + QFile::encodeName(link) +
                          "; the usual remedy is membership of its group " + group +
                          " (usermod -aG " + group + " USER, then log in again)\n");
        QCOMPARE(*vp::link::PortErrorText(vp::link::kCannotOpen, 3),
                 QStringLiteral("Port 3 open failed"));
    }

    void fullLineRefusesFramesWholeAndRecovers() {
        QVERIFY(OpenOnPty());
        PseudoTerminal& pty = *pty_;
        MSComm& port = *port_;
        QSignalSpy events(&port, &MSComm::OnComm);
        const QByteArray frame = "111_242\r";
        QCOMPARE(port.Output(frame), 0);

        // The far end stops reading; the line stays full for seconds while polls keep coming.
        QVERIFY(FillLine(pty.path()) > 0);
        int taken = 0, refused = 0;
        QElapsedTimer held;
        held.start();
        while (held.elapsed() < 3000) {
            FillLine(pty.path());
            (port.Output(frame) == 0 ? taken : refused)++;
            QTest::qWait(100);
        }
        QVERIFY(refused > 0);
        QVERIFY(port.PortOpen());
        QVERIFY(events.isEmpty());

        // The far end reads again: frames go out at once, and it gets every frame that was taken
        // and none that was refused.
        bool flowing = false;
        QTRY_VERIFY_WITH_TIMEOUT(flowing || (pty.ReadAll(), flowing = port.Output(frame) == 0),
                                 5000);
        QCOMPARE(port.Output(frame), 0);  // the failure does not stick
        QTRY_COMPARE_WITH_TIMEOUT(WithoutFiller(pty.Received()), frame.repeated(taken + 3), 5000);
        QVERIFY(port.PortOpen());
        QCOMPARE(port.Input().error, 0);
    }

    void textTakenInPartFinishesBeforeTheNext() {
        QVERIFY(OpenOnPty());
        PseudoTerminal& pty = *pty_;
        MSComm& port = *port_;
        // More than the line holds: it takes the beginning now and the rest as the far end reads.
        const QByteArray big(256 * 1024, 'y');
        QCOMPARE(port.Output(big), 0);
        QCOMPARE(port.Output("111_242\r"), int(vp::link::kWriteFailed));
        QTRY_COMPARE_WITH_TIMEOUT(pty.Received().size(), big.size(), 10000);
        QCOMPARE(port.Output("040_243\r"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(pty.Received(), big + "040_243\r", 5000);
    }

    void settingsAreCheckedOnlyAtOpen_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("opens");
        QTest::newRow("intermediate text of the load") << "115200,,8,1" << false;
        QTest::newRow("no speed") << ",n,8,1" << false;
        QTest::newRow("letters for speed") << "fast,n,8,1" << false;
        QTest::newRow("unknown parity") << "9600,x,8,1" << false;
        QTest::newRow("three fields") << "9600,n,8" << false;
        QTest::newRow("upper-case parity") << "9600,N,8,1" << true;
        QTest::newRow("mark parity") << "921600,m,8,1" << true;
        QTest::newRow("space parity") << "2400,S,8,1" << true;
    }

    void settingsAreCheckedOnlyAtOpen() {
        QFETCH(QString, settings);
        QFETCH(bool, opens);
        PseudoTerminal pty;
        QVERIFY(pty.ok());
        MSComm port({{1, pty.path()}});
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
    // A pseudo-terminal and a port object open on it at 115200,n,8,1.
    bool OpenOnPty() {
        pty_ = std::make_unique<PseudoTerminal>();
        port_ = std::make_unique<MSComm>(vp::link::PortNames{{1, pty_->path()}});
        port_->SetSettings("115200,n,8,1");
        return pty_->ok() && port_->SetPortOpen(true) == 0;
    }

    std::unique_ptr<PseudoTerminal> pty_;
    std::unique_ptr<MSComm> port_;
};

QTEST_GUILESS_MAIN(TestCommPort)
#include "tst_comm_port.moc"
