// The port object against real devices: a pseudo-terminal, a missing path, a held one.
#include <QtTest>

#include "link/comm_port.h"
#include "link/port_errors.h"
#include "support/pseudo_terminal.h"

using vp::link::MSComm;

class TestCommPort : public QObject {
    Q_OBJECT

private slots:
    void opensAPseudoTerminalWithItsSettings();
    void passesEveryByteValueBothWays();
    void missingDeviceIsNoSuchPort();
    void heldDeviceIsAlreadyInUse();
    void settingsAreCheckedOnlyAtOpen_data();
    void settingsAreCheckedOnlyAtOpen();
    void defaultNamesFollowThePortNumber();
};

void TestCommPort::opensAPseudoTerminalWithItsSettings() {
    PseudoTerminal pty;
    QVERIFY(pty.ok());
    MSComm port({{4, pty.path()}});
    port.SetCommPort(4);
    port.SetSettings("38400,E,8,1");
    QCOMPARE(port.SetPortOpen(true), 0);
    QVERIFY(port.PortOpen());
    QCOMPARE(port.DeviceName(), pty.path());
    QCOMPARE(port.SetPortOpen(false), 0);
    QVERIFY(!port.PortOpen());
}

void TestCommPort::passesEveryByteValueBothWays() {
    PseudoTerminal pty;
    QVERIFY(pty.ok());
    MSComm port({{1, pty.path()}});
    port.SetSettings("115200,n,8,1");
    QCOMPARE(port.SetPortOpen(true), 0);
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

void TestCommPort::missingDeviceIsNoSuchPort() {
    MSComm port({{7, "/dev/no-such-serial-device"}});
    port.SetCommPort(7);
    port.SetSettings("9600,n,8,1");
    QCOMPARE(port.SetPortOpen(true), int(vp::link::kNoSuchPort));
    QVERIFY(!port.PortOpen());
    QCOMPARE(*vp::link::PortErrorText(port.SetPortOpen(true), 7),
             QStringLiteral("Port 7 does not exist"));
}

void TestCommPort::heldDeviceIsAlreadyInUse() {
    PseudoTerminal pty;
    QVERIFY(pty.ok());
    MSComm first({{1, pty.path()}});
    MSComm second({{1, pty.path()}});
    first.SetSettings("9600,n,8,1");
    second.SetSettings("9600,n,8,1");
    QCOMPARE(first.SetPortOpen(true), 0);
    QCOMPARE(second.SetPortOpen(true), int(vp::link::kPortInUse));
    QVERIFY(!second.PortOpen());
    QVERIFY(first.PortOpen());
    // Once released, the other object gets it.
    first.SetPortOpen(false);
    QCOMPARE(second.SetPortOpen(true), 0);
}

void TestCommPort::settingsAreCheckedOnlyAtOpen_data() {
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

void TestCommPort::settingsAreCheckedOnlyAtOpen() {
    QFETCH(QString, settings);
    QFETCH(bool, opens);
    PseudoTerminal pty;
    QVERIFY(pty.ok());
    MSComm port({{1, pty.path()}});
    port.SetSettings(settings);
    QCOMPARE(port.Settings(), settings);  // any text is taken while closed
    const int error = port.SetPortOpen(true);
    QCOMPARE(error == 0, opens);
    QCOMPARE(port.PortOpen(), opens);
    if (!opens) QVERIFY(!vp::link::PortErrorText(error, 1).has_value() || error != 0);
}

void TestCommPort::defaultNamesFollowThePortNumber() {
    QCOMPARE(vp::link::DefaultDeviceName(1), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(vp::link::DefaultDeviceName(10), QStringLiteral("/dev/ttyS9"));
    MSComm port({{3, "/tmp/x"}});
    port.SetCommPort(2);
    QCOMPARE(port.DeviceName(), QStringLiteral("/dev/ttyS1"));
    port.SetCommPort(3);
    QCOMPARE(port.DeviceName(), QStringLiteral("/tmp/x"));
}

QTEST_GUILESS_MAIN(TestCommPort)
#include "tst_comm_port.moc"
