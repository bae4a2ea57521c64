// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

#include "journal/journal_reader.h"

namespace vp::journal {

enum class Format { Text, Csv, Json };

// The reader's command line:
// vacuum-journal [FILE|FOLDER] [--from T] [--to T] [--kind K,...] [--grep TEXT] [--format F]
struct ReaderOptions {
    QString path;  // the journal file itself
    Query query;
    Format format = Format::Text;
    // Set when the program must end at once: 0 after --help/--version, 2 on a bad command line.
    std::optional<int> exitCode;
    QString message;
};

// arguments[0] is the program; `now` is what "today", "yesterday" and times of day count from.
ReaderOptions ParseReaderCommandLine(const QStringList& arguments,
                                     const QDateTime& now = QDateTime::currentDateTime());

// A moment from the command line, local time unless it names its zone: yyyy-MM-dd[ HH:mm[:ss]],
// the ISO form with T, HH:mm[:ss] of today, "today", "yesterday" or "now". A day without a time
// is its first moment, or with `endOfDay` its last.
std::optional<QDateTime> ReadMoment(const QString& text, const QDateTime& now, bool endOfDay);

// FILE as named; a FOLDER's journal.sqlite, or its log/journal.sqlite.
QString JournalFileOf(const QString& fileOrFolder);

}  // namespace vp::journal
