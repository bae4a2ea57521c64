// SPDX-License-Identifier: MIT
#include "protocol/status_report.h"

#include <algorithm>
#include <cstdint>

#include "protocol/message_kind.h"
#include "text/number_reader.h"
#include "text/number_text.h"

namespace vp::protocol {

namespace {


// 1-based positions of the report's fields.
constexpr std::array<std::size_t, 4> kGaugeStates{6, 13, 20, 27};
constexpr std::size_t kGaugeReadingLength = 6;
constexpr std::size_t kFirstValve = 34;
constexpr std::array<std::size_t, 2> kTmpStates{42, 49};
constexpr std::size_t kSpeedLength = 3;
constexpr std::size_t kGlowDischargeSpeed = 56;
constexpr std::size_t kHighVacuumSpeed = 59;
constexpr std::size_t kRotary = 62;
constexpr std::size_t kCurrentMode = 63;
constexpr std::size_t kRequestedMode = 64;
constexpr std::size_t kPneumatics = 65;
constexpr std::size_t kTmpCooling = 66;
constexpr std::size_t kBranch1 = 67;
constexpr std::size_t kBranch2 = 68;
constexpr std::size_t kUptime = 69;
constexpr std::size_t kUptimeLength = 10;

// The gauges send their exponent offset by 20 so that it fits two unsigned digits.
constexpr double kExponentOffset = 20.0;

}  // namespace

std::string PressureText(std::string_view sixBytes) {
    const std::string_view units = sixBytes.substr(0, 1);
    const std::string_view decimals = sixBytes.substr(std::min<std::size_t>(1, sixBytes.size()), 3);
    const std::string_view exponentField =
        sixBytes.substr(std::min<std::size_t>(4, sixBytes.size()), 2);

    const double exponent = text::LeadingNumber(exponentField) - kExponentOffset;
    const std::optional<std::int16_t> whole = text::ToInt16(exponent);

    std::string result;
    result.reserve(12);
    result.append(units);
    result.push_back('.');
    result.append(decimals);
    result.push_back('E');
    result.append(whole ? text::SignPositionNumber(*whole) : text::SignPositionNumber(exponent));
    return result;
}

std::optional<StatusReport> ReadStatusReport(std::string_view message) {
    if (message.size() != kStatusReportLength) return std::nullopt;

    StatusReport report;
    for (std::size_t g = 0; g < kGaugeStates.size(); ++g) {
        report.gauges[g].state = CodeAt(message, kGaugeStates[g]);
        report.gauges[g].pressureText =
            PressureText(FieldAt(message, kGaugeStates[g] + 1, kGaugeReadingLength));
    }
    for (std::size_t v = 0; v < report.valves.size(); ++v) {
        report.valves[v] = CodeAt(message, kFirstValve + v);
    }
    for (std::size_t t = 0; t < kTmpStates.size(); ++t) {
        const std::size_t state = kTmpStates[t];
        report.tmps[t].state = CodeAt(message, state);
        report.tmps[t].speed =
            std::string(FieldAt(message, state + 1, kSpeedLength)) + "/" +
            std::string(FieldAt(message, state + 1 + kSpeedLength, kSpeedLength));
    }
    report.glowDischargeSpeed = FieldAt(message, kGlowDischargeSpeed, kSpeedLength);
    report.highVacuumSpeed = FieldAt(message, kHighVacuumSpeed, kSpeedLength);
    report.rotary = CodeAt(message, kRotary);
    report.currentMode = CodeAt(message, kCurrentMode);
    report.requestedMode = CodeAt(message, kRequestedMode);
    report.pneumatics = CodeAt(message, kPneumatics);
    report.tmpCooling = CodeAt(message, kTmpCooling);
    report.branch1 = CodeAt(message, kBranch1);
    report.branch2 = CodeAt(message, kBranch2);
    report.uptimeText =
        text::PlainNumber(text::LeadingNumber(FieldAt(message, kUptime, kUptimeLength))) + "s";
    return report;
}

}  // namespace vp::protocol
