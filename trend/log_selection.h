// SPDX-License-Identifier: MIT
#pragma once

#include <QDate>
#include <QStringList>
#include <functional>
#include <optional>

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
    QStringList files;      // the log files to read, in date order
    QStringList watch;      // what --follow watches: the files and the folders they came from
    QStringList problems;   // inputs that are not logs, folders without logs
    QStringList ambiguous;  // files whose date reads either way (read the reader's way)
};

// Turns the command line's files and folders into log files. A file's date is its header's
// (else its name's); with a range, files of other days are left out. A folder stands for its
// "*.dat" files (or those of its "log" folder, so the panel's own folder works too); without a
// range, only the newest day of each folder is taken. When following, a named file stands also
// for the later days of its folder, and stays watched while it is missing.
Selection SelectLogFiles(const QStringList& inputs, const DateRange& range,
                         const ReadOptions& options = {});

struct TrendData {
    Traces traces;
    QStringList problems;  // of the selection and of every file, in that order
    QStringList watch;
    int filesRead = 0;
    QDate firstDay, lastDay;  // the days with records
    QDate earliestDay;        // of the files read, records or not
};

// Called after each file read with how many of `total` are done; false stops the reading.
using Progress = std::function<bool(int done, int total)>;

// Selects, reads and cuts: everything the viewer needs for one picture, reduced to `columns`
// (see BuildTraces). A file's records are held by column until the traces are cut, so memory
// grows with the readings alone.
TrendData LoadTrend(const QStringList& inputs, const DateRange& range, const ReadOptions& options,
                    int columns = 0, const Progress& progress = {});

}  // namespace vp::trend
