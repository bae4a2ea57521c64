// SPDX-License-Identifier: MIT
#pragma once

// The numbers the controller speaks in, each named once. They stay plain ints, not enum types:
// they are compared with what was read off the line, and a kind or a code that has no name here
// is still a value the panel must handle (listed raw, or shown as an error).

namespace vp::protocol {

// Positions 1-3 of a received message. The periodic polls ask for the first four by the same
// numbers.
namespace MessageKind {
inline constexpr int TmpErrorCounts = 38;
inline constexpr int TmpOperatingHours = 40;
inline constexpr int GaugeErrorCounts = 90;
inline constexpr int IcpconErrorCounts = 92;
inline constexpr int StatusReport = 111;

// Warnings: seventeen kinds without a gap, named as the controller names them. The valves are
// in the controller's order, not sorted.
inline constexpr int OP_ERR_PNEUMATIC_PRESSURE = 220;
inline constexpr int OP_ERR_TMP_COOLING = 221;
inline constexpr int OP_ERR_VALVE_1V1 = 222;
inline constexpr int OP_ERR_VALVE_2V1 = 223;
inline constexpr int OP_ERR_VALVE_1V3 = 224;
inline constexpr int OP_ERR_VALVE_1V2 = 225;
inline constexpr int OP_ERR_VALVE_2V2 = 226;
inline constexpr int OP_ERR_VALVE_1V4 = 227;
inline constexpr int OP_ERR_VALVE_3V1 = 228;
inline constexpr int OP_ERR_VALVE_2V3 = 229;
inline constexpr int OP_ERR_PUMP_TMP1 = 230;
inline constexpr int OP_ERR_PUMP_TMP2 = 231;
inline constexpr int OP_ERR_ICPCON_BUS = 232;
inline constexpr int OP_ERR_PFEIFFER_BUS = 233;
inline constexpr int OP_ERR_MANUAL_INTERVENTION_NEEDED = 234;
inline constexpr int OP_ERR_ROTARY_PUMP_TRIP = 235;
inline constexpr int OP_ERR_ROTARY_PUMP_COOLING = 236;
}  // namespace MessageKind

// The byte at position 5 of a message, and the state of a gauge or a TMP in the status report.
// Anything above Ok in position 5 is an error report, named here or not.
namespace ResultCode {
inline constexpr int Unknown = 0;
inline constexpr int Ok = 150;
// The request refused.
inline constexpr int BadSize = 152;
inline constexpr int BadOperator = 154;
inline constexpr int CrcError = 155;
inline constexpr int NotImplemented = 156;
inline constexpr int NotAllowed = 157;
// The controller's exchange with the icpcon bus failed.
inline constexpr int IcpconNoResponse = 170;
inline constexpr int IcpconWrongSize = 171;
inline constexpr int IcpconBadFormat = 172;
inline constexpr int IcpconBadCrc = 173;
// The same four failures on the pfeiffer bus.
inline constexpr int PfeifferNoResponse = 180;
inline constexpr int PfeifferWrongSize = 181;
inline constexpr int PfeifferBadFormat = 182;
inline constexpr int PfeifferBadCrc = 183;
}  // namespace ResultCode

// The one-byte fields of the status report: valves, pumps, modes, conditions and branches.
namespace StatusCode {
inline constexpr int ValveClosed = 190;
inline constexpr int ValveOpen = 191;
// TMP1, TMP2 and the rotary pump; only a TMP accelerates or stops, only the rotary pump trips.
inline constexpr int PumpStopped = 193;
inline constexpr int PumpAccelerating = 194;
inline constexpr int PumpStopping = 195;
inline constexpr int PumpStarted = 196;
inline constexpr int PumpTripped = 198;
// In the order of the mode commands.
inline constexpr int IdleMode = 199;
inline constexpr int HighVacuum = 200;
inline constexpr int PrimaryVacuum = 201;
inline constexpr int UnsafeMode = 202;
inline constexpr int Stop = 203;
inline constexpr int GlowDischarge = 204;
inline constexpr int BranchActive = 205;
inline constexpr int BranchInactive = 206;
inline constexpr int PneumaticPressureGood = 207;
inline constexpr int TmpCoolingGood = 209;
}  // namespace StatusCode

}  // namespace vp::protocol
