// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <span>

#include "base/result.h"
#include "journal/entry.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vp::journal {

// A failure of the journal says why it could not be opened, read or written, and whether trying
// again may help (a lock, a full disk, a missing folder) or never will (not a journal, a newer
// schema, damage): Failure::lasting.

// Who writes: one row of the runs table per program start.
struct RunInfo {
    std::string program;
    std::string version;
    std::string host;
    std::int64_t pid = 0;
};

// The journal's SQLite file: opened, checked and migrated to this program's schema, then written
// in batches of one transaction or read. Not thread-safe: one thread owns it.
class JournalFile {
public:
    // Version 1 is the first release's; a file of a later version is refused, never altered.
    static constexpr int kSchemaVersion = 1;
    static constexpr int kBusyTimeoutMs = 2000;

    enum class Mode { Write, Read };

    JournalFile() = default;
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Write mode creates the file and its tables when there is none, and upgrades an older
    // schema; read mode changes nothing and refuses a file that holds no journal.
    [[nodiscard]] Result<> Open(const QString& path, Mode mode);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }

    // A new row of the runs table; its id tags every record this program writes.
    [[nodiscard]] Result<> BeginRun(const RunInfo& run, std::int64_t timeMs);
    std::int64_t RunId() const { return runId_; }

    // All of them in one transaction, or none.
    [[nodiscard]] Result<> Append(std::span<const Entry> entries);

    // Removes records older than the time, and runs left without records; at most `limit`
    // records a call, so a long-closed journal is trimmed in steps; how many went.
    Result<int> Prune(std::int64_t beforeMs, int limit);

    // The file's schema version as found on opening (0 for a new file).
    int FoundVersion() const { return foundVersion_; }
    sqlite3* handle() const { return db_; }

    // The reader's words for an SQLite result code of this connection.
    Failure FailureOf(int code) const;

private:
    Result<> Execute(const char* sql);
    Result<> CheckSchema(Mode mode);
    Result<> Migrate();
    Result<> QuickCheck();

    QString path_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    std::int64_t runId_ = 0;
    int foundVersion_ = 0;
};

}  // namespace vp::journal
