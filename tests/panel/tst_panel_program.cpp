// vacuum-panel as a user starts it: without a display for --help, with a FIFO nobody reads as its
// record, and with nothing on standard error that is not the user's business. Then the command
// line read on its own: what it accepts, and one clear line with exit code 2 for what it does not.
// Last, the traffic record on what an engineer points it at besides a plain file: a pipe whose
// reader goes away, a FIFO nobody reads yet, a file that reaches its size limit.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/command_line.h"
#include "record/traffic_recorder.h"
#include "support/file_size_limit.h"

using vp::record::TrafficRecorder;

namespace {

struct Run {
    int exitCode = -1;
    bool finished = false;
    QByteArray out, err;
};

const QString kNotice = QStringLiteral("Could not write traffic record: ");

QByteArray ReadAvailable(int fd) {
    QByteArray all;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) all.append(buf, n);
    return all;
}

Run Start(const QStringList& arguments, const QProcessEnvironment& environment, int waitMs = 20000,
          const QString& folder = {}) {
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!folder.isEmpty()) process.setWorkingDirectory(folder);
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
    // Qt's complaints about seeking in a pipe or a device are noise on the panel's standard error.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }

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

    // A FIFO nobody reads must not hold the window up: opening it would wait for a reader, and
    // the program would never quit.
    void quietOnStandardError_data() {
        QTest::addColumn<QString>("record");
        QTest::newRow("no record") << QString();
        QTest::newRow("record to a file") << "file";
        QTest::newRow("record to /dev/null") << "/dev/null";
        QTest::newRow("record to a FIFO nobody reads") << "fifo";
    }

    void quietOnStandardError() {
        QFETCH(QString, record);
        QTemporaryDir dir;
        QStringList arguments{"--simulate", "--quit-after", "1"};
        if (record == "file" || record == "fifo") {
            const QString path = dir.filePath("record");
            if (record == "fifo") QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            record = path;
        }
        if (!record.isEmpty()) arguments << "--record" << record;
        // In a folder with its log folder: a journal that cannot be written is said on stderr.
        QVERIFY(QDir(dir.path()).mkdir("log"));
        const Run run = Start(arguments, withWindow_, 20000, dir.path());
        QVERIFY2(run.finished, run.err.constData());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(QByteArray(run.err).replace('\n', ""), QByteArray());
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
        // Exit codes and first lines are checked on the real program; here, what help holds.
        const QString help = vp::app::ParseCommandLine({"vacuum-panel", "--help"}).message;
        QVERIFY(help.contains("--port") && !help.contains("platform"));
    }

    void rejected_data() {
        QTest::addColumn<QStringList>("args");
        // Unknown options are refused in the program's own test, as a user meets them.
        for (const char* args :
             {"--port 3", "--port 0=/dev/x", "--port a=/dev/x", "--port 2=", "--quit-after soon",
              "--quit-after -1", "--quit-after 2147484", "--screenshot", "--screenshot shot.jpg",
              "--simulate --port 3=/dev/ttyUSB0", "extra"})
            QTest::newRow(args) << QStringList{"vacuum-panel"} + QString(args).split(' ');
    }

    void rejected() {
        QFETCH(QStringList, args);
        const auto o = vp::app::ParseCommandLine(args);
        QCOMPARE(o.exitCode.value_or(0), 2);
        QVERIFY(o.message.startsWith("vacuum-panel: "));
        QCOMPARE(o.message.count('\n'), 1);
    }

    // Reaching here at all means the reader's going did not end the program with SIGPIPE.
    void pipeWhoseReaderGoesAwayFailsOnce() {
        int ends[2];
        QCOMPARE(::pipe2(ends, O_NONBLOCK), 0);
        TrafficRecorder recorder;
        QCOMPARE(recorder.Open(QStringLiteral("/proc/self/fd/%1").arg(ends[1])), std::nullopt);
        ::close(ends[1]);
        QCOMPARE(recorder.Sent("111_242\r"), std::nullopt);
        QVERIFY(ReadAvailable(ends[0]).startsWith(TrafficRecorder::kHeader.data()));

        ::close(ends[0]);
        QCOMPARE(recorder.Sent("111_242\r"), kNotice + QStringLiteral("Broken pipe"));
        QVERIFY(!recorder.IsRecording());
        QCOMPARE(recorder.Received("111_", true), std::nullopt);  // said once
    }

    void fifoRecordsFromWhenItsReaderComes() {
        QTemporaryDir dir;
        const QByteArray fifo = QFile::encodeName(dir.filePath("record"));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        TrafficRecorder recorder;
        // No reader: nothing waits for one, and nothing is lost that anyone could read.
        QCOMPARE(recorder.Open(QString::fromLocal8Bit(fifo)), std::nullopt);
        QVERIFY(recorder.IsRecording());
        QCOMPARE(recorder.Sent("038_250\r"), std::nullopt);

        const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        QCOMPARE(recorder.Sent("111_242\r"), std::nullopt);
        const QList<QByteArray> lines = ReadAvailable(reader).split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QByteArray(TrafficRecorder::kHeader.data()));
        QVERIFY2(lines[1].endsWith("\tTX\t111_242\\r"), lines[1].constData());
        ::close(reader);
    }

    void fileLimitReachedInsideALine() {
        QTemporaryDir dir;
        TrafficRecorder recorder;
        QCOMPARE(recorder.Open(dir.filePath("record")), std::nullopt);
        const FileSizeLimit limit(TrafficRecorder::kHeader.size() + 10);
        QCOMPARE(recorder.Sent("111_242\r"), kNotice + QStringLiteral("File too large"));
        QVERIFY(!recorder.IsRecording());
    }

private:
    QTemporaryDir runtime_;
    QProcessEnvironment withWindow_, noDisplay_;
};

QTEST_GUILESS_MAIN(TestPanelProgram)
#include "tst_panel_program.moc"
