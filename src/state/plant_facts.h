// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "protocol/status_report.h"

namespace vp::state {

// What the controller and the link last said, as meaning rather than captions. The network
// publishes this: a caption's wording, or a caption left standing by a code outside its table,
// would tie subscribers to the window.
struct PlantFacts {
    std::optional<protocol::StatusReport> report;  // the last decoded status report

    // When the last decoded report arrived, in ms since the epoch (UTC); 0 before the first.
    std::int64_t reportUtcMs = 0;

    // TMP operating hours as counted by the controller; nullopt until reported, or after the
    // controller reported that it could not read them (hoursFailed).
    std::array<std::optional<double>, 2> tmpHours{};
    bool hoursFailed = false;

    // Error counts from the diagnostic messages, as shown; nullopt until reported.
    std::array<std::optional<double>, 2> tmpErrors{};
    std::array<std::optional<double>, 4> gaugeErrors{};  // TG1, 1G1, 2G1, 1G3
    std::array<std::optional<double>, 5> icpconErrors{};

    bool operator==(const PlantFacts&) const = default;
};

// The serial link as the panel sees it.
struct LinkFacts {
    bool connected = false;
    bool stale = false;  // the watchdog greyed the diagram; the next decoded report clears it
    std::int32_t sent = 0;
    std::int32_t received = 0;
    bool reported = false;  // a report decoded since the port last opened

    bool operator==(const LinkFacts&) const = default;
};

}  // namespace vp::state
