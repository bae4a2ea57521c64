// The vacuum-controller-sim program, run as a person or a script would run it.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "controller_line.h"

using simtest::CodeAt;
using simtest::PanelEnd;

namespace {

constexpr int kWait = 5000;

// Starts the program and gives the device path it prints; empty on failure.
QString StartSim(QProcess& process, const QStringList& arguments) {
    process.start(QStringLiteral(VP_SIM_PROGRAM), arguments);
    if (!process.waitForStarted(kWait)) return {};
    if (!QTest::qWaitFor([&] { return process.canReadLine(); }, kWait)) return {};
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}

}  // namespace

class TestSimProgram : public QObject {
    Q_OBJECT

private slots:
    void servesItsDeviceThroughTheLinkUntilTerminated() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyVACUUM"));
        QProcess process;
        const QString device = StartSim(process, {"--link", link});
        QVERIFY2(device.startsWith(QStringLiteral("/dev/")), qPrintable(device));
        QCOMPARE(QFileInfo(link).symLinkTarget(), device);

        PanelEnd panel;
        QVERIFY(panel.Open(link));
        panel.Send("111_");
        QTRY_COMPARE_WITH_TIMEOUT(panel.LineCount(), 1, kWait);
        QCOMPARE(panel.Lines()[0].size(), 81);
        QVERIFY(simtest::ChecksumOk(panel.Lines()[0]));

        process.terminate();
        QVERIFY(process.waitForFinished(kWait));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(link));
    }

    void faultsFromTheCommandLineApplyToTheFirstReply() {
        QProcess process;
        const QString device =
            StartSim(process, {"--fault", "error-report=170", "--fault", "warning=221"});
        PanelEnd panel;
        QVERIFY(panel.Open(device));
        panel.Send("111_");
        QTRY_COMPARE_WITH_TIMEOUT(panel.LineCount(), 2, kWait);
        QCOMPARE(CodeAt(panel.Lines()[0], 5), 170);
        QCOMPARE(panel.Lines()[1].left(3), QByteArray("221"));
        process.kill();
        process.waitForFinished(kWait);
    }

    void interactiveFaultsArriveOnStandardInput() {
        QProcess process;
        const QString device = StartSim(process, {"--interactive"});
        PanelEnd panel;
        QVERIFY(panel.Open(device));
        process.write("flood=3\n");
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += process.readAllStandardError()).contains("flood=3 armed"),
                                 kWait);
        panel.Send("111_");
        QTRY_COMPARE_WITH_TIMEOUT(panel.LineCount(), 4, kWait);
        process.terminate();
        QVERIFY(process.waitForFinished(kWait));
        QCOMPARE(process.exitCode(), 0);
    }

    void helpNamesEveryFaultAndABadOneIsRefused() {
        QProcess process;
        process.start(QStringLiteral(VP_SIM_PROGRAM), {"--help"});
        QVERIFY(process.waitForFinished(kWait));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray help = process.readAllStandardOutput();
        for (const char* name : {"bad-checksum", "error-report=", "warning=", "wrong-length=",
                                 "silence=", "noise", "split", "flood=", "--link", "--fault"})
            QVERIFY2(help.contains(name), name);

        process.start(QStringLiteral(VP_SIM_PROGRAM), {"--fault", "meltdown"});
        QVERIFY(process.waitForFinished(kWait));
        QVERIFY(process.exitCode() != 0);
        QVERIFY(process.readAllStandardError().contains("meltdown"));
    }
};

QTEST_GUILESS_MAIN(TestSimProgram)
#include "tst_sim_program.moc"
