// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <algorithm>
#include <vector>

#include "journal/journal.h"
#include "journal/journal_file.h"

// A year of a busy plant's journal from `startMs` on: a list entry a minute (every third an
// error, the rest warnings), 50 operator actions a day, and a link event an hour with the
// quality it brings (stale and live again by turns, so the trend draws 12 bands a day).
inline bool WriteYearOfJournal(const QString& path, std::int64_t startMs) {
    using namespace vp::journal;
    JournalFile file;
    if (!file.Open(path, JournalFile::Mode::Write).ok() ||
        !file.BeginRun({"bench", "0", "b", 1}, 0).ok())
        return false;
    std::vector<Entry> day;
    for (int d = 0; d < 365; ++d) {
        day.clear();
        const std::int64_t base = startMs + d * Journal::kDayMs;
        for (int m = 0; m < 1440; ++m) {
            const bool error = m % 3 == 0;
            day.push_back(
                {base + m * 60000,
                 error ? Kind::Error : Kind::Warning,
                 error ? 170 : 220,
                 "Com3",
                 {},
                 error ? "170 (no response from icpcon)" : " 220 (OP_ERR_PNEUMATIC_PRESSURE)",
                 "090_\xaa"
                 "426"});
        }
        for (int a = 0; a < 50; ++a)
            day.push_back({base + a * 1700000 + 7, Kind::Operator, 121, "Com3", "cmdHigh",
                           "mode High vacuum", "121_243\r"});
        for (int h = 0; h < 24; ++h) {
            const bool lost = h % 2 == 0;
            day.push_back({base + h * 3600000 + 11,
                           Kind::Link,
                           {},
                           "Com3",
                           {},
                           lost ? "link stale: no status report for 3 s" : "link live again",
                           {}});
            day.push_back({base + h * 3600000 + 11,
                           Kind::Quality,
                           {},
                           "Com3",
                           {},
                           lost ? "stale" : "good",
                           {}});
        }
        std::stable_sort(day.begin(), day.end(),
                         [](const Entry& a, const Entry& b) { return a.timeMs < b.timeMs; });
        if (!file.Append(day).ok()) return false;
    }
    return true;
}
