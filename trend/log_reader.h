#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace vp::trend {

inline constexpr int kGaugeCount = 4;
// Column order of the log: TG1, 1G1, 2G1, 1G3.
extern const std::array<QString, kGaugeCount> kGaugeNames;

struct Record {
    int line = 0;  // 1-based line of the file
    QDateTime time;
    // mbar; empty where the field was empty (gauge not yet OK) or unreadable.
    std::array<std::optional<double>, kGaugeCount> mbar;
};

struct LogFile {
    QString path;
    bool isLog = false;  // the two header lines were recognised
    QDate date;          // from the header, else from the file name; invalid when neither reads
    std::vector<Record> records;
    // "path:line: what went wrong", in file order; beyond kMaxProblems only counted.
    QStringList problems;
    int problemsLeftOut = 0;
};

// One bad byte in a file of thousands of lines must not bury the terminal.
inline constexpr int kMaxProblems = 20;
// A day of records is some 60 KB; anything much larger is not one of these logs.
inline constexpr qint64 kMaxLogBytes = 16 * 1024 * 1024;

struct ReadOptions {
    QLocale regional = QLocale::system();
    // The panel may be in the middle of appending: an unterminated last line is left for the
    // next reading instead of being reported.
    bool tailMayGrow = false;
};

// Parses the text of one daily log. `path` names the file in messages and gives the date when
// the header's cannot be read.
LogFile ReadLog(const QByteArray& content, const QString& path, const ReadOptions& options = {});
LogFile ReadLogFile(const QString& path, const ReadOptions& options = {});

// The date a log file is for, read from its first two lines (or its name), without reading the
// records; nullopt when the file is not a log or gives no date.
std::optional<QDate> ReadLogDate(const QString& path, const QLocale& regional = QLocale::system());

}  // namespace vp::trend
