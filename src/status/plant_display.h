#pragma once

#include <QByteArray>
#include <array>
#include <string_view>

#include "link/counter.h"

namespace vp::panel {
class Form1;
}

namespace vp::status {

// Writes a status report onto the synoptic diagram: every shape and caption on every report,
// so the colours come back after the watchdog greyed them.
class PlantDisplay {
public:
    explicit PlantDisplay(panel::Form1& form);

    // Shows the report; false (and nothing changed) unless it is exactly 81 bytes.
    bool DecodeStatus(std::string_view message);

    // The last pressure text of each gauge reported OK (TG1, 1G1, 2G1, 1G3), for the log.
    const std::array<QByteArray, 4>& LastPressures() const { return lastPressures_; }
    void ClearLastPressures() { lastPressures_ = {}; }

    // Reports shown so far: at full line rate, what proves that none was lost on the way.
    const link::Counter& ShownReports() const { return shown_; }

private:
    panel::Form1& form_;
    std::array<QByteArray, 4> lastPressures_;
    link::Counter shown_;
};

}  // namespace vp::status
