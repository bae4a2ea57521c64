// SPDX-License-Identifier: MIT
// A plant's configuration file under the command line: every key reaches the options it stands
// for, the command line overrides it, and a bad file is one line naming the file, the line and
// the key, with exit code 2.
#include <sys/stat.h>
#include <sys/types.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/command_line.h"
#include "support/file_with_mode.h"

using vp::app::Options;
using vp::app::ParseCommandLine;

class TestConfigFile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        credentials_ = Write("plant.credentials", "alice\ns3cret\n", 0600);
        // Real PEM files: the command line reads them before it takes them.
        cert_ = dir_.filePath(QStringLiteral("plant.crt"));
        key_ = dir_.filePath(QStringLiteral("plant.key"));
        QCOMPARE(QProcess::execute(QStringLiteral("openssl"),
                                   {"req", "-x509", "-days", "2", "-newkey", "ec", "-pkeyopt",
                                    "ec_paramgen_curve:prime256v1", "-nodes", "-subj", "/CN=plant",
                                    "-keyout", key_, "-out", cert_}),
                 0);
        QVERIFY(QFile::setPermissions(key_, QFile::ReadOwner | QFile::WriteOwner));
        ca_ = dir_.filePath(QStringLiteral("ca.crt"));
        QVERIFY(QFile::copy(cert_, ca_));
    }

    void everyKey() {
        const QString conf = Write("all.conf",
                                   "# a plant\n"
                                   "; another comment\n"
                                   "\n"
                                   "device = /dev/ttyUSB0\n"
                                   "  publish=mqtts://broker.example:8884/site1/vacuum/plantA  \n"
                                   "mqtt-credentials = " +
                                       credentials_.toUtf8() +
                                       "\n"
                                       "mqtt-ca = " +
                                       ca_.toUtf8() +
                                       "\n"
                                       "mqtt-cert = " +
                                       cert_.toUtf8() + "\nmqtt-key = " + key_.toUtf8() +
                                       "\n"
                                       "log-folder = /var/lib/vacuum-panel/plantA/log\n"
                                       "record = \"/var/lib/vacuum-panel/plantA/a,b.rec\"\n");
        const Options o = Parse({"--headless", "--config", conf});
        QVERIFY2(!o.exitCode, qPrintable(o.message));
        QCOMPARE(o.ports.value(3), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(o.ports.size(), 1);
        QVERIFY(o.publish && o.publish->tls);
        QCOMPARE(o.publish->host, QStringLiteral("broker.example"));
        QCOMPARE(o.publish->port, 8884);
        QCOMPARE(o.publish->prefix, QStringLiteral("site1/vacuum/plantA"));
        QVERIFY(o.credentials);
        QCOMPARE(o.credentials->user, std::string("alice"));
        QCOMPARE(o.tls.ca, ca_);
        QCOMPARE(o.tls.cert, cert_);
        QCOMPARE(o.tls.key, key_);
        QCOMPARE(o.logFolder, QStringLiteral("/var/lib/vacuum-panel/plantA/log"));
        QCOMPARE(o.record, QStringLiteral("/var/lib/vacuum-panel/plantA/a,b.rec"));
    }

    void commandLineOverrides_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("port3");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("record");
        QTest::addColumn<bool>("simulate");
        // clang-format off
        QTest::newRow("nothing given") << QStringList{} << QString("/dev/ttyUSB0") << QString("plantA") << QString("file.rec") << false;
        QTest::newRow("--port") << QStringList{"--port", "3=/dev/ttyS4"} << QString("/dev/ttyS4") << QString("plantA") << QString("file.rec") << false;
        QTest::newRow("--port of another port") << QStringList{"--port", "2=/dev/ttyS4"} << QString("") << QString("plantA") << QString("file.rec") << false;
        QTest::newRow("--simulate") << QStringList{"--simulate"} << QString("") << QString("plantA") << QString("file.rec") << true;
        QTest::newRow("--publish=") << QStringList{"--publish=mqtt://127.0.0.1/plantB"} << QString("/dev/ttyUSB0") << QString("plantB") << QString("file.rec") << false;
        QTest::newRow("--record") << QStringList{"--record", "line.rec"} << QString("/dev/ttyUSB0") << QString("plantA") << QString("line.rec") << false;
        // clang-format on
    }
    void commandLineOverrides() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, port3);
        QFETCH(QString, prefix);
        QFETCH(QString, record);
        QFETCH(bool, simulate);
        const QString conf = Write("override.conf",
                                   "device = /dev/ttyUSB0\n"
                                   "publish = mqtt://127.0.0.1/plantA\n"
                                   "record = file.rec\n");
        // The file's place among the options does not matter, nor its form.
        for (const QStringList& config :
             {QStringList{"--config", conf}, QStringList{"--config=" + conf}}) {
            const Options o = Parse(QStringList{"--headless"} + arguments + config);
            QVERIFY2(!o.exitCode, qPrintable(o.message));
            QCOMPARE(o.ports.value(3), port3);
            QCOMPARE(o.publish->prefix, prefix);
            QCOMPARE(o.record, record);
            QCOMPARE(o.simulate, simulate);
        }
    }

    void badFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("at");  // what follows "FILE" in the one line
        const QByteArray device = "device = /dev/ttyUSB0\n";
        // clang-format off
        QTest::newRow("unknown key") << device + "speed = 9600\n" << QString(":2: speed: unknown key");
        QTest::newRow("misspelt key") << QByteArray("# plant\npublsh = mqtt://127.0.0.1/p\n") << QString(":2: publsh: unknown key");
        QTest::newRow("not key = value") << device + "\n/dev/ttyUSB1\n" << QString(":3: \"/dev/ttyUSB1\" is not key = value");
        QTest::newRow("no key") << QByteArray("= /dev/ttyUSB0\n") << QString(":1: \"= /dev/ttyUSB0\" is not key = value");
        QTest::newRow("section") << QByteArray("[gateway]\n" + device) << QString(":1: [gateway]: no sections here, only key = value lines");
        QTest::newRow("given twice") << device + "record = a\n" + device << QString(":3: device: given twice, first on line 1");
        QTest::newRow("empty value") << QByteArray("record =\n") << QString(":1: record: empty value");
        QTest::newRow("bad URL") << device + "publish = http://broker/plant\n" << QString(":2: publish: broker URL \"http://broker/plant\": must start with mqtt:// or mqtts://");
        QTest::newRow("wildcard prefix") << QByteArray("publish = mqtt://broker/site/#\n") << QString(":1: publish: ");
        QTest::newRow("loose credentials") << QByteArray("mqtt-credentials = LOOSE\n") << QString(":1: mqtt-credentials: credentials file LOOSE: group or others may read or write it (mode 0644); chmod 600 it");
        QTest::newRow("missing CA") << QByteArray("mqtt-ca = /nonexistent/ca.crt\n") << QString(":1: mqtt-ca: CA file /nonexistent/ca.crt: No such file or directory");
        QTest::newRow("loose key") << QByteArray("mqtt-key = LOOSE\n") << QString(":1: mqtt-key: client key LOOSE: group or others may read or write it (mode 0644); chmod 600 it");
        QTest::newRow("comma unquoted") << QByteArray("record = a,b\n") << QString(":1: record: put a value with a comma in double quotes");
        // clang-format on
    }
    void badFile() {
        QFETCH(QByteArray, content);
        QFETCH(QString, at);
        const QString loose = Write("loose.credentials", "alice\ns3cret\n", 0644);
        content.replace("LOOSE", loose.toUtf8());
        at.replace("LOOSE", loose);
        const QString conf = Write("bad.conf", content);
        const Options o = Parse({"--headless", "--config", conf});
        QCOMPARE(o.exitCode, 2);
        QVERIFY2(o.message.startsWith("vacuum-panel: " + conf + at) && o.message.endsWith('\n') &&
                     o.message.count('\n') == 1,
                 qPrintable(o.message));
    }

    // No line to name: the file itself.
    void unreadableFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("why");
        QTest::newRow("missing") << QString("missing.conf") << QString("No such file or directory");
        QTest::newRow("folder") << QString("folder") << QString("not a regular file");
        // Refused without waiting for a writer.
        QTest::newRow("FIFO") << QString("fifo") << QString("not a regular file");
    }
    void unreadableFile() {
        QFETCH(QString, name);
        QFETCH(QString, why);
        const QString path = dir_.filePath(name);
        QDir(dir_.path()).mkpath(QStringLiteral("folder"));
        ::mkfifo(QFile::encodeName(dir_.filePath(QStringLiteral("fifo"))).constData(), 0600);
        const Options o = Parse({"--headless", "--config", path});
        QCOMPARE(o.exitCode, 2);
        QCOMPARE(o.message, "vacuum-panel: " + path + ": " + why + "\n");
    }

    // The file's settings meet the command line's rules as if they had been typed there.
    void mergedOptionsKeepTheirRules() {
        const QString conf = Write(
            "tls.conf", "publish = mqtt://127.0.0.1/plantA\nmqtt-ca = " + ca_.toUtf8() + "\n");
        const Options o = Parse({"--headless", "--config", conf});
        QCOMPARE(o.exitCode, 2);
        QVERIFY2(o.message.contains("mqtts://"), qPrintable(o.message));
        const Options view = Parse({"--view", "mqtt://127.0.0.1/plantA", "--config",
                                    Write("device.conf", "device = /dev/ttyUSB0\n")});
        QCOMPARE(view.exitCode, 2);
        QVERIFY2(view.message.contains("--port"), qPrintable(view.message));
    }

private:
    static Options Parse(const QStringList& arguments) {
        return ParseCommandLine(QStringList{"vacuum-panel"} + arguments);
    }
    QString Write(const QString& name, const QByteArray& content, int mode = 0644) {
        return FileWithMode(QDir(dir_.path()), name, content, mode);
    }

    QTemporaryDir dir_;
    QString credentials_, ca_, cert_, key_;
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_config_file.moc"
