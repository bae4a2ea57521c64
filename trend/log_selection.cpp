#include "trend/log_selection.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <map>

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

}  // namespace

Selection SelectLogFiles(const QStringList& inputs, const DateRange& range,
                         const QLocale& regional) {
    Selection selection;
    for (const QString& input : inputs) {
        const QFileInfo info(input);
        if (info.isFile()) {
            const auto date = ReadLogDate(input, regional);
            // A file that is no log is read anyway, so that the reader says what is wrong with it.
            if (range.IsOpen() || !date || range.Contains(*date)) selection.files << input;
            selection.watch << input;
            continue;
        }
        if (!info.isDir()) {
            selection.problems << QStringLiteral("%1: no such file or folder").arg(input);
            continue;
        }
        const QString folder = LogFolderOf(input);
        const QDir dir(folder);
        std::multimap<QDate, QString> byDate;
        for (const QString& name : dir.entryList({QStringLiteral("*.dat")}, QDir::Files)) {
            const QString path = dir.filePath(name);
            const auto date = ReadLogDate(path, regional);
            if (!date) {
                selection.problems
                    << QStringLiteral("%1: not a pressure log with a readable date, left out")
                           .arg(path);
            } else if (range.Contains(*date)) {
                byDate.emplace(*date, path);
            }
        }
        selection.watch << folder;
        if (byDate.empty()) {
            selection.problems << QStringLiteral("%1: no pressure log%2 in this folder")
                                      .arg(folder, range.IsOpen()
                                                       ? QString()
                                                       : QStringLiteral(" of those days"));
            continue;
        }
        const QDate newest = byDate.rbegin()->first;
        for (const auto& [date, path] : byDate) {
            if (!range.IsOpen() || date == newest) {
                selection.files << path;
                selection.watch << path;
            }
        }
    }
    selection.files.removeDuplicates();
    selection.watch.removeDuplicates();
    return selection;
}

TrendData LoadTrend(const QStringList& inputs, const DateRange& range, const ReadOptions& options) {
    const Selection selection = SelectLogFiles(inputs, range, options.regional);
    TrendData data;
    data.problems = selection.problems;
    data.watch = selection.watch;
    for (const QString& path : selection.files) {
        LogFile log = ReadLogFile(path, options);
        data.problems << log.problems;
        if (log.problemsLeftOut > 0)
            data.problems << QStringLiteral("%1: %2 more problem(s) not shown")
                                 .arg(path)
                                 .arg(log.problemsLeftOut);
        data.files.push_back(std::move(log));
    }
    data.traces = BuildTraces(data.files);
    return data;
}

}  // namespace vp::trend
