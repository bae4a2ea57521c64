// The vacuum-controller-sim program, run as a person or a script would run it.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "controller_line.h"

using simtest::ChecksumOk;
using simtest::CodeAt;
using simtest::PanelEnd;

namespace {

constexpr int kWait = 5000;

}  // namespace

class TestSimProgram : public QObject {
    Q_OBJECT

private:
    // Starts the program and gives the device path it prints; empty on failure.
    static QString StartSim(QProcess& process, const QStringList& arguments) {
        process.start(QStringLiteral(VP_SIM_PROGRAM), arguments);
        if (!process.waitForStarted(kWait)) return {};
        if (!QTest::qWaitFor([&] { return process.canReadLine(); }, kWait)) return {};
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }

private slots:
    void servesItsDeviceThroughTheLinkUntilTerminated() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyVACUUM"));
        QProcess process;
        const QString device = StartSim(process, {QStringLiteral("--link"), link});
        QVERIFY2(device.startsWith(QStringLiteral("/dev/")), qPrintable(device));
        QCOMPARE(QFileInfo(link).symLinkTarget(), device);

        PanelEnd panel;
        QVERIFY(panel.Open(link));
        panel.Send("111_");
        QTRY_COMPARE_WITH_TIMEOUT(panel.LineCount(), 1, kWait);
        const QByteArray line = panel.Lines()[0];
        QCOMPARE(line.size(), 81);
        QVERIFY(ChecksumOk(line));

        process.terminate();
        QVERIFY(process.waitForFinished(kWait));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(link));
    }

    void faultsFromTheCommandLineApplyToTheFirstReply() {
        QProcess process;
        const QString device =
            StartSim(process, {QStringLiteral("--fault"), QStringLiteral("error-report=170"),
                               QStringLiteral("--fault"), QStringLiteral("warning=221")});
        QVERIFY(!device.isEmpty());
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
        const QString device = StartSim(process, {QStringLiteral("--interactive")});
        QVERIFY(!device.isEmpty());
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

    void refusesABadFault() {
        QProcess process;
        process.start(QStringLiteral(VP_SIM_PROGRAM),
                      {QStringLiteral("--fault"), QStringLiteral("meltdown")});
        QVERIFY(process.waitForFinished(kWait));
        QVERIFY(process.exitCode() != 0);
        QVERIFY(process.readAllStandardError().contains("meltdown"));
    }

    void helpNamesEveryFault() {
        QProcess process;
        process.start(QStringLiteral(VP_SIM_PROGRAM), {QStringLiteral("--help")});
        QVERIFY(process.waitForFinished(kWait));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray help = process.readAllStandardOutput();
        for (const char* name : {"bad-checksum", "error-report=", "warning=", "wrong-length=",
                                 "silence=", "noise", "split", "flood=", "--link", "--fault"}) {
            QVERIFY2(help.contains(name), name);
        }
    }
};

QTEST_GUILESS_MAIN(TestSimProgram)
#include "tst_sim_program.moc"
