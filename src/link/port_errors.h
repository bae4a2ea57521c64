// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <optional>

namespace vp::link {

// Error numbers of the port layer, as the connection handlers know them.
enum PortError : int {
    kNoError = 0,
    kInvalidSettings = 380,  // settings text not usable; no text of its own
    kNoSuchPort = 8002,
    kPortInUse = 8005,
    kCannotOpen = 8012,
    kReadError = 8020,
    kWriteFailed = 8021,  // a frame the line did not take
};

// The operator's line for an error number on port n, or nothing for numbers without a text. No
// text is no failure: it means the status box keeps what it showed, so the answer is an absent
// value rather than a Result.
std::optional<QString> PortErrorText(int error, int port);

}  // namespace vp::link
