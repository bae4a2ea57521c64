// SPDX-License-Identifier: MIT
#include "journal/journal_reader.h"

#include <sqlite3.h>

namespace vp::journal {

namespace {

std::string Column(sqlite3_stmt* statement, int column) {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
    return bytes ? std::string(bytes,
                               static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                 : std::string();
}

}  // namespace

Result<> ReadJournal(const QString& path, const Query& query,
                     const std::function<void(const Row&)>& take) {
    JournalFile file;
    if (auto failure = file.Open(path, JournalFile::Mode::Read); !failure.ok()) return failure;
    // A short span is found by the time index and sorted; a long one is read straight through
    // in insertion order, which skips a sort of the whole journal.
    constexpr std::int64_t kIndexedSpanMs = 31LL * 24 * 3600 * 1000;
    const bool indexed = query.fromMs && query.toMs && *query.toMs - *query.fromMs < kIndexedSpanMs;
    std::string sql =
        "SELECT id, run, time_ms, source, kind, code, control, text, raw FROM events WHERE ";
    sql += indexed ? "time_ms >= ?1 AND time_ms <= ?2" : "+time_ms >= ?1 AND +time_ms <= ?2";
    if (!query.kinds.empty()) {
        sql += " AND kind IN (";
        for (std::size_t i = 0; i < query.kinds.size(); ++i)
            sql += std::string(i ? ",'" : "'") + KindWord(query.kinds[i]) + "'";
        sql += ")";
    }
    // instr on lower-cased text: LIKE would take % and _ in the operator's text as wildcards.
    if (!query.grep.isEmpty())
        sql +=
            " AND (instr(lower(text), ?3) OR instr(lower(coalesce(control, '')), ?3)"
            " OR instr(lower(coalesce(CAST(raw AS TEXT), '')), ?3))";
    sql += " ORDER BY id";
    sqlite3_stmt* statement = nullptr;
    int code = sqlite3_prepare_v2(file.handle(), sql.c_str(), -1, &statement, nullptr);
    if (code != SQLITE_OK) {
        sqlite3_finalize(statement);
        return file.FailureOf(code);
    }
    sqlite3_bind_int64(statement, 1, query.fromMs.value_or(INT64_MIN));
    sqlite3_bind_int64(statement, 2, query.toMs.value_or(INT64_MAX));
    const QByteArray grep = query.grep.toLower().toUtf8();
    if (!grep.isEmpty()) sqlite3_bind_text(statement, 3, grep.constData(), -1, SQLITE_STATIC);
    Row row;
    while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
        row.id = sqlite3_column_int64(statement, 0);
        row.run = sqlite3_column_int64(statement, 1);
        row.entry.timeMs = sqlite3_column_int64(statement, 2);
        row.entry.source = Column(statement, 3);
        row.entry.kind = KindFromWord(Column(statement, 4)).value_or(Kind::Program);
        row.entry.code = sqlite3_column_type(statement, 5) == SQLITE_NULL
                             ? std::nullopt
                             : std::optional<int>(sqlite3_column_int(statement, 5));
        row.entry.control = Column(statement, 6);
        row.entry.text = Column(statement, 7);
        row.entry.raw = Column(statement, 8);
        take(row);
    }
    const Result<> outcome =
        code == SQLITE_DONE ? Result<>() : file.FailureOf(sqlite3_extended_errcode(file.handle()));
    sqlite3_finalize(statement);
    return outcome;
}

}  // namespace vp::journal
