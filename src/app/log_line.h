// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace vp::app {

// How much a line on standard error matters, as syslog ranks it.
enum class Severity { Error = 3, Warning = 4, Info = 6 };

// True when standard error is the journal's stream (systemd sets JOURNAL_STREAM to its device and
// inode), so that a line may carry its priority for the journal to read.
bool StandardErrorIsJournal();

// Writes one line of the program's own on standard error: "vacuum-panel: text" on a terminal or
// into a file, "<3>text" and the like for the journal, which names the program itself. Every line
// the gateway writes about its link, its broker and its files goes through here.
void LogLine(Severity severity, const QString& text);

// Qt's own messages and those of the parts below (a device this user may not open) through
// LogLine too, a warning as a warning; the same message again, as a retry repeats it, is left out
// until another comes or ForgetRepeatedMessage is called.
void LogQtMessages();
void ForgetRepeatedMessage();

}  // namespace vp::app
