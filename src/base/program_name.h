// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QString>

#include "version.h"

namespace vp {

// The names that the programs' own lines begin with: --help, --version and every error line.
// vacuum-panel starts its window's program under its own name, so both answer as vacuum-panel.
inline constexpr char kPanelProgram[] = "vacuum-panel";
inline constexpr char kJournalProgram[] = "vacuum-journal";
inline constexpr char kTrendProgram[] = "vacuum-trend";
inline constexpr char kTrendDemoProgram[] = "vacuum-trend-demo-log";
inline constexpr char kSimProgram[] = "vacuum-controller-sim";

// "program: text", without the line's end.
inline QString ProgramSays(const char* program, const QString& text) {
    return QLatin1String(program) + QLatin1String(": ") + text;
}

// The answer to --version: "program 1.2.3" and the line's end.
inline QString VersionLine(const char* program) {
    return QLatin1String(program) + u' ' + QLatin1String(kVersion) + u'\n';
}

// Qt's help names the program by the path it was started with, or by a placeholder before the
// application object exists; the usage line shows the program's own name either way.
inline QString HelpNamed(QString help, const char* program) {
    const qsizetype start = help.indexOf(QLatin1String(": ")) + 2;
    const qsizetype end = help.indexOf(u' ', start);
    if (start >= 2 && end > start) help.replace(start, end - start, QLatin1String(program));
    return help;
}

// Names the application as Qt reports it (the port layer's messages take the name from there).
inline void NameApplication(const char* program) {
    QCoreApplication::setApplicationName(QLatin1String(program));
    QCoreApplication::setApplicationVersion(QLatin1String(kVersion));
}

}  // namespace vp
