// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

#include "base/result.h"

namespace vp::trend {

inline constexpr int kGaugeCount = 4;
// Column order of the log: TG1, 1G1, 2G1, 1G3.
extern const std::array<QString, kGaugeCount> kGaugeNames;

// What a vacuum gauge can show at all. A value outside is a fault of the gauge or the line, and
// plotting it would stretch the axis over hundreds of decades.
inline constexpr double kMinMbar = 1e-14;
inline constexpr double kMaxMbar = 1e4;

struct LogFile {
    QString path;
    bool isLog = false;  // the two header lines were recognised
    QDate date;          // from the header, else from the file name; invalid when neither reads
    QString dateText;    // the header's date as written
    bool dateAmbiguous = false;  // day and month could be swapped; read the reader's way
    // The records, by column: each one's time (ms since the epoch, local time) and the four
    // readings in mbar, NaN where the field was empty (gauge not yet OK) or unusable. Floats
    // hold the four digits of a pressure text, and a year of minute records takes 12 MB.
    std::vector<qint64> ms;
    std::array<std::vector<float>, kGaugeCount> mbar;
    // "path:line: what went wrong", in file order; beyond kMaxProblems only counted.
    QStringList problems;
    int problemsLeftOut = 0;

    qsizetype RecordCount() const { return static_cast<qsizetype>(ms.size()); }
    bool HasReadings() const;
};

// One bad byte in a file of thousands of lines must not bury the terminal.
inline constexpr int kMaxProblems = 20;
// A day of records is some 60 KB; anything much larger is not one of these logs.
inline constexpr qint64 kMaxLogBytes = 16 * 1024 * 1024;

struct ReadOptions {
    QLocale regional = QLocale();
    QString dateForm;  // --date-format: how the logs write their date, tried first
    // --follow: the panel may be in the middle of appending, so an unterminated last line is left
    // for the next reading instead of being reported; a named file's folder is watched for the
    // days after it.
    bool following = false;
};

// Parses the text of one daily log. `path` names the file in messages and gives the date when
// the header's cannot be read.
LogFile ReadLog(const QByteArray& content, const QString& path, const ReadOptions& options = {});
LogFile ReadLogFile(const QString& path, const ReadOptions& options = {});

// A log file's first two lines (or its name), without the records: its date when it is a log
// with one, else why not (in `problem`, "path: ..." or "path:line: ...").
struct LogHeader {
    std::optional<QDate> date;
    bool ambiguous = false;
    QString problem;
};
LogHeader ReadLogHeader(const QString& path, const ReadOptions& options = {});

// Whether `path` can be read as a log at all, and why not (a device, a FIFO, too large...), before
// it is opened.
Result<> CheckReadable(const QString& path);

}  // namespace vp::trend
