// SPDX-License-Identifier: MIT
#include "journal/journal_file.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <cstring>

namespace vp::journal {

namespace {

// Each step takes a file from the version before it to its own; a new release appends one and
// never edits an old one, since files of every earlier release are out there.
const char* const kMigrations[] = {
    // 1: the first release.
    "CREATE TABLE runs (id INTEGER PRIMARY KEY, started_ms INTEGER NOT NULL,"
    " program TEXT NOT NULL, version TEXT NOT NULL, host TEXT NOT NULL, pid INTEGER NOT NULL);"
    "CREATE TABLE events (id INTEGER PRIMARY KEY, time_ms INTEGER NOT NULL,"
    " run INTEGER NOT NULL REFERENCES runs(id), source TEXT NOT NULL, kind TEXT NOT NULL,"
    " code INTEGER, control TEXT, text TEXT NOT NULL, raw BLOB);"
    "CREATE INDEX events_by_time ON events (time_ms);",
};
static_assert(std::size(kMigrations) == JournalFile::kSchemaVersion);

void Bind(sqlite3_stmt* statement, int column, const std::string& text) {
    if (text.empty())
        sqlite3_bind_null(statement, column);
    else
        sqlite3_bind_text(statement, column, text.data(), static_cast<int>(text.size()),
                          SQLITE_STATIC);
}

}  // namespace

JournalFile::~JournalFile() {
    Close();
}

void JournalFile::Close() {
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

Failure JournalFile::FailureOf(int code) const {
    const int system = db_ ? sqlite3_system_errno(db_) : 0;
    const QString detail = system ? QString::fromLocal8Bit(std::strerror(system)) : QString();
    const auto with = [&](const char* what, bool lasting) {
        return Failure{path_ + ": " + what + (detail.isEmpty() ? "" : " (" + detail + ")"),
                       lasting};
    };
    switch (code & 0xff) {
        case SQLITE_NOTADB:
            return {path_ + ": not an SQLite database", true};
        case SQLITE_CORRUPT:
            return {path_ + ": damaged (" + sqlite3_errstr(code) + ")", true};
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return {path_ + ": locked by another program", false};
        case SQLITE_FULL:
            return {path_ + ": the disk is full", false};
        case SQLITE_READONLY:
            return {path_ + ": read-only", false};
        case SQLITE_CANTOPEN:
            return with("cannot be opened", false);
        case SQLITE_IOERR:
            return with("input/output error", false);
        case SQLITE_PERM:
            return with("permission denied", false);
        default:
            return {path_ + ": " + (db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code)), false};
    }
}

Result<> JournalFile::Execute(const char* sql) {
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) return FailureOf(sqlite3_extended_errcode(db_));
    return {};
}

Result<> JournalFile::Open(const QString& path, Mode mode) {
    Close();
    path_ = path;
    const QFileInfo info(path);
    if (mode == Mode::Read) {
        if (!info.exists()) return Failure{path + ": no such file", true};
        if (info.isDir()) return Failure{path + ": a folder, not a journal", true};
        if (info.size() == 0) return Failure{path + ": empty, not a journal", true};
    } else if (!info.absoluteDir().exists()) {
        return Failure{path + ": the folder " + info.absolutePath() + " does not exist", false};
    }
    const int flags =
        mode == Mode::Write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    const QByteArray name = QFile::encodeName(path);
    int code = sqlite3_open_v2(name.constData(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        const Failure failure = FailureOf(sqlite3_extended_errcode(db_));
        Close();
        return failure;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    Result<> outcome = CheckSchema(mode);
    // A damaged or truncated file is not added to: its records are for a person to rescue. The
    // check reads the whole file, on the writer's own thread, once a start.
    if (outcome.ok() && mode == Mode::Write && foundVersion_ > 0) outcome = QuickCheck();
    if (outcome.ok() && mode == Mode::Write) {
        // WAL: readers never wait for the writer, and a killed writer leaves every committed
        // batch behind. NORMAL syncs at checkpoints only, which loses nothing to a crash of the
        // program; a power cut may take the last commits.
        outcome = Execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
        if (outcome.ok()) outcome = Migrate();
        if (outcome.ok()) {
            code = sqlite3_prepare_v3(db_,
                                      "INSERT INTO events (time_ms, run, source, kind, code,"
                                      " control, text, raw) VALUES (?,?,?,?,?,?,?,?)",
                                      -1, SQLITE_PREPARE_PERSISTENT, &insert_, nullptr);
            if (code != SQLITE_OK) outcome = FailureOf(code);
        }
    }
    if (!outcome.ok()) Close();
    return outcome;
}

Result<> JournalFile::CheckSchema(Mode mode) {
    // The first read of the file: a file that is not SQLite, or is damaged, says so here.
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(
        db_, "SELECT count(*), sum(name = 'schema_version') FROM sqlite_master WHERE type='table'",
        -1, &statement, nullptr);
    if (code == SQLITE_OK) code = sqlite3_step(statement);
    const int tables = code == SQLITE_ROW ? sqlite3_column_int(statement, 0) : 0;
    const bool versioned = code == SQLITE_ROW && sqlite3_column_int(statement, 1) > 0;
    sqlite3_finalize(statement);
    if (code != SQLITE_ROW) return FailureOf(sqlite3_extended_errcode(db_));

    foundVersion_ = 0;
    if (versioned) {
        code = sqlite3_prepare_v2(db_, "SELECT max(version) FROM schema_version", -1, &statement,
                                  nullptr);
        if (code == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
            foundVersion_ = sqlite3_column_int(statement, 0);
        code = sqlite3_finalize(statement);
        if (code != SQLITE_OK) return FailureOf(code);
    } else if (tables > 0) {
        return Failure{path_ + ": an SQLite database, but not a journal", true};
    } else if (mode == Mode::Read) {
        return Failure{path_ + ": empty, not a journal", true};
    }
    if (foundVersion_ > kSchemaVersion)
        return Failure{QStringLiteral("%1: journal of schema version %2, newer than this "
                                      "program's %3; left as it is")
                           .arg(path_)
                           .arg(foundVersion_)
                           .arg(kSchemaVersion),
                       true};
    if (mode == Mode::Read && foundVersion_ < kSchemaVersion)
        return Failure{QStringLiteral("%1: journal of schema version %2; open it with the panel "
                                      "once to bring it to version %3")
                           .arg(path_)
                           .arg(foundVersion_)
                           .arg(kSchemaVersion),
                       true};
    return {};
}

Result<> JournalFile::QuickCheck() {
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(db_, "PRAGMA quick_check(1)", -1, &statement, nullptr);
    if (code == SQLITE_OK) code = sqlite3_step(statement);
    QString verdict;
    if (code == SQLITE_ROW)
        verdict =
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    if (code != SQLITE_ROW) return FailureOf(sqlite3_extended_errcode(db_));
    if (verdict != QLatin1String("ok")) return Failure{path_ + ": damaged (" + verdict + ")", true};
    return {};
}

Result<> JournalFile::Migrate() {
    if (foundVersion_ == kSchemaVersion) return {};
    if (auto failure = Execute("BEGIN IMMEDIATE"); !failure.ok()) return failure;
    // Another program may have migrated it while this one waited for the lock.
    Result<> outcome = CheckSchema(Mode::Write);
    if (outcome.ok() && foundVersion_ == 0)
        outcome = Execute(
            "CREATE TABLE schema_version (version INTEGER NOT NULL);"
            "INSERT INTO schema_version VALUES (0);");
    for (int version = foundVersion_ + 1; outcome.ok() && version <= kSchemaVersion; ++version) {
        outcome = Execute(kMigrations[version - 1]);
        if (outcome.ok())
            outcome = Execute(QStringLiteral("UPDATE schema_version SET version = %1")
                                  .arg(version)
                                  .toUtf8()
                                  .constData());
    }
    if (outcome.ok()) outcome = Execute("COMMIT");
    if (!outcome.ok()) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return outcome;
    }
    foundVersion_ = kSchemaVersion;
    return {};
}

Result<> JournalFile::BeginRun(const RunInfo& run, std::int64_t timeMs) {
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(
        db_, "INSERT INTO runs (started_ms, program, version, host, pid) VALUES (?,?,?,?,?)", -1,
        &statement, nullptr);
    if (code == SQLITE_OK) {
        sqlite3_bind_int64(statement, 1, timeMs);
        sqlite3_bind_text(statement, 2, run.program.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(statement, 3, run.version.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(statement, 4, run.host.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_int64(statement, 5, run.pid);
        code = sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    if (code != SQLITE_DONE) return FailureOf(sqlite3_extended_errcode(db_));
    runId_ = sqlite3_last_insert_rowid(db_);
    return {};
}

Result<> JournalFile::Append(std::span<const Entry> entries) {
    if (!db_) return Failure{path_ + ": not open", false};
    if (auto failure = Execute("BEGIN IMMEDIATE"); !failure.ok()) return failure;
    for (const Entry& entry : entries) {
        sqlite3_reset(insert_);
        sqlite3_bind_int64(insert_, 1, entry.timeMs);
        sqlite3_bind_int64(insert_, 2, runId_);
        sqlite3_bind_text(insert_, 3, entry.source.data(), static_cast<int>(entry.source.size()),
                          SQLITE_STATIC);
        sqlite3_bind_text(insert_, 4, KindWord(entry.kind), -1, SQLITE_STATIC);
        if (entry.code)
            sqlite3_bind_int(insert_, 5, *entry.code);
        else
            sqlite3_bind_null(insert_, 5);
        Bind(insert_, 6, entry.control);
        sqlite3_bind_text(insert_, 7, entry.text.data(), static_cast<int>(entry.text.size()),
                          SQLITE_STATIC);
        if (entry.raw.empty())
            sqlite3_bind_null(insert_, 8);
        else
            sqlite3_bind_blob(insert_, 8, entry.raw.data(), static_cast<int>(entry.raw.size()),
                              SQLITE_STATIC);
        const int code = sqlite3_step(insert_);
        if (code != SQLITE_DONE) {
            const Failure failure = FailureOf(sqlite3_extended_errcode(db_));
            sqlite3_reset(insert_);
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            return failure;
        }
    }
    sqlite3_reset(insert_);
    if (auto failure = Execute("COMMIT"); !failure.ok()) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return failure;
    }
    return {};
}

Result<int> JournalFile::Prune(std::int64_t beforeMs, int limit) {
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(db_,
                                  "DELETE FROM events WHERE id IN (SELECT id FROM events"
                                  " WHERE time_ms < ? LIMIT ?)",
                                  -1, &statement, nullptr);
    if (code == SQLITE_OK) {
        sqlite3_bind_int64(statement, 1, beforeMs);
        sqlite3_bind_int(statement, 2, limit);
        code = sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    if (code != SQLITE_DONE) return FailureOf(sqlite3_extended_errcode(db_));
    const int removed = sqlite3_changes(db_);
    if (removed < limit) {
        const Result<> runs = Execute(
            "DELETE FROM runs WHERE id NOT IN (SELECT DISTINCT run FROM events)"
            " AND started_ms < (SELECT coalesce(min(time_ms), 0) FROM events)");
        if (!runs.ok()) return runs.failure();
    }
    return removed;
}

}  // namespace vp::journal
