// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <random>

namespace vp::sim {

// Byte values the controller puts into its replies and status report.
namespace code {
inline constexpr std::uint8_t kOk = 150;
inline constexpr std::uint8_t kBadSize = 152;
inline constexpr std::uint8_t kBadOperator = 154;
inline constexpr std::uint8_t kCrcError = 155;
inline constexpr std::uint8_t kNotImplemented = 156;
inline constexpr std::uint8_t kNotAllowed = 157;
inline constexpr std::uint8_t kClosed = 190;
inline constexpr std::uint8_t kOpen = 191;
inline constexpr std::uint8_t kStopped = 193;
inline constexpr std::uint8_t kAccelerating = 194;
inline constexpr std::uint8_t kStopping = 195;
inline constexpr std::uint8_t kStarted = 196;
inline constexpr std::uint8_t kFirstMode = 199;  // Idle; the others follow in Mode order
inline constexpr std::uint8_t kActive = 205;
inline constexpr std::uint8_t kInactive = 206;
inline constexpr std::uint8_t kPneumaticGood = 207;
inline constexpr std::uint8_t kCoolingBad = 208;
inline constexpr std::uint8_t kCoolingGood = 209;
}  // namespace code

// Report order of the valves (3V1 first, 1V4 last).
enum class Valve { k3V1, k1V1, k2V1, k1V2, k2V2, k1V3, k2V3, k1V4 };
inline constexpr int kValveCount = 8;

// Report order of the gauges.
enum class Gauge { kTG1, k1G1, k2G1, k1G3 };
inline constexpr int kGaugeCount = 4;

// Same order as the mode commands 120..125 and the mode codes 199..204.
enum class Mode { kIdle, kHighVacuum, kPrimaryVacuum, kUnsafe, kStop, kGlowDischarge };

enum class TmpState { kStopped, kAccelerating, kStarted, kStopping };

inline constexpr int kTmpCount = 2;
inline constexpr int kIcpconCount = 5;
// Counter fields on the line are five digits; counts stop there instead of wrapping.
inline constexpr int kMaxCount = 99999;

// The vacuum plant behind the controller. Time only moves through Advance(), so the
// controller feeds it real elapsed time and tests feed it whatever they need at once.
class Plant {
public:
    Plant();

    // Moves the model on by `seconds` of plant time; negative or non-finite values are ignored.
    void Advance(double seconds);
    double Time() const { return time_; }
    std::int64_t UptimeSeconds() const;

    // Valves 1V2, 2V2, 2V3 and 1V4 are mechanical: SetValve leaves them as they are.
    void SetValve(Valve valve, bool open);
    bool ValveOpen(Valve valve) const { return valves_[Index(valve)]; }

    void SwitchTmp(int tmp, bool on);
    TmpState TmpStateOf(int tmp) const { return tmps_[Clamp(tmp)].state; }
    bool TmpSwitchedOn(int tmp) const { return tmps_[Clamp(tmp)].on; }
    int TmpSpeedPercent(int tmp) const;
    // The set speed the pumps run to: the mode's own set-point in high vacuum and glow
    // discharge, the general one otherwise.
    int TmpSetPercent() const;
    int TmpOperatingHours(int tmp) const;

    void SwitchRotary(bool on) { rotary_on_ = on; }
    // No bus or device hiccups: a plant where nothing changes, for measuring an idle site.
    void HoldCounters(bool hold) { counters_held_ = hold; }
    bool RotaryOn() const { return rotary_on_; }

    void SwitchChiller(bool on) { chiller_on_ = on; }
    bool CoolingGood() const { return chiller_on_; }

    void RequestMode(Mode mode);
    Mode CurrentMode() const { return current_mode_; }
    Mode RequestedMode() const { return requested_mode_; }

    void SetBranch(int branch, bool active) { branches_[branch == 1 ? 1 : 0] = active; }
    bool BranchActive(int branch) const { return branches_[branch == 1 ? 1 : 0]; }

    // Set-points in percent of full speed, 20..100; other values are refused.
    bool SetTmpSpeed(int percent);
    bool SetGlowDischargeSpeed(int percent);
    bool SetHighVacuumSpeed(int percent);
    int TmpSpeed() const { return tmp_speed_; }
    int GlowDischargeSpeed() const { return glow_discharge_speed_; }
    int HighVacuumSpeed() const { return high_vacuum_speed_; }

    // Pressure as log10 of mbar.
    double GaugeLog10(Gauge gauge) const { return gauges_[Index(gauge)]; }
    void SetGaugeLog10(Gauge gauge, double log10_mbar);

    int TmpErrors(int tmp) const { return tmp_errors_[Clamp(tmp)]; }
    int IcpconErrors(int module) const;
    int GaugeErrors(Gauge gauge) const { return gauge_errors_[Index(gauge)]; }
    void ResetTmpErrors() { tmp_errors_.fill(0); }
    void ResetIcpconErrors() { icpcon_errors_.fill(0); }
    void ResetGaugeErrors() { gauge_errors_.fill(0); }

    static constexpr double kAtmosphereLog10 = 3.0056;  // 1013 mbar
    static constexpr double kModeChangeSeconds = 2.0;

private:
    struct Tmp {
        bool on = false;
        TmpState state = TmpState::kStopped;
        double speed = 0;  // percent
        double run_seconds = 0;
        int base_hours = 0;
    };

    static int Index(Valve v) { return static_cast<int>(v); }
    static int Index(Gauge g) { return static_cast<int>(g); }
    static int Clamp(int tmp) { return tmp == 1 ? 1 : 0; }

    void Step(double dt);
    void StepTmp(Tmp& tmp, double dt) const;
    void StepGauges(double dt);
    void StepCounters();

    double time_ = 0;
    std::array<bool, kValveCount> valves_{};
    std::array<Tmp, kTmpCount> tmps_{};
    bool rotary_on_ = false;
    bool chiller_on_ = true;
    Mode current_mode_ = Mode::kIdle;
    Mode requested_mode_ = Mode::kIdle;
    double mode_pending_ = 0;
    std::array<bool, 2> branches_{};
    int tmp_speed_ = 100;
    int glow_discharge_speed_ = 50;
    int high_vacuum_speed_ = 100;
    std::array<double, kGaugeCount> gauges_{};
    std::array<int, kTmpCount> tmp_errors_{};
    std::array<int, kIcpconCount> icpcon_errors_{};
    std::array<int, kGaugeCount> gauge_errors_{};
    double next_count_at_ = 0;
    bool counters_held_ = false;
    std::minstd_rand rng_{1};  // fixed seed: a run is repeatable
};

}  // namespace vp::sim
