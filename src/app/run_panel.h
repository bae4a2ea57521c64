// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "app/command_line.h"

namespace vp::app {

class Panel;

// A window for the run, in the program that has one.
struct RunWindow {
    // Made once the panel exists and before its journal opens, whose first record names the port
    // the window chooses; kept until the run ends and let go before the panel.
    std::function<std::unique_ptr<QObject>(Panel&)> attach;
    // Called when everything else has started, just before the event loop.
    std::function<void(QObject&)> show;
};

// The answers that need no panel: --help, --version, a bad command line, --discovery-remove.
// The exit code when the program ends with them.
std::optional<int> AnswerWithoutPanel(int& argc, char* argv[], const Options& options);

// The panel on a serial line until the application quits, headless or with the window, journaling
// and publishing if asked; the exit code.
int RunPanel(const Options& options, link::PortNames ports, const RunWindow& window = {});

// Readies a headless run's application object: named, Qt's messages on the program's lines, and
// ended by the signals a service manager sends.
void PrepareHeadless();

// Quits the application after --quit-after's seconds, if given.
void QuitAfter(const Options& options);

// One error line, "vacuum-panel: what: why"; the exit code to leave with.
int Refuse(const char* what, const QString& why, int code = 1);

}  // namespace vp::app
