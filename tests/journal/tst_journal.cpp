// SPDX-License-Identifier: MIT
#include <signal.h>
#include <sqlite3.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <set>

#include "journal/journal.h"
#include "journal/journal_reader.h"
#include "support/file_size_limit.h"
#include "support/unprivileged.h"

using namespace vp::journal;

namespace {

Journal::Options Options(const QString& path, std::function<std::int64_t()> now = {}) {
    return {
        .path = path, .run = {"tst_journal", "0", "test", 1}, .now = std::move(now), .retryMs = 50};
}

std::vector<Row> ReadAll(const QString& path, Query query = {}) {
    std::vector<Row> rows;
    const vp::Result<> read =
        ReadJournal(path, query, [&](const Row& row) { rows.push_back(row); });
    if (!read.ok()) qWarning() << read.error();
    return rows;
}

std::vector<std::string> Texts(const std::vector<Row>& rows, Kind kind) {
    std::vector<std::string> texts;
    for (const Row& row : rows)
        if (row.entry.kind == kind) texts.push_back(row.entry.text);
    return texts;
}

void Sql(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestJournal : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(dir_.isValid()); }

    // Killed in the middle of a storm of records, the writer leaves a sound file that holds
    // every record handed over more than a batch before the kill, without a gap.
    void killLosesOnlyTheLastBatch() {
        const QString path = dir_.filePath("storm.sqlite");
        QProcess storm;
        storm.start(STORM_PROGRAM, {path});
        QVERIFY(storm.waitForStarted());
        QElapsedTimer clock;
        clock.start();
        std::vector<std::pair<qint64, long>> said;  // when the child said it had handed over n
        QString pending;
        const auto read = [&] {
            pending += QString::fromLatin1(storm.readAllStandardOutput());
            while (pending.contains('\n')) {
                const int end = pending.indexOf('\n');
                said.emplace_back(clock.elapsed(), pending.left(end).toLong());
                pending.remove(0, end + 1);
            }
        };
        QTRY_VERIFY_WITH_TIMEOUT(
            (read(), !said.empty() && said.back().second >= 5000 && said.back().first >= 1500),
            20000);
        const qint64 killedAt = clock.elapsed();
        ::kill(static_cast<pid_t>(storm.processId()), SIGKILL);
        QVERIFY(storm.waitForFinished());
        // A batch is 100 ms; the rest is room for a commit on a busy machine.
        long safe = -1;
        for (const auto& [at, n] : said)
            if (at <= killedAt - 600) safe = n;
        QVERIFY(safe > 0);

        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        sqlite3_stmt* check = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
        QCOMPARE(sqlite3_step(check), SQLITE_ROW);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(check, 0))),
                 QByteArray("ok"));
        sqlite3_finalize(check);
        sqlite3_close(db);

        const auto texts = Texts(ReadAll(path), Kind::Warning);
        QVERIFY2(static_cast<long>(texts.size()) > safe,
                 qPrintable(QStringLiteral("%1 records kept, %2 handed over 600 ms before the kill")
                                .arg(texts.size())
                                .arg(safe)));
        for (std::size_t i = 0; i < texts.size(); ++i)
            QCOMPARE(texts[i], "storm " + std::to_string(i));
    }

    // Files the journal must not write say why in one line, and the newer or foreign ones are
    // left exactly as they were.
    void refusedFiles_data() {
        QTest::addColumn<QByteArray>("setup");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not SQLite") << QByteArray("text") << "not an SQLite database";
        QTest::newRow("newer schema") << QByteArray("newer")
                                      << "journal of schema version 7, newer than this "
                                         "program's 1; left as it is";
        QTest::newRow("another database")
            << QByteArray("other") << "an SQLite database, but not a journal";
        QTest::newRow("damaged") << QByteArray("damaged") << "damaged";
        QTest::newRow("truncated") << QByteArray("truncated") << "damaged";
        QTest::newRow("no folder") << QByteArray("nofolder") << "does not exist";
    }
    void refusedFiles() {
        QFETCH(QByteArray, setup);
        QFETCH(QString, reason);
        QString path = dir_.filePath(QString::fromLatin1(setup) + ".sqlite");
        if (setup == "text") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, 'x'));
        } else if (setup == "newer") {
            Sql(path,
                "CREATE TABLE schema_version (version INTEGER); "
                "INSERT INTO schema_version VALUES (7);");
        } else if (setup == "other") {
            Sql(path, "CREATE TABLE parts (name TEXT);");
        } else if (setup == "damaged") {
            Sql(path, "CREATE TABLE parts (name TEXT);");
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.seek(100);  // the first page's tree header: garbage makes the schema unreadable
            file.write(QByteArray(200, '\xff'));
        } else if (setup == "truncated") {
            {
                Journal journal(Options(path));
                journal.Start();
                for (int i = 0; i < 3000; ++i)
                    journal.Add(Kind::Warning, 220,
                                "warning " + std::to_string(i) + std::string(100, 'w'));
                journal.End();
            }
            Sql(path, "PRAGMA wal_checkpoint(TRUNCATE);");
            QVERIFY(QFile::resize(path, QFileInfo(path).size() / 2));
        } else {
            path = dir_.filePath("missing/log/journal.sqlite");
        }
        const QByteArray before = Contents(path);
        Journal journal(Options(path));
        QSignalSpy trouble(&journal, &Journal::Trouble);
        journal.Start();
        journal.Add(Kind::Link, std::nullopt, "link connected");
        QTRY_COMPARE(trouble.count(), 1);
        const QString line = trouble.at(0).at(0).toString();
        QVERIFY2(line.startsWith("Journal not written: " + path) && line.contains(reason),
                 qPrintable(line));
        journal.End();
        QCOMPARE(trouble.count(), 1);  // once, however many records followed
        QCOMPARE(Contents(path), before);
        // The reader names the same reason.
        if (setup != "nofolder") {
            const vp::Result<> read = ReadJournal(path, {}, [](const Row&) {});
            QVERIFY(!read.ok() && read.error().contains(reason));
        }
    }

    // A lock held by another program, and a disk that fills, pass: the journal says so once,
    // keeps the records, and writes them all when it can again.
    void passingFaults_data() {
        QTest::addColumn<bool>("full");
        QTest::newRow("locked") << false;
        QTest::newRow("disk full") << true;
    }
    void passingFaults() {
        QFETCH(bool, full);
        const QString path = dir_.filePath(full ? "full.sqlite" : "locked.sqlite");
        Journal journal(Options(path));
        QSignalSpy trouble(&journal, &Journal::Trouble);
        journal.Start();
        QVERIFY(journal.Flush());
        sqlite3* other = nullptr;
        std::unique_ptr<FileSizeLimit> limit;
        if (full) {
            limit = std::make_unique<FileSizeLimit>(QFileInfo(path).size() + 8192);
        } else {
            sqlite3_open(QFile::encodeName(path).constData(), &other);
            QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        const std::string padding(300, 'p');
        for (int i = 0; i < 200; ++i)
            journal.Add(Kind::Message, 50, "record " + std::to_string(i) + padding);
        QTRY_VERIFY_WITH_TIMEOUT(trouble.count() >= 1, 10000);
        const QString line = trouble.at(0).at(0).toString();
        QVERIFY2(line.contains(full ? "full" : "locked by another program") ||
                     (full && line.contains("File too large")),
                 qPrintable(line));
        limit.reset();
        if (other) {
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(other);
        }
        QVERIFY(journal.Flush());
        QTRY_COMPARE(trouble.count(), 2);
        QVERIFY2(trouble.at(1).at(0).toString().startsWith("Journal written again"),
                 qPrintable(trouble.at(1).at(0).toString()));
        journal.End();
        QCOMPARE(Texts(ReadAll(path), Kind::Message).size(), std::size_t(200));
    }

    // An ordinary user cannot write a read-only journal: the reason says so.
    void readOnlyFile() {
        const QString path = dir_.filePath("readonly.sqlite");
        {
            Journal journal(Options(path));
            journal.Start();
            journal.End();
        }
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(QFile::setPermissions(dir_.path(), QFileDevice::Permissions(0x7777)));
        const auto [code, error] = RunUnprivileged([&] {
            JournalFile file;
            const vp::Result<> outcome = file.Open(path, JournalFile::Mode::Write);
            vp::Result<> append = outcome;
            if (outcome.ok()) {
                const Entry entry{1, Kind::Link, {}, "Com3", {}, "x", {}};
                append = file.Append(std::span(&entry, 1));
            }
            if (!append.ok()) std::fprintf(stderr, "%s", qPrintable(append.error()));
            return !append.ok() && append.error().contains("read-only") ? 0 : 1;
        });
        QVERIFY2(code == 0, error.constData());
    }

    // A window and a gateway in one folder both write one journal, and nothing is mixed up.
    void twoWritersOnOneFile() {
        const QString path = dir_.filePath("shared.sqlite");
        Journal window(Options(path));
        Journal gateway(Options(path));
        window.SetSource("Com3");
        gateway.SetSource("site/plant");
        window.Start();
        gateway.Start();
        for (int i = 0; i < 500; ++i) {
            window.Add(Kind::Warning, 220, "w" + std::to_string(i));
            gateway.Add(Kind::Error, 170, "g" + std::to_string(i));
        }
        window.End();
        gateway.End();
        const auto rows = ReadAll(path);
        QCOMPARE(Texts(rows, Kind::Warning).size(), std::size_t(500));
        QCOMPARE(Texts(rows, Kind::Error).size(), std::size_t(500));
        QCOMPARE(Texts(rows, Kind::Program).size(), std::size_t(4));
        std::set<std::int64_t> runs;
        for (const Row& row : rows) runs.insert(row.run);
        QCOMPARE(runs.size(), std::size_t(2));
    }

    // A clock set back keeps the order the records were written in; retention removes what is
    // older than its days at the next start.
    void clockSetBackAndRetention() {
        const QString path = dir_.filePath("clock.sqlite");
        std::int64_t now = 1'800'000'000'000;
        {
            Journal journal(Options(path, [&] { return now; }));
            journal.Start();
            journal.Add(Kind::Link, {}, "first");
            now -= 3'600'000;
            journal.Add(Kind::Link, {}, "second, an hour earlier");
            journal.End();
        }
        QCOMPARE(Texts(ReadAll(path), Kind::Link),
                 (std::vector<std::string>{"first", "second, an hour earlier"}));
        now += 401 * Journal::kDayMs;
        {
            Journal journal(Options(path, [&] { return now; }));
            journal.Start();
            journal.End();
        }
        const auto rows = ReadAll(path);
        QCOMPARE(rows.size(), std::size_t(2));  // the new start and end only
        QCOMPARE(rows.front().entry.timeMs, now);
    }

    // The reader program against a known journal: filters, formats and exit codes.
    void reader_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("texts");  // the records' texts, in order
        QTest::newRow("all") << QStringList{} << 0
                             << QStringList{"start tst_journal 0 pid 1", "170 (no response)",
                                            "mode High vacuum", "link stale", "end"};
        QTest::newRow("kinds") << QStringList{"--kind", "errors,operator"} << 0
                               << QStringList{"170 (no response)", "mode High vacuum"};
        QTest::newRow("grep in the control")
            << QStringList{"--grep", "CMDHIGH"} << 0 << QStringList{"mode High vacuum"};
        QTest::newRow("time window")
            << QStringList{"--from", "2027-01-15T08:00:01Z", "--to", "2027-01-15T08:00:02Z"} << 0
            << QStringList{"170 (no response)", "mode High vacuum"};
        QTest::newRow("nothing found") << QStringList{"--grep", "TMP2"} << 1 << QStringList{};
        QTest::newRow("bad kind") << QStringList{"--kind", "alarms"} << 2 << QStringList{};
        QTest::newRow("bad time") << QStringList{"--from", "noon"} << 2 << QStringList{};
        QTest::newRow("bad format") << QStringList{"--format", "xml"} << 2 << QStringList{};
    }
    void reader() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, texts);
        const QString path = dir_.filePath("known.sqlite");
        if (!QFile::exists(path)) {
            std::int64_t now = 1'800'000'000'000;  // 2027-01-15T08:00:00Z
            Journal journal(Options(path, [&] { return now; }));
            journal.SetSource("Com3");
            journal.Start();
            now += 1000;
            journal.Add(Kind::Error, 170, "170 (no response)", {}, std::string("090_\xaa\r", 6));
            now += 500;
            journal.Add(Kind::Operator, 121, "mode High vacuum", "cmdHigh", "121_243\r");
            now += 5000;
            journal.Add(Kind::Link, {}, "link stale");
            journal.End();
        }
        for (const QString format : {"text", "csv", "json"}) {
            QProcess reader;
            reader.start(READER_PROGRAM, QStringList{path, "--format", format} + arguments);
            QVERIFY(reader.waitForFinished());
            QCOMPARE(reader.exitCode(), exitCode);
            const QByteArray out = reader.readAllStandardOutput();
            if (exitCode != 0) {
                QCOMPARE(reader.readAllStandardError().count('\n'), 1);
                continue;
            }
            QStringList got;
            if (format == "json") {
                for (const QJsonValue& v : QJsonDocument::fromJson(out).array())
                    got << v["text"].toString();
                const QJsonObject first = QJsonDocument::fromJson(out).array().at(0).toObject();
                QCOMPARE(first["time"].toString().endsWith('Z'), true);
            } else if (format == "csv") {
                const QList<QByteArray> lines = out.split('\n');
                QCOMPARE(lines.first(), QByteArray("time,run,source,kind,code,control,text,raw\r"));
                for (const QByteArray& line : lines.mid(1, lines.size() - 2))
                    got << QString::fromUtf8(line.split(',').at(6));
                if (texts.contains("170 (no response)")) QVERIFY(out.contains(",090_\\xAA\\r\r\n"));
            } else {
                // Aligned columns: the text ends each line.
                const QStringList lines = QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
                QCOMPARE(lines.size(), texts.size());
                for (int i = 0; i < lines.size(); ++i)
                    if (lines[i].endsWith(texts[i])) got << texts[i];
            }
            QCOMPARE(got, texts);
        }
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
