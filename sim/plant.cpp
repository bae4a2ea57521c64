// SPDX-License-Identifier: MIT
#include "sim/plant.h"

#include <algorithm>
#include <cmath>

namespace vp::sim {

namespace {

constexpr double kStepSeconds = 0.1;
constexpr int kMaxSteps = 100000;
// One call moves at most this far, so a wild argument cannot keep the loop busy for long.
constexpr double kMaxAdvanceSeconds = 1e7;
constexpr double kAccelerationPercentPerSecond = 10;  // full speed in about ten seconds
constexpr double kDecelerationPercentPerSecond = 8;
constexpr double kPumpDownSeconds = 4;  // time constants on the log scale
constexpr double kRiseSeconds = 15;
constexpr double kRoughingLog10 = -2.3;          // what the rotary pump alone reaches
constexpr double kTmpDecades = 4.5;              // what a TMP at full speed adds below that
constexpr std::int64_t kMaxUptime = 9999999999;  // ten digits on the line
constexpr int kMaxHours = 999999;

int ClampPercent(double speed) {
    return static_cast<int>(std::lround(std::clamp(speed, 0.0, 100.0)));
}

bool ValidSetPoint(int percent) {
    return percent >= 20 && percent <= 100;
}

}  // namespace

Plant::Plant() {
    valves_[Index(Valve::k2V2)] = true;  // the mechanical valves rest as built: 2V2 and 1V4 open
    valves_[Index(Valve::k1V4)] = true;
    tmps_[0].base_hours = 4211;
    tmps_[1].base_hours = 3876;
    gauges_.fill(kAtmosphereLog10);
    next_count_at_ = 15;
}

void Plant::Advance(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0) return;
    seconds = std::min(seconds, kMaxAdvanceSeconds);
    const int steps =
        static_cast<int>(std::min<double>(std::ceil(seconds / kStepSeconds), kMaxSteps));
    const double dt = seconds / steps;
    const double end = time_ + seconds;  // summed steps would drift below it
    for (int i = 0; i < steps; ++i) Step(dt);
    time_ = end;
}

std::int64_t Plant::UptimeSeconds() const {
    return std::min<std::int64_t>(static_cast<std::int64_t>(time_), kMaxUptime);
}

void Plant::SetValve(Valve valve, bool open) {
    switch (valve) {
        case Valve::k3V1:
        case Valve::k1V1:
        case Valve::k2V1:
        case Valve::k1V3:
            valves_[Index(valve)] = open;
            break;
        default:
            break;
    }
}

void Plant::SwitchTmp(int tmp, bool on) {
    tmps_[Clamp(tmp)].on = on;
}

int Plant::TmpSpeedPercent(int tmp) const {
    return ClampPercent(tmps_[Clamp(tmp)].speed);
}

int Plant::TmpSetPercent() const {
    switch (current_mode_) {
        case Mode::kHighVacuum:
            return high_vacuum_speed_;
        case Mode::kGlowDischarge:
            return glow_discharge_speed_;
        default:
            return tmp_speed_;
    }
}

int Plant::TmpOperatingHours(int tmp) const {
    const Tmp& t = tmps_[Clamp(tmp)];
    const double hours = t.base_hours + t.run_seconds / 3600;
    return static_cast<int>(std::min<double>(hours, kMaxHours));
}

void Plant::RequestMode(Mode mode) {
    if (mode != requested_mode_) mode_pending_ = 0;
    requested_mode_ = mode;
}

bool Plant::SetTmpSpeed(int percent) {
    if (!ValidSetPoint(percent)) return false;
    tmp_speed_ = percent;
    return true;
}

bool Plant::SetGlowDischargeSpeed(int percent) {
    if (!ValidSetPoint(percent)) return false;
    glow_discharge_speed_ = percent;
    return true;
}

bool Plant::SetHighVacuumSpeed(int percent) {
    if (!ValidSetPoint(percent)) return false;
    high_vacuum_speed_ = percent;
    return true;
}

void Plant::SetGaugeLog10(Gauge gauge, double log10_mbar) {
    if (std::isfinite(log10_mbar)) gauges_[Index(gauge)] = std::clamp(log10_mbar, -20.0, 79.0);
}

int Plant::IcpconErrors(int module) const {
    return module >= 0 && module < kIcpconCount ? icpcon_errors_[module] : 0;
}

void Plant::Step(double dt) {
    time_ += dt;
    if (current_mode_ != requested_mode_) {
        mode_pending_ += dt;
        if (mode_pending_ >= kModeChangeSeconds) {
            current_mode_ = requested_mode_;
            mode_pending_ = 0;
        }
    }
    for (Tmp& tmp : tmps_) StepTmp(tmp, dt);
    StepGauges(dt);
    StepCounters();
}

void Plant::StepTmp(Tmp& tmp, double dt) const {
    if (tmp.speed > 0) tmp.run_seconds += dt;
    if (tmp.on) {
        const double target = TmpSetPercent();
        if (tmp.state == TmpState::kStopped || tmp.state == TmpState::kStopping) {
            tmp.state = TmpState::kAccelerating;
        }
        if (tmp.speed < target) {
            tmp.speed = std::min(target, tmp.speed + kAccelerationPercentPerSecond * dt);
        } else {
            tmp.speed = std::max(target, tmp.speed - kDecelerationPercentPerSecond * dt);
        }
        if (tmp.state == TmpState::kAccelerating && tmp.speed >= target)
            tmp.state = TmpState::kStarted;
    } else if (tmp.state != TmpState::kStopped) {
        tmp.state = TmpState::kStopping;
        tmp.speed = std::max(0.0, tmp.speed - kDecelerationPercentPerSecond * dt);
        if (tmp.speed <= 0) tmp.state = TmpState::kStopped;
    }
}

void Plant::StepGauges(double dt) {
    // Foreline (1G3) follows the rotary pump; each TMP pulls its own line (1G1, 2G1) and the
    // chamber (TG1) further down, but only with the rotary pump backing it.
    const double fore = rotary_on_ ? kRoughingLog10 : kAtmosphereLog10;
    const double backing = rotary_on_ ? 1.0 : 0.0;
    const double f1 = tmps_[0].speed / 100 * backing;
    const double f2 = tmps_[1].speed / 100 * backing;
    std::array<double, kGaugeCount> target{};
    target[Index(Gauge::kTG1)] = fore - kTmpDecades * std::max(f1, f2);
    target[Index(Gauge::k1G1)] = fore - kTmpDecades * 0.9 * f1;
    target[Index(Gauge::k2G1)] = fore - kTmpDecades * 0.9 * f2;
    target[Index(Gauge::k1G3)] = fore;
    for (int i = 0; i < kGaugeCount; ++i) {
        const double tau = target[i] < gauges_[i] ? kPumpDownSeconds : kRiseSeconds;
        gauges_[i] += (target[i] - gauges_[i]) * (1 - std::exp(-dt / tau));
    }
}

void Plant::StepCounters() {
    // Now and then a bus or device hiccups, so the panel's counters have something to show.
    while (time_ >= next_count_at_) {
        if (counters_held_) {
            next_count_at_ += 20 + static_cast<double>(rng_() % 60);
            continue;
        }
        const unsigned pick =
            static_cast<unsigned>(rng_() % (kTmpCount + kIcpconCount + kGaugeCount));
        int* counter = nullptr;
        if (pick < kTmpCount) {
            counter = &tmp_errors_[pick];
        } else if (pick < kTmpCount + kIcpconCount) {
            counter = &icpcon_errors_[pick - kTmpCount];
        } else {
            counter = &gauge_errors_[pick - kTmpCount - kIcpconCount];
        }
        *counter = std::min(*counter + 1, kMaxCount);
        next_count_at_ += 20 + static_cast<double>(rng_() % 60);
    }
}

}  // namespace vp::sim
