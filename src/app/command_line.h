#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "link/comm_port.h"

namespace vp::app {

struct Options {
    link::PortNames ports;  // --port N=DEVICE
    QString screenshot;     // --screenshot FILE.png
    std::optional<double> quitAfterSeconds;
    bool simulate = false;
    QString record;  // --record FILE: the line's traffic, appended
    // Set when the program must end at once: 0 after --help/--version, 2 on a bad command line;
    // message is what to print (stdout for 0, stderr for 2).
    std::optional<int> exitCode;
    QString message;
};

Options ParseCommandLine(const QStringList& arguments);

}  // namespace vp::app
