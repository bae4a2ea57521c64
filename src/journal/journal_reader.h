// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "journal/entry.h"
#include "journal/journal_file.h"

namespace vp::journal {

// One record as read back: the entry, its insertion id and its program run.
struct Row {
    std::int64_t id = 0;
    std::int64_t run = 0;
    Entry entry;
};

// Which records to read. Times are UTC ms, both ends included; no kinds means every kind.
struct Query {
    std::optional<std::int64_t> fromMs;
    std::optional<std::int64_t> toMs;
    std::vector<Kind> kinds;
    QString grep;  // in the text, the control or the raw bytes, case-insensitive
};

// Reads the matching records in the order they were written: by insertion, so a clock set back
// between two records keeps them in order. Each row goes to `take`; returns the failure, if any.
[[nodiscard]] Result<> ReadJournal(const QString& path, const Query& query,
                                   const std::function<void(const Row&)>& take);

}  // namespace vp::journal
