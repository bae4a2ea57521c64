#pragma once

#include <QDate>
#include <QLocale>
#include <QStringList>
#include <optional>
#include <vector>

#include "trend/log_reader.h"
#include "trend/traces.h"

namespace vp::trend {

// Inclusive; an open end reaches as far as the logs go.
struct DateRange {
    std::optional<QDate> from;
    std::optional<QDate> to;
    bool Contains(QDate date) const;
    bool IsOpen() const { return !from && !to; }
};

struct Selection {
    QStringList files;     // the log files to read
    QStringList watch;     // what --follow watches: the files and the folders they came from
    QStringList problems;  // inputs that are neither a file nor a folder, folders without logs
};

// Turns the command line's files and folders into log files. A file's date is its header's
// (else its name's); with a range, files of other days are left out. A folder stands for its
// "*.dat" files (or those of its "log" folder, so the panel's own folder works too); without a
// range, only the newest day of each folder is taken.
Selection SelectLogFiles(const QStringList& inputs, const DateRange& range,
                         const QLocale& regional = QLocale::system());

struct TrendData {
    std::vector<LogFile> files;
    Traces traces;
    QStringList problems;  // of the selection and of every file, in that order
    QStringList watch;
};

// Selects, reads and cuts: everything the viewer needs for one picture.
TrendData LoadTrend(const QStringList& inputs, const DateRange& range, const ReadOptions& options);

}  // namespace vp::trend
