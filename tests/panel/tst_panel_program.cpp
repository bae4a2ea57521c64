// vacuum-panel as a user starts it: without a display for --help, with a FIFO nobody reads as its
// record, and with nothing on standard error that is not the user's business. Then the command
// line read on its own: what it accepts, and one clear line with exit code 2 for what it does not.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/command_line.h"

namespace {

struct Run {
    int exitCode = -1;
    bool finished = false;
    QByteArray out, err;
};

Run Start(const QStringList& arguments, const QProcessEnvironment& environment,
          int waitMs = 20000) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VP_PANEL_PROGRAM), arguments);
    Run run;
    run.finished = process.waitForFinished(waitMs) && process.exitStatus() == QProcess::NormalExit;
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

}  // namespace

class TestPanelProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(runtime_.isValid());
        QVERIFY(QFile::setPermissions(runtime_.path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        withWindow_ = QProcessEnvironment::systemEnvironment();
        withWindow_.insert("QT_QPA_PLATFORM", "offscreen");
        withWindow_.insert("XDG_RUNTIME_DIR", runtime_.path());
        // Over ssh or in a service: no display at all, and the window system that would need one.
        noDisplay_ = withWindow_;
        noDisplay_.remove("DISPLAY");
        noDisplay_.remove("WAYLAND_DISPLAY");
        noDisplay_.insert("QT_QPA_PLATFORM", "xcb");
    }

    void commandLineIsReadWithoutADisplay_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");  // beginning of standard output
        QTest::addColumn<QString>("err");  // all of standard error
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: vacuum-panel [options]\n"
                              << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "vacuum-panel "
                                 << "";
        QTest::newRow("bad option") << QStringList{"--frobnicate"} << 2 << ""
                                    << "vacuum-panel: Unknown option 'frobnicate'.\n";
        QTest::newRow("simulator over the user's port 3")
            << QStringList{"--simulate", "--port", "3=/dev/ttyUSB0"} << 2 << ""
            << "vacuum-panel: --simulate serves port 3 itself; it cannot go with --port "
               "3=/dev/ttyUSB0\n";
        QTest::newRow("quit-after beyond Qt's timers")
            << QStringList{"--quit-after", "2147484"} << 2 << ""
            << "vacuum-panel: --quit-after wants a number of seconds from 0 to 2147483, not "
               "\"2147484\"\n";
    }

    void commandLineIsReadWithoutADisplay() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run run = Start(arguments, noDisplay_);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.out.startsWith(out.toUtf8()), run.out.constData());
        QCOMPARE(QString::fromUtf8(run.err), err);
    }

    // Opening a FIFO that nobody reads would wait for a reader before the window shows, and the
    // program would never quit.
    void fifoWithoutAReaderHoldsNothingUp() {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("record");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const Run run = Start({"--record", fifo, "--quit-after", "1"}, withWindow_);
        QVERIFY2(run.finished, run.err.constData());
        QCOMPARE(run.exitCode, 0);
    }

    void quietOnStandardError_data() {
        QTest::addColumn<QString>("record");
        QTest::newRow("no record") << QString();
        QTest::newRow("record to a file") << "file";
        QTest::newRow("record to /dev/null") << "/dev/null";
        QTest::newRow("record to a FIFO being read") << "fifo";
    }

    void quietOnStandardError() {
        QFETCH(QString, record);
        QTemporaryDir dir;
        QStringList arguments{"--simulate", "--quit-after", "1"};
        int reader = -1;
        if (record == "file") {
            record = dir.filePath("record");
        } else if (record == "fifo") {
            record = dir.filePath("record");
            QCOMPARE(::mkfifo(QFile::encodeName(record).constData(), 0600), 0);
            reader = ::open(QFile::encodeName(record).constData(), O_RDONLY | O_NONBLOCK);
            QVERIFY(reader >= 0);
        }
        if (!record.isEmpty()) arguments << "--record" << record;
        const Run run = Start(arguments, withWindow_);
        if (reader >= 0) ::close(reader);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);

        QByteArrayList lines = run.err.split('\n');
        lines.removeAll(QByteArray());
        QCOMPARE(lines.join('\n'), QByteArray());
    }

    void accepted() {
        const auto o = vp::app::ParseCommandLine({"vacuum-panel", "--port", "2=/dev/pts/7",
                                                  "--port=10=/tmp/link", "--screenshot", "out.png",
                                                  "--quit-after", "1.5", "--simulate"});
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
        const auto qt = vp::app::ParseCommandLine({"vacuum-panel", "-platform", "offscreen",
                                                   "--style", "Fusion", "-reverse", "--simulate"});
        QVERIFY2(!qt.exitCode, qPrintable(qt.message));
        QVERIFY(qt.simulate);
    }

    void rejected_data() {
        QTest::addColumn<QStringList>("args");
        // Unknown options, --simulate over port 3 and --quit-after beyond Qt's timers are refused
        // in the program's own test, as a user meets them.
        for (const char* args :
             {"--port 3", "--port 0=/dev/x", "--port a=/dev/x", "--port 2=", "--quit-after soon",
              "--quit-after -1", "--quit-after inf", "--screenshot", "--screenshot shot",
              "--screenshot shot.jpg", "extra"})
            QTest::newRow(args) << QStringList{"vacuum-panel"} + QString(args).split(' ');
    }

    void rejected() {
        QFETCH(QStringList, args);
        const auto o = vp::app::ParseCommandLine(args);
        QCOMPARE(o.exitCode.value_or(0), 2);
        QVERIFY(o.message.startsWith("vacuum-panel: "));
        QCOMPARE(o.message.count('\n'), 1);
    }

    // Exit codes and first lines are checked on the real program; here, what help holds.
    void helpAndVersionEndAtOnce() {
        const auto help = vp::app::ParseCommandLine({"vacuum-panel", "--help"});
        QVERIFY(help.message.contains("--port") && !help.message.contains("platform"));
    }

private:
    QTemporaryDir runtime_;
    QProcessEnvironment withWindow_, noDisplay_;
};

QTEST_GUILESS_MAIN(TestPanelProgram)
#include "tst_panel_program.moc"
