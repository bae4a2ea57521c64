// SPDX-License-Identifier: MIT
#include "link/port_errors.h"

namespace vp::link {

std::optional<QString> PortErrorText(int error, int port) {
    const QString n = QString::number(port);
    switch (error) {
        case kNoSuchPort:
            return "Port " + n + " does not exist";
        case kPortInUse:
            return "Port " + n + " is already open";
        case kCannotOpen:
            return "Port " + n + " open failed";
        case kReadError:
            return "Port " + n + ": Error reading comm device";
        case kWriteFailed:
            return "Port " + n + ": Error writing comm device";
        default:
            return std::nullopt;
    }
}

}  // namespace vp::link
