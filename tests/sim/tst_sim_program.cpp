// SPDX-License-Identifier: MIT
// The vacuum-controller-sim program, run as a person or a script would run it.
#include <QFileInfo>
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

// A record of two controller messages, and a line that breaks it (line 3 when put between).
constexpr char kHead[] = "# vacuum-panel traffic record 1\n1\tRX\t221_1\tok\n";
constexpr char kTail[] = "2\tRX\t222_2\tok\n";
constexpr char kBroken[] = "7\tRX\t\\q\n";

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Stops the program as a person would and says whether it ended well; with what it said.
bool Terminated(QProcess& process, QString* said = nullptr) {
    process.terminate();
    const bool ended = process.waitForFinished(kWait) &&
                       process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (said) *said = QString::fromLocal8Bit(process.readAllStandardError());
    return ended;
}

}  // namespace

class TestSimProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY(Write(dir_.filePath("plant.rec"), "notes\n"));
        QVERIFY(QFile::link(dir_.filePath("plant.rec"), dir_.filePath("notes")));
        QVERIFY(Write(dir_.filePath("empty.rec"), ""));
        QVERIFY(Write(dir_.filePath("sent.rec"),
                      "# vacuum-panel traffic record 1\n\n1\tTX\t111_242\\r\n"));
        QVERIFY(Write(dir_.filePath("broken.rec"), QByteArray(kHead) + kBroken + kTail));
    }

    // Served through the link until terminated; faults from the command line apply to the first
    // reply, more arrive on standard input.
    void servesItsDeviceThroughTheLinkWithFaultsAsked() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyVACUUM"));
        QProcess process;
        const QString device = StartSim(process, {"--link", link, "--fault", "error-report=170",
                                                  "--fault", "warning=221", "--interactive"});
        QVERIFY2(device.startsWith(QStringLiteral("/dev/")), qPrintable(device));
        QCOMPARE(QFileInfo(link).symLinkTarget(), device);

        PanelEnd panel;
        QVERIFY(panel.Open(link));
        panel.Send("111_");
        QTRY_COMPARE_WITH_TIMEOUT(panel.LineCount(), 2, kWait);
        QCOMPARE(CodeAt(panel.Lines()[0], 5), 170);
        QCOMPARE(panel.Lines()[1].left(3), QByteArray("221"));
        process.write("flood=3\n");
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += process.readAllStandardError()).contains("flood=3 armed"),
                                 kWait);
        panel.Send("111_");
        QTRY_COMPARE_WITH_TIMEOUT(panel.LineCount(), 6, kWait);

        QVERIFY(Terminated(process));
        QVERIFY(!QFileInfo(link).isSymLink());  // not even dangling
    }

    void badCommandLineExitsWithTwoAndTouchesNothing_data() {
        QTest::addColumn<QStringList>("arguments");  // "@" stands for the test's folder
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, QStringList arguments, const char* message) {
            QTest::newRow(name) << arguments << QString(message);
        };
        row("unknown option", {"--bogus"}, "Unknown option 'bogus'");
        row("stray argument", {"plant.rec"}, "unexpected argument \"plant.rec\"");
        row("--fast alone", {"--fast"}, "--fast goes with --replay FILE");
        row("unknown fault", {"--fault", "meltdown"}, "meltdown");
        row("link onto a file", {"--link", "@/plant.rec"}, "a file is there");
        row("link onto a link to a file", {"--link", "@/notes"},
            "it is a symbolic link to @/plant.rec, not to a pseudo-terminal");
        row("empty record", {"--replay", "@/empty.rec"}, "the file is empty: nothing to replay");
        row("record of comments and frames sent", {"--replay", "@/sent.rec"},
            "nothing to replay: none of its 3 line(s) is a controller message (RX line); "
            "1 panel frame(s) (TX), 2 comment or empty line(s), 0 unreadable");
        row("strict replay of a broken line", {"--replay", "@/broken.rec", "--strict"},
            "@/broken.rec: line 3 has a broken escape");
    }
    void badCommandLineExitsWithTwoAndTouchesNothing() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        arguments.replaceInStrings("@", dir_.path());
        message.replace("@", dir_.path());
        QProcess process;
        process.start(QStringLiteral(VP_SIM_PROGRAM), arguments);
        QVERIFY(process.waitForFinished(kWait));
        QCOMPARE(process.exitCode(), 2);
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(err.startsWith("vacuum-controller-sim: ") && err.contains(message) &&
                     err.count('\n') == 1,
                 qPrintable(err));
        QFile notes(dir_.filePath("plant.rec"));
        QVERIFY(notes.open(QIODevice::ReadOnly) && notes.readAll() == "notes\n");
        QCOMPARE(QFileInfo(dir_.filePath("notes")).symLinkTarget(), dir_.filePath("plant.rec"));
    }

    // A record damaged in between, and cut short by a full disk, still replays what it holds.
    void replayLeavesOutWhatItCannotRead() {
        const QString path = dir_.filePath("damaged.rec");
        QVERIFY(Write(path, QByteArray(kHead) + kBroken + kTail + "3\tRX\t111_\\x9"));
        QProcess process;
        const QString device = StartSim(process, {"--replay", path, "--fast"});
        PanelEnd panel;
        QVERIFY(panel.Open(device));
        panel.Send("111_");
        QTRY_COMPARE_WITH_TIMEOUT(panel.LineCount(), 2, kWait);
        QCOMPARE(panel.Lines(), (QList<QByteArray>{"221_1", "222_2"}));
        QString err;
        QVERIFY(Terminated(process, &err));
        QVERIFY2(err.contains(path + ": line 3 has a broken escape, left out") &&
                     err.contains(path + ": line 5 is cut short"),
                 qPrintable(err));
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestSimProgram)
#include "tst_sim_program.moc"
