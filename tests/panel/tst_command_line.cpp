// The command line: what it accepts, and one clear line with exit code 2 for what it does not.
#include <QtTest>

#include "app/command_line.h"

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void accepted();
    void rejected_data();
    void rejected();
    void helpAndVersionEndAtOnce();
};

void TestCommandLine::accepted() {
    const auto o =
        vp::app::ParseCommandLine({"vacuum-panel", "--port", "2=/dev/pts/7", "--port=10=/tmp/link",
                                   "--screenshot", "out.png", "--quit-after", "1.5", "--simulate"});
    QVERIFY(!o.exitCode);
    QCOMPARE(o.ports.value(2), QStringLiteral("/dev/pts/7"));
    QCOMPARE(o.ports.value(10), QStringLiteral("/tmp/link"));
    QCOMPARE(o.screenshot, QStringLiteral("out.png"));
    QCOMPARE(*o.quitAfterSeconds, 1.5);
    QVERIFY(o.simulate);
    QVERIFY(!vp::app::ParseCommandLine({"vacuum-panel"}).exitCode);
    // The longest wait Qt's timers take, and the simulator beside a port other than its own.
    const auto longest = vp::app::ParseCommandLine(
        {"vacuum-panel", "--quit-after", "2147483", "--simulate", "--port", "4=/dev/ttyUSB0"});
    QVERIFY(!longest.exitCode);
    QCOMPARE(*longest.quitAfterSeconds, 2147483.0);
    // Qt's own options are the application object's to take.
    const auto qt = vp::app::ParseCommandLine(
        {"vacuum-panel", "-platform", "offscreen", "--style", "Fusion", "-reverse", "--simulate"});
    QVERIFY2(!qt.exitCode, qPrintable(qt.message));
    QVERIFY(qt.simulate);
}

void TestCommandLine::rejected_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown option") << QStringList{"vacuum-panel", "--frobnicate"};
    QTest::newRow("port without =") << QStringList{"vacuum-panel", "--port", "3"};
    QTest::newRow("port zero") << QStringList{"vacuum-panel", "--port", "0=/dev/x"};
    QTest::newRow("port not a number") << QStringList{"vacuum-panel", "--port", "a=/dev/x"};
    QTest::newRow("port no device") << QStringList{"vacuum-panel", "--port", "2="};
    QTest::newRow("quit-after text") << QStringList{"vacuum-panel", "--quit-after", "soon"};
    QTest::newRow("quit-after negative") << QStringList{"vacuum-panel", "--quit-after", "-1"};
    QTest::newRow("quit-after past an int of milliseconds")
        << QStringList{"vacuum-panel", "--quit-after", "2147484"};
    QTest::newRow("quit-after infinite") << QStringList{"vacuum-panel", "--quit-after", "inf"};
    QTest::newRow("simulate with port 3 of the user's")
        << QStringList{"vacuum-panel", "--simulate", "--port", "3=/dev/ttyUSB0"};
    QTest::newRow("missing value") << QStringList{"vacuum-panel", "--screenshot"};
    QTest::newRow("screenshot without extension") << QStringList{"vacuum-panel", "--screenshot", "shot"};
    QTest::newRow("screenshot as JPEG") << QStringList{"vacuum-panel", "--screenshot", "shot.jpg"};
    QTest::newRow("stray argument") << QStringList{"vacuum-panel", "extra"};
}

void TestCommandLine::rejected() {
    QFETCH(QStringList, args);
    const auto o = vp::app::ParseCommandLine(args);
    QVERIFY(o.exitCode);
    QCOMPARE(*o.exitCode, 2);
    QVERIFY(o.message.startsWith("vacuum-panel: "));
    QCOMPARE(o.message.count('\n'), 1);
}

void TestCommandLine::helpAndVersionEndAtOnce() {
    const auto help = vp::app::ParseCommandLine({"vacuum-panel", "--help"});
    QCOMPARE(help.exitCode.value_or(-1), 0);
    QVERIFY2(help.message.startsWith("Usage: vacuum-panel [options]\n"), qPrintable(help.message));
    QVERIFY(help.message.contains("--port"));
    QVERIFY(!help.message.contains("platform"));
    const auto version = vp::app::ParseCommandLine({"vacuum-panel", "--version"});
    QCOMPARE(version.exitCode.value_or(-1), 0);
    QVERIFY(version.message.startsWith("vacuum-panel "));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
