// SPDX-License-Identifier: MIT
#include "trend/log_selection.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <map>

#include "trend/regional_time.h"

namespace vp::trend {

bool DateRange::Contains(QDate date) const {
    return (!from || date >= *from) && (!to || date <= *to);
}

namespace {

QString LogFolderOf(const QString& folder) {
    const QDir dir(folder);
    if (dir.entryList({QStringLiteral("*.dat")}, QDir::Files).isEmpty() &&
        QFileInfo(dir.filePath(QStringLiteral("log"))).isDir())
        return dir.filePath(QStringLiteral("log"));
    return folder;
}

// The logs of a folder within the range, by date; what is no log goes to `problems` when given.
// Only regular files are listed: a FIFO or a device named *.dat is never opened.
std::multimap<QDate, QString> DatedLogs(const QString& folder, const DateRange& range,
                                        const ReadOptions& options, QStringList* problems) {
    std::multimap<QDate, QString> byDate;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.dat")}, QDir::Files)) {
        const QString path = dir.filePath(name);
        const LogHeader header = ReadLogHeader(path, options);
        if (!header.date) {
            if (problems) *problems << header.problem + QStringLiteral(", left out");
        } else if (range.Contains(*header.date)) {
            byDate.emplace(*header.date, path);
        }
    }
    return byDate;
}

void SelectFolder(const QString& input, const DateRange& range, const ReadOptions& options,
                  Selection& selection) {
    const QString folder = LogFolderOf(input);
    const auto byDate = DatedLogs(folder, range, options, &selection.problems);
    selection.watch << folder;
    if (byDate.empty()) {
        selection.problems << QStringLiteral("%1: no pressure log%2 in this folder")
                                  .arg(folder, range.IsOpen() ? QString()
                                                              : QStringLiteral(" of those days"));
        return;
    }
    const QDate newest = byDate.rbegin()->first;
    for (const auto& [date, path] : byDate) {
        if (!range.IsOpen() || date == newest) {
            selection.files << path;
            selection.watch << path;
        }
    }
}

void SelectFile(const QString& input, const DateRange& range, const ReadOptions& options,
                Selection& selection) {
    // Followed, a file that is gone for now is looked for again at every poll.
    if (options.following) selection.watch << input;
    if (const Result<> readable = CheckReadable(input); !readable.ok()) {
        selection.problems << QStringLiteral("%1: %2").arg(input, readable.error());
        return;
    }
    const LogHeader header = ReadLogHeader(input, options);
    // A file that is no log is read anyway, so that the reader says what is wrong with it.
    if (range.IsOpen() || !header.date || range.Contains(*header.date)) selection.files << input;
    selection.watch << input;
    if (!options.following || !header.date) return;
    // Followed past midnight, the file's folder brings the next day's file, as a folder would.
    DateRange later = range;
    later.from = std::max(range.from.value_or(QDate()), header.date->addDays(1));
    const QString folder = QFileInfo(input).absolutePath();
    for (const auto& [date, path] : DatedLogs(folder, later, options, nullptr)) {
        selection.files << path;
        selection.watch << path;
    }
    selection.watch << folder;
}

// The choice made for dates that read either way, said once however many files have one.
QString AmbiguityNote(const LogFile& file, const QLocale& regional) {
    const bool dayFirst = DayFirst(regional);
    return QStringLiteral(
               "%1: its date \"%2\" reads either way, and so may other files' dates; "
               "they are read %3 first, as this PC's regional settings (%4) write "
               "dates: %5. Were they written %6 first, give --date-format %7")
        .arg(file.path, file.dateText, dayFirst ? QStringLiteral("day") : QStringLiteral("month"),
             regional.name(), file.date.toString(Qt::ISODate),
             dayFirst ? QStringLiteral("month") : QStringLiteral("day"),
             dayFirst ? QStringLiteral("M/d/yy") : QStringLiteral("d/M/yy"));
}

}  // namespace

Selection SelectLogFiles(const QStringList& inputs, const DateRange& range,
                         const ReadOptions& options) {
    Selection selection;
    for (const QString& input : inputs) {
        if (QFileInfo(input).isDir()) {
            SelectFolder(input, range, options, selection);
        } else {
            SelectFile(input, range, options, selection);
        }
    }
    selection.files.removeDuplicates();
    selection.watch.removeDuplicates();
    return selection;
}

TrendData LoadTrend(const QStringList& inputs, const DateRange& range, const ReadOptions& options,
                    int columns, const Progress& progress) {
    const Selection selection = SelectLogFiles(inputs, range, options);
    TrendData data;
    data.problems = selection.problems;
    data.watch = selection.watch;
    std::vector<LogFile> files;
    files.reserve(static_cast<size_t>(selection.files.size()));
    bool ambiguityNoted = false;
    for (const QString& path : selection.files) {
        LogFile log = ReadLogFile(path, options);
        data.problems << log.problems;
        if (log.problemsLeftOut > 0)
            data.problems << QStringLiteral("%1: %2 more problem(s) not shown")
                                 .arg(path)
                                 .arg(log.problemsLeftOut);
        // While following, the day may still be waiting for its first reading.
        if (log.RecordCount() > 0 && !log.HasReadings() && !options.following)
            data.problems << QStringLiteral(
                                 "%1: its %2 record(s) hold no reading: the panel "
                                 "logged while not connected, or before any gauge "
                                 "reported OK")
                                 .arg(path)
                                 .arg(log.RecordCount());
        if (log.dateAmbiguous && !ambiguityNoted) {
            data.problems << AmbiguityNote(log, options.regional);
            ambiguityNoted = true;
        }
        if (log.date.isValid() && (!data.earliestDay.isValid() || log.date < data.earliestDay))
            data.earliestDay = log.date;
        if (log.RecordCount() > 0 && log.date.isValid()) {
            if (!data.firstDay.isValid() || log.date < data.firstDay) data.firstDay = log.date;
            if (!data.lastDay.isValid() || log.date > data.lastDay) data.lastDay = log.date;
        }
        files.push_back(std::move(log));
        if (progress && !progress(static_cast<int>(files.size()), int(selection.files.size())))
            break;
    }
    data.filesRead = static_cast<int>(files.size());
    data.traces = BuildTraces(files, columns);
    return data;
}

}  // namespace vp::trend
