// SPDX-License-Identifier: MIT
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

#include "trend/log_selection.h"

namespace vp::trend {

struct Options {
    QStringList inputs;  // files and folders; "log" when none is named
    DateRange range;
    bool follow = false;
    bool events = true;  // the journal's events as marks on the time axis
    QString png;         // render to this file and quit
    QString dateForm;    // how the logs write their date, when the usual forms do not tell
    QSize size{1000, 600};
    // Set when the program must end at once: 0 after --help/--version, 2 on a bad command line;
    // message is what to print (stdout for 0, stderr for 2).
    std::optional<int> exitCode;
    QString message;
};

// arguments[0] is the program. `today` is what "today" and "yesterday" are counted from.
Options ParseCommandLine(const QStringList& arguments, QDate today = QDate::currentDate(),
                         const QLocale& regional = QLocale());

}  // namespace vp::trend
