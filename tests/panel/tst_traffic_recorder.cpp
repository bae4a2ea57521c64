// The traffic record on what an engineer points it at besides a plain file: a pipe whose reader
// goes away, a FIFO nobody reads yet, a disk that fills up.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QtTest>

#include "record/traffic_recorder.h"
#include "support/file_size_limit.h"

using vp::record::TrafficRecorder;

namespace {

const QString kNotice = QStringLiteral("Could not write traffic record: ");

QByteArray ReadAvailable(int fd) {
    QByteArray all;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) all.append(buf, n);
    return all;
}

}  // namespace

class TestTrafficRecorder : public QObject {
    Q_OBJECT

private slots:
    // Qt's complaints about seeking in a pipe or a device are noise on the panel's standard error.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }

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
        QCOMPARE(recorder.Sent("111_242\r"), kNotice + QStringLiteral("Broken pipe"));
    }

    void fullDiskNamesItsReason_data() {
        QTest::addColumn<QString>("path");  // empty: a file in a folder of the test's
        QTest::addColumn<QString>("reason");
        QTest::newRow("file limit reached inside a line") << QString() << "File too large";
        QTest::newRow("device that is always full") << "/dev/full"
                                                    << "No space left on device";
    }

    void fullDiskNamesItsReason() {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        if (path.isEmpty()) path = dir.filePath("record");
        TrafficRecorder recorder;
        std::optional<QString> notice = recorder.Open(path);
        if (!notice) {
            const FileSizeLimit limit(TrafficRecorder::kHeader.size() + 10);
            notice = recorder.Sent("111_242\r");
        }
        QCOMPARE(notice, kNotice + reason);
        QVERIFY(!recorder.IsRecording());
    }
};

QTEST_GUILESS_MAIN(TestTrafficRecorder)
#include "tst_traffic_recorder.moc"
