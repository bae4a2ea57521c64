// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vp::protocol {

// The controller's status report (kind 111): exactly 81 bytes including its checksum digits.
inline constexpr std::size_t kStatusReportLength = 81;

struct GaugeField {
    int state = 0;             // 150 = OK
    std::string pressureText;  // e.g. "5.000E-3", "1.013E 3"; built for every gauge, used when OK
    bool operator==(const GaugeField&) const = default;
};

struct TmpField {
    int state = 0;
    std::string speed;  // first value, "/", second value: 7 characters
    bool operator==(const TmpField&) const = default;
};

// Gauges in the order TG1, 1G1, 2G1, 1G3; valves in the order of the report:
// 3V1, 1V1, 2V1, 1V2, 2V2, 1V3, 2V3, 1V4.
struct StatusReport {
    std::array<GaugeField, 4> gauges;
    std::array<int, 8> valves{};
    std::array<TmpField, 2> tmps;
    std::string glowDischargeSpeed;  // positions 56-58, unchanged
    std::string highVacuumSpeed;     // positions 59-61, unchanged
    int rotary = 0;
    int currentMode = 0;
    int requestedMode = 0;
    int pneumatics = 0;
    int tmpCooling = 0;
    int branch1 = 0;
    int branch2 = 0;
    std::string uptimeText;  // e.g. "3600s"
    bool operator==(const StatusReport&) const = default;
};

// Reads every field at its fixed position; nullopt unless the message is exactly 81 bytes.
std::optional<StatusReport> ReadStatusReport(std::string_view message);

// Pressure text from a gauge's six bytes after its state: four mantissa bytes copied unchanged,
// exponent field read as a number minus 20, in sign-position form: "5000"+"17" -> "5.000E-3".
std::string PressureText(std::string_view sixBytes);

}  // namespace vp::protocol
